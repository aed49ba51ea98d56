#include "runstopserver.h"

#include "core/commandline.h"
#include "core/keycombination.h"
#include "platform/backend.h"

#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>

#if !defined(Q_OS_WIN)
#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcStopServer, "tarnwick.stopserver")

namespace {

// Without a server the connection fails at once; with one, a loaded machine
// may take seconds to answer, which must not read as "no run".
constexpr int kTimeoutMs = 10000;
// One line each way: the request and its answer.
struct Exchange {
    RunStopServer::Ask ask;
    QByteArray request;
    QByteArray answer;
};
const Exchange kExchanges[] = {
    {RunStopServer::Ask::Stop, QByteArrayLiteral("stop\n"), QByteArrayLiteral("stopping\n")},
    {RunStopServer::Ask::Pause, QByteArrayLiteral("pause\n"), QByteArrayLiteral("pausing\n")},
    {RunStopServer::Ask::Resume, QByteArrayLiteral("resume\n"), QByteArrayLiteral("resuming\n")},
    {RunStopServer::Ask::TogglePause, QByteArrayLiteral("toggle-pause\n"),
     QByteArrayLiteral("toggling\n")},
};

const Exchange &exchangeFor(RunStopServer::Ask ask) {
    for (const Exchange &exchange : kExchanges) {
        if (exchange.ask == ask)
            return exchange;
    }
    return kExchanges[0];
}

// The run keys' ids of the stop keys and the pause keys.
constexpr int kStopKeysId = 1;
constexpr int kPauseKeysId = 2;

platform::RunKeyRequest keysRequest(const QString &stored, const char *argument) {
    platform::RunKeyRequest request;
    if (namesKeyboardKey(stored)) {
        const KeyCombination combination = parseKeyCombination(stored);
        // The stored mask's bits are the chord's modifier flags.
        request.chord = platform::Chord{unsigned(combination.mask), combination.vk};
    }
    request.command = {QCoreApplication::applicationFilePath().toStdString(), argument};
    return request;
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

platform::RunKeyRequest RunStopServer::stopKeys(const QString &stopCommand) {
    return keysRequest(stopCommand, "--stop");
}

platform::RunKeyRequest RunStopServer::pauseKeys(const QString &pauseCommand) {
    return keysRequest(pauseCommand, "--toggle-pause");
}

RunStopServer::RunStopServer(const QString &stopCommand, const QString &pauseCommand,
                             QObject *parent)
    : QObject(parent) {
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
                const QByteArray line = client->readLine();
                for (const Exchange &exchange : kExchanges) {
                    if (line != exchange.request)
                        continue;
                    client->write(exchange.answer);
                    client->flush();
                    if (exchange.ask == Ask::Stop)
                        emit stopRequested();
                    else if (exchange.ask == Ask::Pause)
                        emit pauseRequested();
                    else if (exchange.ask == Ask::Resume)
                        emit resumeRequested();
                    else
                        emit togglePauseRequested();
                }
                client->disconnectFromServer();
            });
        }
    });
    platform::RunKeys *keys = platform::backend().runKeys();
    if (!keys)
        return;
    platform::RunKeyRequest request = stopKeys(stopCommand);
    request.callback = [this] { emit stopRequested(); };
    const platform::RunKeyAnswer answer = keys->bind(kStopKeysId, request);
    const QString desktop = QString::fromStdString(answer.desktop);
    const QString chord = QString::fromStdString(answer.keys);
    if (answer.way == platform::RunKeyWay::Bound) {
        bound_ = true;
        keyBinding_ = chord;
        qCInfo(lcStopServer).noquote() << desktop + ": " + chord + " stops the run";
    } else if (answer.way == platform::RunKeyWay::UsersBinding ||
               answer.way == platform::RunKeyWay::Taken) {
        qCInfo(lcStopServer).noquote() << desktop + ": " + chord + " is bound in " + desktop +
                                              "'s configuration, and stays so";
    }
    // The run hears its pause keys itself where the program hears the
    // keyboard; a binding as well would toggle twice on one press.
    platform::RunKeyRequest pause = pauseKeys(pauseCommand);
    if (pause.chord.vk == 0)
        return;
    const platform::RunKeyWay heard = keys->ask(pause).way;
    if (heard == platform::RunKeyWay::Heard || heard == platform::RunKeyWay::Devices)
        return;
    pause.callback = [this] { emit togglePauseRequested(); };
    const platform::RunKeyAnswer paused = keys->bind(kPauseKeysId, pause);
    if (paused.way == platform::RunKeyWay::Bound) {
        pauseBound_ = true;
        qCInfo(lcStopServer).noquote() << QString::fromStdString(paused.desktop) + ": " +
                                              QString::fromStdString(paused.keys) +
                                              " pauses and resumes the run";
    }
}

RunStopServer::~RunStopServer() {
    // Asked again: a backend installed since knows no such binding.
    if (bound_ || pauseBound_) {
        if (platform::RunKeys *keys = platform::backend().runKeys()) {
            if (bound_)
                keys->unbind(kStopKeysId);
            if (pauseBound_)
                keys->unbind(kPauseKeysId);
        }
    }
}

bool RunStopServer::listening() const {
    return server_ && server_->isListening();
}

int RunStopServer::askRunToStop() {
    return askRun(Ask::Stop);
}

int RunStopServer::askRun(Ask what) {
    const Exchange &exchange = exchangeFor(what);
    QLocalSocket socket;
    socket.connectToServer(socketName());
    if (!socket.waitForConnected(kTimeoutMs))
        return commandline::kExitNoRun;
    socket.write(exchange.request);
    if (!socket.waitForBytesWritten(kTimeoutMs))
        return commandline::kExitNoRun;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(kTimeoutMs))
            return commandline::kExitNoRun;
    }
    return socket.readLine() == exchange.answer ? commandline::kExitOk : commandline::kExitNoRun;
}
