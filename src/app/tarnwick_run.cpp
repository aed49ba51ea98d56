#include "run/run.h"
#include "run/rundialog.h"
#include "run/runstart.h"
#include "tarnwick.h"
#include "uitexts.h"

#include <QMessageBox>
#include <QSystemTrayIcon>

void tarnwick::stertRun() {
    // A run cannot start while the editor still waits for a key.
    if (keyCaptureRunning())
        return;
    // Destroyed when this slot returns, after the run has started; that also
    // removes the dialog's keyboard hook.
    RunDialog dialog(stertTime, runNumber, stopCommand, is_used_stert, is_japanese, this);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // Kept in memory; the configuration file gets them when the window closes.
    stertTime = dialog.getSeconds();
    runNumber = dialog.getRunCount();
    stopCommand = dialog.getStopCommand();
    is_used_stert = dialog.getNoticeShown();
    startRun();
}

QString tarnwick::runProjectName() const {
    return windowTitleForPath();
}

void tarnwick::startRun() {
    // The tray icon is then the only way to end the run, and the window hides.
    if (!QSystemTrayIcon::isSystemTrayAvailable() && Run::onlyTrayStops(runNumber, stopCommand)) {
        messageTitle = uitexts::noTrayTitle.in(is_japanese);
        messageText = uitexts::noTrayText.in(is_japanese);
        QMessageBox::warning(this, messageTitle, messageText);
        return;
    }
    // Both delete themselves after the run; the window keeps no pointer.
    auto *run = new Run();
    // Still on the GUI thread: the run copies the settings and pages here.
    run->setParameters(stertTime, runNumber, stopCommand, listCommand, listCondition,
                       runProjectName());
    connect(run, &Run::finished, this, &tarnwick::onRunFinished);
    startRunThread(run, this);
    // Not minimised: during the run the tray icon is the only thing shown.
    hide();
}

void tarnwick::onRunFinished() {
    show();
    activateWindow();
}
