#pragma once

// `tarnwick --stop`: a run listens on a local socket of its user's own while
// it goes, and the command asks it to stop through that socket, so a key
// binding of the desktop can end a run where no program may hear the
// keyboard (Wayland); `tarnwick --pause` and `--resume` go the same way.
// Under sway the run binds its stop keys to that command itself, through
// sway's IPC, for the run's length. Owned by the run's tray icon
// (runtrayicon.h), so every run has one.

#include <QObject>
#include <QString>

class QLocalServer;

class RunStopServer : public QObject {
    Q_OBJECT

public:
    // Listens unless another run of this user already does; under sway
    // (SWAYSOCK set) binds `stopCommand` (stored form, "83,3") to
    // `tarnwick --stop`.
    explicit RunStopServer(const QString &stopCommand, QObject *parent = nullptr);
    // Stops listening and removes the sway binding.
    ~RunStopServer() override;

    bool listening() const;
    // The sway key binding in force ("Ctrl+Alt+s"); empty when none.
    QString swayBinding() const { return swayBinding_; }

    // The socket's name: one per user.
    static QString socketName();
    // The sway form of a stored stop command ("83,3" -> "Ctrl+Alt+s");
    // empty for none or a key sway cannot name.
    static QString swayChord(const QString &stopCommand);
    // The line of sway's configuration text `config` that binds `chord`
    // (sway's form) already, empty when none does; a run leaves such keys
    // alone rather than lose the user's binding when it unbinds them.
    static QString configBinding(const QString &config, const QString &chord);
    // Sway's configuration text `config`, read from the file `path`, with
    // each `include` line replaced by the text of the files it names, as
    // sway reads them: a binding in an included file is the user's too.
    static QString withIncludes(const QString &config, const QString &path);
    // The keys that stop a run under this sway (SWAYSOCK): the run's own
    // binding, or the user's where it runs tarnwick --stop; empty when none.
    static QString swayStopChord(const QString &stopCommand);

    // What `tarnwick --stop` does: asks the running run to stop. Needs the
    // application object. Returns the exit status (kExitOk, kExitNoRun).
    static int askRunToStop();
    // The same for `tarnwick --pause` and `tarnwick --resume`.
    enum class Ask { Stop, Pause, Resume };
    static int askRun(Ask what);

signals:
    void stopRequested();
    void pauseRequested();
    void resumeRequested();

private:
    QLocalServer *server_ = nullptr;
    QString swayBinding_;
};
