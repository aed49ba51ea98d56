#include "runstopserver.h"

#include "core/commandline.h"
#include "core/keycombination.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QProcess>

#if !defined(Q_OS_WIN)
#include "platform/wayland/waylandkeymap.h"

#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcStopServer, "tarnwick.stopserver")

namespace {

constexpr int kTimeoutMs = 3000;
const QByteArray kRequest = QByteArrayLiteral("stop\n");
const QByteArray kAnswer = QByteArrayLiteral("stopping\n");

// swaymsg with `args`; true when sway accepted the command.
bool swaymsg(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral("swaymsg"), QStringList{QStringLiteral("--")} + args);
    return p.waitForFinished(kTimeoutMs) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}

} // namespace

QString RunStopServer::socketName() {
#if defined(Q_OS_WIN)
    return QStringLiteral("tarnwick-stop-") + qEnvironmentVariable("USERNAME");
#else
    // The user's runtime folder is theirs alone; /tmp is the fallback.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        return runtime + QStringLiteral("/tarnwick-stop");
    return QStringLiteral("tarnwick-stop-%1").arg(getuid());
#endif
}

QString RunStopServer::swayChord(const QString &stopCommand) {
#if defined(Q_OS_WIN)
    (void)stopCommand;
    return {};
#else
    if (!namesKeyboardKey(stopCommand))
        return {};
    const KeyCombination combination = parseKeyCombination(stopCommand);
    const char *key = platform::wayland::keysymNameForVk(combination.vk);
    if (!key)
        return {};
    QString chord;
    if (combination.mask & storedmask::Ctrl)
        chord += QStringLiteral("Ctrl+");
    if (combination.mask & storedmask::Alt)
        chord += QStringLiteral("Alt+");
    if (combination.mask & storedmask::Shift)
        chord += QStringLiteral("Shift+");
    if (combination.mask & storedmask::Win)
        chord += QStringLiteral("Mod4+");
    return chord + QString::fromLatin1(key);
#endif
}

RunStopServer::RunStopServer(const QString &stopCommand, QObject *parent) : QObject(parent) {
    const QString name = socketName();
    {
        // Another run of this user keeps the name; a socket nobody answers on
        // is left from a run that died, and is taken over.
        QLocalSocket probe;
        probe.connectToServer(name);
        if (probe.waitForConnected(kTimeoutMs / 3)) {
            qCInfo(lcStopServer) << "another run answers tarnwick --stop";
            return;
        }
    }
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name)) {
        QLocalServer::removeServer(name);
        if (!server_->listen(name)) {
            qCWarning(lcStopServer)
                << "tarnwick --stop cannot reach this run:" << server_->errorString();
            delete server_;
            server_ = nullptr;
            return;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *client = server_->nextPendingConnection()) {
            connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            connect(client, &QLocalSocket::readyRead, this, [this, client] {
                if (!client->canReadLine())
                    return;
                if (client->readLine() == kRequest) {
                    client->write(kAnswer);
                    client->flush();
                    emit stopRequested();
                }
                client->disconnectFromServer();
            });
        }
    });
    if (!qEnvironmentVariableIsEmpty("SWAYSOCK")) {
        const QString chord = swayChord(stopCommand);
        const QString command =
            QStringLiteral("exec '%1' --stop").arg(QCoreApplication::applicationFilePath());
        if (!chord.isEmpty() &&
            swaymsg({QStringLiteral("bindsym"), QStringLiteral("--no-repeat"), chord, command})) {
            swayBinding_ = chord;
            qCInfo(lcStopServer).noquote() << "sway: " + chord + " stops the run";
        }
    }
}

RunStopServer::~RunStopServer() {
    if (!swayBinding_.isEmpty())
        swaymsg({QStringLiteral("unbindsym"), swayBinding_});
}

bool RunStopServer::listening() const {
    return server_ && server_->isListening();
}

int RunStopServer::askRunToStop() {
    QLocalSocket socket;
    socket.connectToServer(socketName());
    if (!socket.waitForConnected(kTimeoutMs))
        return commandline::kExitNoRun;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(kTimeoutMs))
        return commandline::kExitNoRun;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kTimeoutMs))
            return commandline::kExitNoRun;
    }
    return socket.readLine() == kAnswer ? commandline::kExitOk : commandline::kExitNoRun;
}
