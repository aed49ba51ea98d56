#pragma once

// How a run moves between pages besides going on to the next one: page names,
// the records that name a page to continue at (Go to page, the branches of the
// conditions with a time limit, the Image Jump branch), how often a Go to page
// jumps, and the projects a Call project page plays. Values in, values out:
// loading a called project goes through a loader the caller hands in.

#include "flowshape.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace pageflow {

using Pages = QList<QStringList>;

// The flow elements of a stored kind; all -1 for a kind that only goes on.
Shape shapeOf(bool command, const QString &stored);
bool isFlowKind(bool command, const QString &stored);
// The kind a kind with a time limit adds the limit to (its record begins as
// that kind's does), or `stored` itself.
QString baseKind(bool command, const QString &stored);

// A Go to page's count as stored: "毎回" (every time), or a whole number of
// times, 0 or more.
inline const QString everyTime = QStringLiteral("毎回");
// -1 for every time, the number of times, or -2 when the text is neither.
int countOf(const QString &text);

// The page a name stands for, counted from 0; -1 when no page has it.
int pageNamed(const QStringList &names, const QString &name);

// What is wrong with a project's flow: the first problem in page order.
enum class Problem {
    None,
    DuplicateName,  // `value`: the name another page has too
    NoSuchPage,     // `value`: the name no page has (empty for a Go to page without one)
    BadCount,       // `value`: the count as stored
    CallTooDeep,    // calls within calls beyond kMaxCallDepth
    CallCircle,     // `file`: the project that calls itself, directly or not
    CallMissing,    // `file`: the called project cannot be opened
    CallUnreadable, // `file`: the called project is not a project this version can play
};

struct Refusal {
    Problem problem = Problem::None;
    int page = 0;      // counted from 1
    QString value;     // the name or count as stored
    QString file;      // the project the page is in, empty for the top one
    QString called;    // the called project's path, for the call problems
    QString reason[2]; // why the called project was refused: in English, in Japanese

    bool refused() const { return problem != Problem::None; }
};

// Names and targets within one project: two pages with one name, a target no
// page has, a count that is not a count. Names are compared exactly; an empty
// name is no name. `names` may be shorter than the pages (the rest unnamed).
// A Go to page that names no page yet is refused only `toRun`: the editor
// saves and opens it while it is being written.
Refusal check(const Pages &commands, const Pages &conditions, const QStringList &names,
              bool toRun = true);

// Which pages jump to `page` (counted from 0): each with the page counted
// from 0, for the editor's question before deleting a page.
QList<int> pagesJumpingTo(const Pages &commands, const Pages &conditions, const QStringList &names,
                          int page);
// The pages' jumps to `from` now name `to` (empty: they name no page).
void renameTargets(Pages &commands, Pages &conditions, const QString &from, const QString &to);

// ---- called projects ----

// Calls within calls: a project called by a project called by the one run is
// depth 2.
inline constexpr int kMaxCallDepth = 8;

struct Project {
    QString path; // absolute, empty for a project without a file
    Pages commands;
    Pages conditions;
    QStringList names;
};

// The file a Call project page means: `written` as it stands when absolute,
// else relative to the folder of `callerPath` (the working folder where the
// caller has no file). Cleaned, absolute.
QString resolveCall(const QString &callerPath, const QString &written);

// Reads a called project: the pages and names, or why not in English and in
// Japanese (`missing` true when the file cannot be opened at all).
struct Loaded {
    bool ok = false;
    bool missing = false;
    QString reason[2];
    Project project;
};
using Loader = std::function<Loaded(const QString &path)>;

// Every project the top one calls, directly or not, by absolute path, each
// checked as the top one is. Refused: the calling page (of the top project,
// or `file` when the page is in a called one) and why.
struct Calls {
    QHash<QString, Project> byPath;
    Refusal refusal;
};
Calls loadCalls(const Project &top, const Loader &loader);

} // namespace pageflow
