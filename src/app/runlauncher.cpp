#include "runlauncher.h"

#include "displaysessionnotice.h"
#include "projectfiles.h"
#include "runtrayicon.h"
#include "uitexts.h"

#include "core/keycombination.h"
#include "core/projectdocument.h"
#include "core/projectfile.h"
#include "core/runsettings.h"
#include "platform/backend.h"
#include "run/run.h"
#include "run/rundialog.h"
#include "run/runstart.h"
#include "run/runsteps.h"
#include "run/runtexts.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QWidget>

RunLauncher::RunLauncher(ProjectDocument &document, configstore::Settings &settings,
                         const ProjectFiles &files, QWidget *window)
    : QObject(window), document_(document), settings_(settings), files_(files), window_(window) {}

RunLauncher::~RunLauncher() {
    if (!startKeyHeld)
        return;
    if (platform::GlobalShortcuts *shortcuts = platform::backend().shortcuts())
        shortcuts->remove(startKeyId);
}

QString RunLauncher::runFilePath() const {
    return files_.hasNoProjectFile() ? QString() : document_.filePath();
}

// Nothing starts for a project with a page this version cannot play. The
// project is taken as a run takes it: its pages, names and file, the
// projects it calls read from beside it.
bool RunLauncher::refusedByPages() {
    pageflow::Project project;
    project.path = runFilePath();
    project.commands = document_.listCommand();
    project.conditions = document_.listCondition();
    project.names = document_.listName();
    const runsteps::Refusal refusal = flowsteps::prepare(project, projectfile::loadCalled).refusal;
    if (!refusal.refused())
        return false;
    messageTitle = uitexts::noTrayTitle.in(settings_.is_japanese); // "実行できません"
    messageText = runsteps::refusalText(refusal, settings_.is_japanese);
    QMessageBox::warning(window_, messageTitle, messageText);
    return true;
}

void RunLauncher::stertRun() {
    // Asked before the settings, which would be asked for in vain.
    if (refusedByPages())
        return;
    // Destroyed when this returns, after the run has started; that also
    // removes the dialog's keyboard hook.
    RunDialog dialog(runSettingsOf(settings_), settings_.is_used_stert, settings_.is_japanese,
                     window_);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Kept in memory; the configuration file gets them when the window closes.
    storeRunSettings(dialog.settings(), settings_);
    applyStartKey();
    settings_.is_used_stert = dialog.getNoticeShown();
    // On Wayland what stops the run depends on the session: said before it starts.
    const QString stopNotice =
        waylandStopNotice(dialog.settings().stopCommand, settings_.is_japanese);
    if (!stopNotice.isEmpty())
        QMessageBox::information(window_, uitexts::waylandStopTitle.in(settings_.is_japanese),
                                 stopNotice);
    startRun();
}

QString RunLauncher::runProjectName() const {
    return files_.windowTitleForPath();
}

void RunLauncher::startRun() {
    const RunSettings runSettings = runSettingsOf(settings_);
    const bool japanese = settings_.is_japanese;
    // The tray icon is then the only way to end the run, and the window hides.
    const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
    const bool unheard = runSettings.repeatsUntilStopped() && runSettings.hasStopCommand() &&
                         !stopKeysHeard(runSettings.stopCommand);
    if (!tray && (runSettings.onlyTrayStops() || unheard)) {
        messageTitle = uitexts::noTrayTitle.in(japanese);
        messageText = (unheard ? uitexts::noTrayUnheardText : uitexts::noTrayText).in(japanese);
        QMessageBox::warning(window_, messageTitle, messageText);
        return;
    }
    // Both delete themselves after the run; nothing keeps a pointer.
    auto *run = new Run();
    // Still on the GUI thread: the run copies the settings and pages here.
    run->setFlow(document_.listName(), runFilePath());
    runsteps::Refusal refusal;
    if (!run->prepare(runSettings, document_.listCommand(), document_.listCondition(),
                      runProjectName(), &refusal)) {
        delete run;
        messageTitle = uitexts::noTrayTitle.in(japanese);
        messageText = runsteps::refusalText(refusal, japanese);
        QMessageBox::warning(window_, messageTitle, messageText);
        return;
    }
    new RunTrayIcon(run, runProjectName(), window_, japanese);
    runStopText.clear();
    // Hidden while the run plays, but the taskbar and window lists still
    // name it: they say that the run is paused.
    connect(
        run, &Run::pausedChanged, this,
        [this](bool paused) {
            window_->setWindowTitle(
                files_.windowTitleForPath() +
                (paused ? uitexts::pausedTitle.in(settings_.is_japanese) : QString()));
        },
        Qt::QueuedConnection);
    // Told once the window is back, in onRunFinished.
    connect(run, &Run::pageFailed, this, [this](const RunFailure &failure) {
        runStopText = runsteps::failureText(failure, settings_.is_japanese);
    });
    connect(run, &Run::finished, this, &RunLauncher::runFinished);
    startRunThread(run, window_);
    runPlaying = true;
    // Not minimised: during the run the tray icon is the only thing shown.
    window_->hide();
}

void RunLauncher::onRunFinished() {
    runPlaying = false;
    window_->setWindowTitle(files_.windowTitleForPath());
    window_->show();
    window_->activateWindow();
    if (runStopText.isEmpty())
        return;
    messageTitle = runtexts::stoppedTitle.in(settings_.is_japanese);
    messageText = runStopText;
    runStopText.clear();
    QMessageBox::warning(window_, messageTitle, messageText);
}

void RunLauncher::applyStartKey() {
    platform::GlobalShortcuts *shortcuts = platform::backend().shortcuts();
    if (!shortcuts)
        return;
    if (startKeyHeld)
        shortcuts->remove(startKeyId);
    startKeyHeld = false;
    const QString &startCommand = settings_.startCommand;
    if (startCommand == QStringView(kNoKeyCombination) || !namesKeyboardKey(startCommand))
        return;
    const KeyCombination keys = parseKeyCombination(startCommand);
    // The stored mask has the shortcut flags' values.
    startKeyHeld = shortcuts->add(startKeyId, {unsigned(keys.mask), keys.vk}, [this] {
        QMetaObject::invokeMethod(this, &RunLauncher::startKeyPressed, Qt::QueuedConnection);
    });
    if (!startKeyHeld)
        qWarning().noquote() << "tarnwick: the start key" << keyCombinationDisplayText(startCommand)
                             << "cannot be had (error" << shortcuts->lastError() << ")";
}
