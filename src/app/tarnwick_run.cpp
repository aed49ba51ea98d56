#include "core/projectfile.h"
#include "core/runsettings.h"
#include "displaysessionnotice.h"
#include "run/run.h"
#include "run/rundialog.h"
#include "run/runstart.h"
#include "run/runsteps.h"
#include "run/runtexts.h"
#include "runtrayicon.h"
#include "tarnwick.h"
#include "uitexts.h"

#include "core/keycombination.h"
#include "platform/backend.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QSystemTrayIcon>

namespace {

// Nothing starts for a project with a page this version cannot play.
bool refuse(tarnwick &window, const runsteps::Refusal &refusal, bool japanese, QString &title,
            QString &text) {
    if (!refusal.refused())
        return false;
    title = uitexts::noTrayTitle.in(japanese); // "実行できません"
    text = runsteps::refusalText(refusal, japanese);
    QMessageBox::warning(&window, title, text);
    return true;
}

// The project as a run takes it: its pages, names and file, the projects it
// calls read from beside it.
runsteps::Refusal playableRefusal(const tarnwick &w, const QString &path) {
    pageflow::Project project;
    project.path = path;
    project.commands = w.listCommand;
    project.conditions = w.listCondition;
    project.names = w.listName;
    return flowsteps::prepare(project, projectfile::loadCalled).refusal;
}

} // namespace

void tarnwick::stertRun() {
    // A run cannot start while the editor still waits for a key.
    if (keyCaptureRunning())
        return;
    // Asked before the settings, which would be asked for in vain.
    if (refuse(*this,
               playableRefusal(*this, filePath == noProjectFilePath() ? QString() : filePath),
               is_japanese, messageTitle, messageText))
        return;
    // Destroyed when this slot returns, after the run has started; that also
    // removes the dialog's keyboard hook.
    RunDialog dialog(runSettingsOf(*this), is_used_stert, is_japanese, this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Kept in memory; the configuration file gets them when the window closes.
    storeRunSettings(dialog.settings(), *this);
    applyStartKey();
    is_used_stert = dialog.getNoticeShown();
    // On Wayland what stops the run depends on the session: said before it starts.
    const QString stopNotice = waylandStopNotice(dialog.settings().stopCommand, is_japanese);
    if (!stopNotice.isEmpty())
        QMessageBox::information(this, uitexts::waylandStopTitle.in(is_japanese), stopNotice);
    startRun();
}

QString tarnwick::runProjectName() const {
    return windowTitleForPath();
}

void tarnwick::startRun() {
    const RunSettings settings = runSettingsOf(*this);
    // The tray icon is then the only way to end the run, and the window hides.
    const bool tray = QSystemTrayIcon::isSystemTrayAvailable();
    const bool unheard = settings.repeatsUntilStopped() && settings.hasStopCommand() &&
                         !stopKeysHeard(settings.stopCommand);
    if (!tray && (settings.onlyTrayStops() || unheard)) {
        messageTitle = uitexts::noTrayTitle.in(is_japanese);
        messageText = (unheard ? uitexts::noTrayUnheardText : uitexts::noTrayText).in(is_japanese);
        QMessageBox::warning(this, messageTitle, messageText);
        return;
    }
    // Both delete themselves after the run; the window keeps no pointer.
    auto *run = new Run();
    // Still on the GUI thread: the run copies the settings and pages here.
    run->setFlow(listName, filePath == noProjectFilePath() ? QString() : filePath);
    runsteps::Refusal refusal;
    if (!run->prepare(settings, listCommand, listCondition, runProjectName(), &refusal)) {
        delete run;
        refuse(*this, refusal, is_japanese, messageTitle, messageText);
        return;
    }
    new RunTrayIcon(run, runProjectName(), this, is_japanese);
    runStopText.clear();
    // Hidden while the run plays, but the taskbar and window lists still
    // name it: they say that the run is paused.
    connect(
        run, &Run::pausedChanged, this,
        [this](bool paused) {
            setWindowTitle(windowTitleForPath() +
                           (paused ? uitexts::pausedTitle.in(is_japanese) : QString()));
        },
        Qt::QueuedConnection);
    // Told once the window is back, in onRunFinished.
    connect(run, &Run::pageFailed, this, [this](const RunFailure &failure) {
        runStopText = runsteps::failureText(failure, is_japanese);
    });
    connect(run, &Run::finished, this, &tarnwick::onRunFinished);
    startRunThread(run, this);
    runPlaying = true;
    // Not minimised: during the run the tray icon is the only thing shown.
    hide();
}

void tarnwick::onRunFinished() {
    runPlaying = false;
    setWindowTitle(windowTitleForPath());
    show();
    activateWindow();
    if (runStopText.isEmpty())
        return;
    messageTitle = runtexts::stoppedTitle.in(is_japanese);
    messageText = runStopText;
    runStopText.clear();
    QMessageBox::warning(this, messageTitle, messageText);
}

void tarnwick::applyStartKey() {
    platform::GlobalShortcuts *shortcuts = platform::backend().shortcuts();
    if (!shortcuts)
        return;
    if (startKeyHeld)
        shortcuts->remove(startKeyId);
    startKeyHeld = false;
    if (startCommand == QStringView(kNoKeyCombination) || !namesKeyboardKey(startCommand))
        return;
    const KeyCombination keys = parseKeyCombination(startCommand);
    // The stored mask has the shortcut flags' values.
    startKeyHeld = shortcuts->add(startKeyId, {unsigned(keys.mask), keys.vk}, [this] {
        QMetaObject::invokeMethod(this, &tarnwick::startFromKey, Qt::QueuedConnection);
    });
    if (!startKeyHeld)
        qWarning().noquote() << "tarnwick: the start key" << keyCombinationDisplayText(startCommand)
                             << "cannot be had (error" << shortcuts->lastError() << ")";
}

void tarnwick::startFromKey() {
    // Not while a run plays (its stop keys stop it), while a dialog asks
    // something, or while the editor waits for a key.
    if (runPlaying || !editorOpen || QApplication::activeModalWidget() || keyCaptureRunning())
        return;
    if (refuse(*this,
               playableRefusal(*this, filePath == noProjectFilePath() ? QString() : filePath),
               is_japanese, messageTitle, messageText))
        return;
    startRun();
}
