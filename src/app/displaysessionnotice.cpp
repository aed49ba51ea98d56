#include "displaysessionnotice.h"

#include "core/keycombination.h"
#include "runstopserver.h"
#include "uitexts.h"

#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QtGlobal>

#if !defined(Q_OS_WIN)
#include "platform/gnome/mutterremote.h"
#include "platform/wayland/waylandbackend.h"
#endif

namespace {

// The value of "-platform NAME" or "--platform NAME", else QT_QPA_PLATFORM.
QString qtPlatform(const QStringList &arguments) {
    QString value = qEnvironmentVariable("QT_QPA_PLATFORM");
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("-platform") || argument == QLatin1String("--platform"))
            value = arguments.at(i + 1);
    }
    return value;
}

} // namespace

platform::SessionChoice applyDisplaySession(const QStringList &arguments) {
    platform::SessionFacts facts;
    facts.qtPlatform = qtPlatform(arguments).toStdString();
    facts.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY").toStdString();
    facts.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE").toStdString();
    facts.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP").toStdString();
    facts.x11Display = qEnvironmentVariable("DISPLAY").toStdString();
#if !defined(Q_OS_WIN)
    if (platform::wantsGlobals(facts))
        facts.probed = platform::wayland::listGlobals(facts.globals);
    std::string why;
    facts.desktopRemoteInput =
        platform::isWaylandSession(facts) &&
        platform::desktopOf(facts.currentDesktop) == platform::Desktop::Gnome &&
        platform::gnome::MutterRemote::available(why);
#endif
    const platform::SessionChoice choice = platform::chooseSession(facts);
    if (!choice.qtPlatform.empty())
        qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(choice.qtPlatform));
    platform::setSessionChoice(choice);
    return choice;
}

QString displaySessionNotice(const platform::SessionChoice &choice, bool japanese) {
    if (choice.reach == platform::SessionReach::Everything)
        return {};
    const UiText &desktop =
        choice.desktop == platform::Desktop::Gnome ? uitexts::sessionDesktopGnome
        : choice.desktop == platform::Desktop::Kde ? uitexts::sessionDesktopKde
                                                   : uitexts::sessionDesktopOther;
    const UiText &text = choice.reach == platform::SessionReach::Nothing ? uitexts::sessionNothing
                                                                         : uitexts::sessionX11Only;
    return text.in(japanese).arg(desktop.in(japanese));
}

void showDisplaySessionNotice(QWidget *parent, bool japanese) {
    const QString text = displaySessionNotice(platform::sessionChoice(), japanese);
    if (text.isEmpty())
        return;
    QMessageBox::information(parent, uitexts::sessionNoticeTitle.in(japanese), text);
}

QString waylandStopNotice(const platform::RunKeyAnswer &answer, const QString &stopCommand,
                          bool tray, bool japanese) {
    if (answer.way == platform::RunKeyWay::Heard || !namesKeyboardKey(stopCommand))
        return {};
    const QString shown = keyCombinationDisplayText(stopCommand);
    if (answer.way == platform::RunKeyWay::Devices)
        return uitexts::waylandStopDevices.in(japanese).arg(shown);
    if (answer.way == platform::RunKeyWay::Bound || answer.way == platform::RunKeyWay::UsersBinding)
        return uitexts::waylandStopBinding.in(japanese).arg(
                   shown, QString::fromStdString(answer.keys),
                   QString::fromStdString(answer.desktop)) +
               (tray ? uitexts::waylandStopAlsoTray.in(japanese) : QString());
    const UiText &how = tray ? uitexts::waylandStopTrayOrCommand : uitexts::waylandStopCommand;
    return uitexts::waylandStopTray.in(japanese).arg(shown, how.in(japanese));
}

namespace {

// What the installed backend's run keys answer for the stop keys; Heard
// where it has none (it can do nothing, and says so elsewhere).
platform::RunKeyAnswer stopKeysAnswer(const QString &stopCommand) {
    platform::RunKeys *keys = platform::backend().runKeys();
    if (!keys)
        return platform::RunKeyAnswer{platform::RunKeyWay::Heard, {}, {}};
    return keys->ask(RunStopServer::stopKeys(stopCommand));
}

} // namespace

QString waylandStopNotice(const QString &stopCommand, bool japanese) {
    if (!namesKeyboardKey(stopCommand))
        return {};
    return waylandStopNotice(stopKeysAnswer(stopCommand), stopCommand,
                             QSystemTrayIcon::isSystemTrayAvailable(), japanese);
}

bool stopKeysHeard(const platform::RunKeyAnswer &answer) {
    return answer.reachesRun();
}

bool stopKeysHeard(const QString &stopCommand) {
    return stopKeysHeard(stopKeysAnswer(stopCommand));
}
