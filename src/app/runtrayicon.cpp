#include "runtrayicon.h"

#include "core/resourcepath.h"
#include "run/run.h"
#include "runstopserver.h"

#include <QCoreApplication>
#include <QIcon>
#include <QSystemTrayIcon>

RunTrayIcon::RunTrayIcon(Run *run, const QString &projectName, QObject *parent) : QObject(parent) {
    // Relative resource paths are looked up beside the executable (or in the
    // installed data folder) when the working directory does not have them.
    const QString iconFile = resourcepath::runtimeFile(QStringLiteral("image/SystemTrayIcon.png"),
                                                       QCoreApplication::applicationDirPath());
    icon_ = new QSystemTrayIcon(QIcon(iconFile), this);
    icon_->setToolTip(QStringLiteral("「%1」を終了").arg(projectName));
    icon_->show();
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit stopClicked();
            });
    // Direct while the run shares this thread; queued once it has moved to
    // its own, where a run deleted meanwhile drops the call.
    connect(this, &RunTrayIcon::stopClicked, run, &Run::requestStop);
    // tarnwick --stop, and the stop keys where the desktop binds them, take the
    // same way.
    stopServer_ = new RunStopServer(run->settings().stopCommand, this);
    connect(stopServer_, &RunStopServer::stopRequested, this, &RunTrayIcon::stopClicked);
    // Both come from other threads; handled here, on the GUI thread.
    connect(run, &Run::finished, this, &RunTrayIcon::remove);
    connect(run, &QObject::destroyed, this, &RunTrayIcon::remove);
}

RunTrayIcon::~RunTrayIcon() = default;

void RunTrayIcon::remove() {
    icon_->hide();
    deleteLater();
}
