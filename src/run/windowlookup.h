#pragma once

// The backend's windows as core/windowmatch takes them, and the window a
// page means, looked up when the page runs. Shared by the run's steps and
// the editor's match counts.

#include "core/windowmatch.h"
#include "platform/windowaccess.h"

#include <QList>
#include <QString>

namespace windowlookup {

QString textOf(const std::u16string &text);
windowmatch::Candidate candidateOf(const platform::WindowInfo &info);
// Topmost first, as the backend lists them.
QList<windowmatch::Candidate> candidates(const std::vector<platform::WindowInfo> &windows);

// The matching window highest in the stacking order; false when none
// matches (or the expression does not compile, or hit the engine's limits:
// `tooCostly`, see windowmatch::Matcher).
bool find(platform::WindowAccess &access, const windowmatch::Choice &choice,
          platform::WindowInfo &out, bool *tooCostly = nullptr);

// How many windows match now.
int count(platform::WindowAccess &access, const windowmatch::Choice &choice,
          bool *tooCostly = nullptr);

} // namespace windowlookup
