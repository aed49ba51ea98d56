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

// What stops a run where the program does not simply hear the keyboard,
// as the backend's run keys answered for the stop keys (`answer`): the input
// devices, a binding of the desktop, else only the tray icon (where `tray`)
// and `tarnwick --stop`. Empty where the keys are heard (X11, Windows) and
// when `stopCommand` names no key.
QString waylandStopNotice(const platform::RunKeyAnswer &answer, const QString &stopCommand,
                          bool tray, bool japanese);
// The same for the installed backend's answer.
QString waylandStopNotice(const QString &stopCommand, bool japanese);

// Whether a run's stop keys can be heard at all, by the run keys' `answer`.
bool stopKeysHeard(const platform::RunKeyAnswer &answer);
// The same for the installed backend and `stopCommand`.
bool stopKeysHeard(const QString &stopCommand);
