#include "runstopserver.h"

#include "core/commandline.h"
#include "core/keycombination.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>

#include <algorithm>

#if !defined(Q_OS_WIN)
#include "platform/wayland/waylandkeymap.h"

#include <unistd.h>
#endif

Q_LOGGING_CATEGORY(lcStopServer, "tarnwick.stopserver")

namespace {

constexpr int kTimeoutMs = 3000;
const QByteArray kRequest = QByteArrayLiteral("stop\n");
const QByteArray kAnswer = QByteArrayLiteral("stopping\n");

// swaymsg with `args`; true when sway accepted the command. Its answer goes
// to `output` where given.
bool swaymsg(const QStringList &args, QByteArray *output = nullptr) {
    QProcess p;
    p.start(QStringLiteral("swaymsg"), args.value(0) == QStringLiteral("-t")
                                           ? args
                                           : QStringList{QStringLiteral("--")} + args);
    const bool ok = p.waitForFinished(kTimeoutMs) && p.exitStatus() == QProcess::NormalExit &&
                    p.exitCode() == 0;
    if (output)
        *output = p.readAllStandardOutput();
    return ok;
}

// A key combination as a set of lower-case names, sway's aliases folded
// ("Control+Mod1+S" and "alt+ctrl+s" are the same).
QStringList chordParts(const QString &chord) {
    QStringList parts = chord.toLower().split(QLatin1Char('+'), Qt::SkipEmptyParts);
    for (QString &part : parts) {
        if (part == QLatin1String("control"))
            part = QStringLiteral("ctrl");
        else if (part == QLatin1String("mod1"))
            part = QStringLiteral("alt");
        else if (part == QLatin1String("super"))
            part = QStringLiteral("mod4");
    }
    parts.sort();
    return parts;
}

// Sway's configuration text, empty where it cannot be asked.
QString swayConfig() {
    QByteArray answer;
    if (!swaymsg({QStringLiteral("-t"), QStringLiteral("get_config"), QStringLiteral("-r")},
                 &answer))
        return {};
    return QJsonDocument::fromJson(answer).object().value(QStringLiteral("config")).toString();
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

QString RunStopServer::configBinding(const QString &config, const QString &chord) {
    const QStringList wanted = chordParts(chord);
    if (wanted.isEmpty())
        return {};
    QList<QPair<QString, QString>> variables; // "$mod" -> "Mod4", longest names first
    const QStringList lines = config.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList words = line.simplified().split(QLatin1Char(' '));
        if (words.size() >= 3 && words[0] == QLatin1String("set") && words[1].startsWith('$'))
            variables.append({words[1], words.mid(2).join(QLatin1Char(' '))});
    }
    std::sort(variables.begin(), variables.end(),
              [](const auto &a, const auto &b) { return a.first.size() > b.first.size(); });
    // Any word of any line that names the same keys counts, wherever it
    // stands: a false match only leaves the user's configuration alone.
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith('#') || trimmed.startsWith(QLatin1String("set ")))
            continue;
        for (QString word :
             trimmed.split(QRegularExpression(QStringLiteral("[\\s{}]+")), Qt::SkipEmptyParts)) {
            for (const auto &[name, value] : variables)
                word.replace(name, value);
            word.remove(QLatin1Char('"')).remove(QLatin1Char('\''));
            if (!word.startsWith(QLatin1String("--")) && chordParts(word) == wanted)
                return trimmed;
        }
    }
    return {};
}

QString RunStopServer::swayStopChord(const QString &stopCommand) {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        return {};
    const QString chord = swayChord(stopCommand);
    if (chord.isEmpty())
        return {};
    const QString own = configBinding(swayConfig(), chord);
    // The user's own binding stops the run only if it runs tarnwick --stop.
    if (own.isEmpty() ||
        (own.contains(QLatin1String("tarnwick")) && own.contains(QLatin1String("--stop"))))
        return chord;
    return {};
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
        // Binding over the user's own binding of these keys would lose it
        // when the run unbinds them: such keys are left as they are.
        if (!chord.isEmpty() && !configBinding(swayConfig(), chord).isEmpty()) {
            qCInfo(lcStopServer).noquote()
                << "sway: " + chord + " is bound in sway's configuration, and stays so";
        } else if (!chord.isEmpty() && swaymsg({QStringLiteral("bindsym"),
                                                QStringLiteral("--no-repeat"), chord, command})) {
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
