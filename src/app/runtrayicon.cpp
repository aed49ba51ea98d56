#include "runtrayicon.h"

#include "core/resourcepath.h"
#include "run/run.h"
#include "runstopserver.h"
#include "uitexts.h"

#include <QAction>
#include <QCoreApplication>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace {

QString iconFile() {
    // Relative resource paths are looked up beside the executable (or in the
    // installed data folder) when the working directory does not have them.
    return resourcepath::runtimeFile(QStringLiteral("image/SystemTrayIcon.png"),
                                     QCoreApplication::applicationDirPath());
}

// The run's icon with two bars over it, the sign of a pause people know.
QIcon pausedIcon() {
    QPixmap pixmap =
        QPixmap(iconFile()).scaled(64, 64, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (pixmap.isNull()) {
        pixmap = QPixmap(64, 64);
        pixmap.fill(Qt::transparent);
    }
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const int w = pixmap.width();
    const int h = pixmap.height();
    painter.setPen(QPen(Qt::white, w / 32.0));
    painter.setBrush(QColor(230, 120, 0));
    painter.drawRect(QRectF(w * 0.22, h * 0.18, w * 0.2, h * 0.64));
    painter.drawRect(QRectF(w * 0.58, h * 0.18, w * 0.2, h * 0.64));
    return QIcon(pixmap);
}

} // namespace

RunTrayIcon::RunTrayIcon(Run *run, const QString &projectName, QObject *parent, bool japanese)
    : QObject(parent), projectName_(projectName), japanese_(japanese) {
    icon_ = new QSystemTrayIcon(QIcon(iconFile()), this);
    // A run at another speed says so from the start.
    const double speed = run->settings().pace.speed;
    if (speed != runpace::kDefaultSpeed)
        speedTip_ = QStringLiteral(" (×%1)").arg(runpace::speedText(speed));
    icon_->setToolTip(QStringLiteral("「%1」を終了").arg(projectName) + speedTip_);
    // A QMenu has no parent object; this one goes with the icon.
    menu_ = new QMenu();
    pauseAction_ = menu_->addAction(uitexts::trayPause.in(japanese));
    resumeAction_ = menu_->addAction(uitexts::trayResume.in(japanese));
    stopAction_ = menu_->addAction(uitexts::trayStop.in(japanese));
    resumeAction_->setVisible(false);
    icon_->setContextMenu(menu_);
    icon_->show();
    connect(icon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    emit stopClicked();
            });
    connect(pauseAction_, &QAction::triggered, this, &RunTrayIcon::pauseClicked);
    connect(resumeAction_, &QAction::triggered, this, &RunTrayIcon::resumeClicked);
    connect(stopAction_, &QAction::triggered, this, &RunTrayIcon::stopClicked);
    // Direct while the run shares this thread; queued once it has moved to
    // its own, where a run deleted meanwhile drops the call.
    connect(this, &RunTrayIcon::stopClicked, run, &Run::requestStop);
    connect(this, &RunTrayIcon::pauseClicked, run, &Run::requestPause);
    connect(this, &RunTrayIcon::resumeClicked, run, &Run::requestResume);
    // tarnwick --stop, --pause and --resume, and the stop keys where the
    // desktop binds them, take the same way.
    stopServer_ =
        new RunStopServer(run->settings().stopCommand, run->settings().pauseCommand, this);
    connect(stopServer_, &RunStopServer::stopRequested, this, &RunTrayIcon::stopClicked);
    connect(stopServer_, &RunStopServer::pauseRequested, this, &RunTrayIcon::pauseClicked);
    connect(stopServer_, &RunStopServer::resumeRequested, this, &RunTrayIcon::resumeClicked);
    connect(stopServer_, &RunStopServer::togglePauseRequested, run, &Run::togglePause);
    // These come from other threads; handled here, on the GUI thread.
    connect(run, &Run::pausedChanged, this, &RunTrayIcon::showPaused, Qt::QueuedConnection);
    connect(run, &Run::finished, this, &RunTrayIcon::remove);
    connect(run, &QObject::destroyed, this, &RunTrayIcon::remove);
}

RunTrayIcon::~RunTrayIcon() {
    delete menu_;
}

void RunTrayIcon::showPaused(bool paused) {
    pauseAction_->setVisible(!paused);
    resumeAction_->setVisible(paused);
    icon_->setIcon(paused ? pausedIcon() : QIcon(iconFile()));
    icon_->setToolTip(paused ? uitexts::trayPausedTip.in(japanese_).arg(projectName_)
                             : QStringLiteral("「%1」を終了").arg(projectName_) + speedTip_);
}

void RunTrayIcon::remove() {
    icon_->hide();
    deleteLater();
}
