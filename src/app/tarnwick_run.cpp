#include "run/run.h"
#include "run/rundialog.h"
#include "tarnwick.h"
#include "uitexts.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QThread>

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
    // A project that was never saved keeps the desktop folder as its path.
    if (filePath == QStandardPaths::writableLocation(QStandardPaths::DesktopLocation))
        return QStringLiteral("新規プロジェクト");
    return QFileInfo(filePath).baseName();
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
    auto *thread = new QThread(this);
    auto *run = new Run();

    // Still on the GUI thread: the run copies the settings and pages here.
    run->setParameters(stertTime, runNumber, stopCommand, listCommand, listCondition,
                       runProjectName());
    run->moveToThread(thread);

    connect(thread, &QThread::started, run, &Run::start);
    connect(run, &Run::finished, thread, &QThread::quit);
    connect(run, &Run::finished, run, &QObject::deleteLater);
    connect(run, &Run::finished, this, &tarnwick::onRunFinished);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // `finished` comes from the run's own worker, not from this thread: the
    // quit above can end the thread's loop before the queued deleteLater is
    // delivered, and the run would never be deleted. The thread's last act
    // deletes what is still pending for it, so this always completes it.
    connect(thread, &QThread::finished, run, &QObject::deleteLater);

    thread->start();
    // Not minimised: during the run the tray icon is the only thing shown.
    hide();
}

void tarnwick::onRunFinished() {
    show();
    activateWindow();
}
