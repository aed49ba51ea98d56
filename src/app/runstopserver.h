#pragma once

// `tarnwick --stop`: a run listens on a local socket of its user's own while
// it goes, and the command asks it to stop through that socket, so a key
// binding of the desktop can end a run where no program may hear the
// keyboard (Wayland); `tarnwick --pause` and `--resume` go the same way.
// Where the desktop binds keys to a program (the backend's run keys,
// platform/runkeybindings.h), the run binds its stop keys to that command
// for its length. Owned by the run's tray icon (runtrayicon.h), so every run
// has one.

#include "core/keycombination.h"
#include "platform/runkeybindings.h"

#include <QObject>
#include <QString>

class QLocalServer;

class RunStopServer : public QObject {
    Q_OBJECT

public:
    // Listens unless another run of this user already does; where the
    // desktop binds keys, binds `stopCommand` (stored form, "83,3") to
    // `tarnwick --stop`.
    // The pause keys (`pauseCommand`, same form) are bound to
    // `tarnwick --toggle-pause` the same way, where the program does not hear
    // them itself (both would toggle, and cancel each other out).
    explicit RunStopServer(const QString &stopCommand, QObject *parent = nullptr)
        : RunStopServer(stopCommand, QString::fromUtf16(kNoKeyCombination), parent) {}
    RunStopServer(const QString &stopCommand, const QString &pauseCommand,
                  QObject *parent = nullptr);
    // Stops listening and removes the key binding.
    ~RunStopServer() override;

    bool listening() const;
    // The desktop's binding of the stop keys in force, in its own words
    // ("Ctrl+Alt+s"); empty when none.
    QString keyBinding() const { return keyBinding_; }

    // The socket's name: one per user.
    static QString socketName();
    // What the backend's run keys are asked for a stored stop command: its
    // keys, bound to `tarnwick --stop`.
    static platform::RunKeyRequest stopKeys(const QString &stopCommand);
    // The same for the stored pause keys, bound to `tarnwick --toggle-pause`.
    static platform::RunKeyRequest pauseKeys(const QString &pauseCommand);

    // What `tarnwick --stop` does: asks the running run to stop. Needs the
    // application object. Returns the exit status (kExitOk, kExitNoRun).
    static int askRunToStop();
    // The same for `tarnwick --pause` and `tarnwick --resume`.
    enum class Ask { Stop, Pause, Resume, TogglePause };
    static int askRun(Ask what);

signals:
    void stopRequested();
    void pauseRequested();
    void resumeRequested();
    void togglePauseRequested();

private:
    QLocalServer *server_ = nullptr;
    bool bound_ = false;      // the stop keys, through the backend's run keys
    bool pauseBound_ = false; // the pause keys, the same way
    QString keyBinding_;
};
