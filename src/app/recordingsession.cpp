#include "recordingsession.h"

#include "core/runkeys.h"
#include "platform/backend.h"
#include "uitexts.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QTimer>

#include <algorithm>

namespace {

QString trayIconPath() {
    const QString relative = QStringLiteral("image/SystemTrayIcon.png");
    if (QFileInfo::exists(relative))
        return relative;
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + relative;
}

} // namespace

RecordingSession::RecordingSession(int startDelaySeconds, const QString &stopCommand, bool japanese,
                                   QObject *parent)
    : QObject(parent), startDelaySeconds_(startDelaySeconds), stopCommand_(stopCommand),
      japanese_(japanese), recording_(stopCommand) {}

RecordingSession::~RecordingSession() {
    // No listener call may outlive the object it calls.
    if (recorder_)
        recorder_->stop();
    delete tray_;
}

bool RecordingSession::canBeEnded(const QString &stopCommand) {
    return parseRunKeys(stopCommand).vk != 0 || QSystemTrayIcon::isSystemTrayAvailable();
}

bool RecordingSession::start(QString &error) {
    if (started_)
        return false;
    recorder_ = platform::createRecorder();
    std::string why;
    if (!recorder_ || !recorder_->start(this, why)) {
        error = QString::fromStdString(why);
        recorder_.reset();
        return false;
    }
    started_ = true;

    tray_ = new QSystemTrayIcon(QIcon(trayIconPath()));
    tray_->setToolTip(uitexts::recordingTrayTip.in(japanese_));
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    stop();
            });
    tray_->show();

    // The same start delay as a run: time to bring up the window to work in.
    delay_ = new QTimer(this);
    delay_->setSingleShot(true);
    connect(delay_, &QTimer::timeout, this, &RecordingSession::arm);
    delay_->start(std::max(0, startDelaySeconds_) * 1000);
    return true;
}

void RecordingSession::arm() {
    if (ended_)
        return;
    {
        // By the events' own clock: an event that happened before this moment
        // but arrives after it is not recorded.
        std::lock_guard<std::mutex> lock(mutex_);
        recording_.startAt(recorder_->now());
    }
    armed_.store(true);
    QApplication::beep();
}

void RecordingSession::onRawInput(const platform::RawInputEvent &received) {
    platform::RawInputEvent event = received;
    // The window a click goes to, asked at once, while it is still where it
    // was clicked: the click is recorded relative to it.
    if (event.type == platform::RawInputEvent::Type::ButtonDown && event.hasPos) {
        if (platform::WindowAccess *windows = platform::backend().windowAccess()) {
            const std::uint64_t id = windows->windowAt(event.pos.x, event.pos.y);
            if (id == 0 || !windows->info(id, event.window))
                event.window = platform::WindowInfo();
        }
    }
    bool stopChord = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopChord = recording_.add(event);
    }
    if (stopChord)
        QMetaObject::invokeMethod(this, &RecordingSession::stop, Qt::QueuedConnection);
}

void RecordingSession::stop() {
    if (!started_ || ended_)
        return;
    ended_ = true;
    delay_->stop();
    // Joins the recorder's thread: nothing is added after this.
    recorder_->stop();
    tray_->hide();
    if (armed_.load())
        QApplication::beep();
    emit finished();
}

void RecordingSession::onInputWithheld(std::int64_t timeMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    recording_.addWithheld(timeMs);
}

actionrecording::RecordedPages RecordingSession::pages() const {
    if (!armed_.load())
        return {};
    std::lock_guard<std::mutex> lock(mutex_);
    return recording_.pages();
}
