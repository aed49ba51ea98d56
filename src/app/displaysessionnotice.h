#pragma once

// The program's start on Linux: which of Qt's platforms it uses, chosen
// from the session it finds (platform/displaysession.h), and the notice
// that tells the user, in their language, when not every window can be
// reached (a Wayland desktop without virtual input).

#include "platform/backend.h"
#include "platform/displaysession.h"

#include <QString>
#include <QStringList>

class QWidget;

// Gathers the facts (environment, -platform, the compositor's globals),
// sets QT_QPA_PLATFORM when the choice names a platform and records the
// choice (platform::setSessionChoice). Before the application object.
platform::SessionChoice applyDisplaySession(const QStringList &arguments);

// The notice for `choice`; empty when everything can be reached.
QString displaySessionNotice(const platform::SessionChoice &choice, bool japanese);

// Shows the recorded choice's notice, if any, over `parent`.
void showDisplaySessionNotice(QWidget *parent, bool japanese);

// What stops a run on Wayland, where no program may hear the keyboard
// through the compositor: the input devices where the backend reads them
// (`capabilities.keyEvents`), else the sway binding `swayChord` (empty:
// none), else only the tray icon (where `tray`) and `tarnwick --stop`.
// Empty on other backends and when `stopCommand` names no key.
QString waylandStopNotice(const platform::Capabilities &capabilities, const QString &stopCommand,
                          const QString &swayChord, bool tray, bool japanese);
// The same for the installed backend and this session (SWAYSOCK).
QString waylandStopNotice(const QString &stopCommand, bool japanese);

// Whether a run's stop keys can be heard at all: on every backend but
// Wayland's, and there through the input devices or the sway binding
// `swayChord` (empty: none).
bool stopKeysHeard(const platform::Capabilities &capabilities, const QString &swayChord);
// The same for the installed backend, this session and `stopCommand`.
bool stopKeysHeard(const QString &stopCommand);
