#pragma once

// One recording of the user's actions: waits out the start delay, listens
// through the input layer's recorder until the stop command or a click on
// the tray icon, and then hands over the recorded pages. The tray icon
// ("記録中") shows for as long as it lasts.

#include "core/actionrecording.h"
#include "platform/inputlayer.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

class QSystemTrayIcon;
class QTimer;

class RecordingSession : public QObject, private platform::RawInputListener {
    Q_OBJECT

public:
    RecordingSession(int startDelaySeconds, const QString &stopCommand, bool japanese,
                     QObject *parent = nullptr);
    ~RecordingSession() override;

    // Whether a recording could be ended at all: by the stop command or
    // from the tray.
    static bool canBeEnded(const QString &stopCommand);

    // Starts listening and the start delay. False, with a message for the
    // user in `error`, when the system cannot record.
    bool start(QString &error);
    // Ends the recording; `finished` follows.
    void stop();
    bool isActive() const { return started_ && !ended_; }
    // True once the start delay is over and actions are being recorded.
    bool isRecording() const { return armed_.load(); }
    // What was recorded (once finished).
    actionrecording::RecordedPages pages() const;

signals:
    void finished();

private:
    void onRawInput(const platform::RawInputEvent &event) override; // recorder thread
    void onInputWithheld(std::int64_t timeMs) override;             // recorder thread
    void arm();

    const int startDelaySeconds_;
    const QString stopCommand_;
    const bool japanese_;
    mutable std::mutex mutex_;
    // Sees every event from the start of listening, so that keys held across
    // the end of the delay count; it records from the end of the delay on.
    actionrecording::ActionRecording recording_;
    std::atomic<bool> armed_{false};
    std::unique_ptr<platform::InputRecorder> recorder_;
    QSystemTrayIcon *tray_ = nullptr;
    QTimer *delay_ = nullptr;
    bool started_ = false;
    bool ended_ = false;
};
