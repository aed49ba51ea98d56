#include "runstopserver.h"

#include "core/commandline.h"
#include "core/keycombination.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

#if !defined(Q_OS_WIN)
#include "platform/wayland/waylandkeymap.h"

#include <unistd.h>
#include <wordexp.h>
#endif

Q_LOGGING_CATEGORY(lcStopServer, "tarnwick.stopserver")

namespace {

constexpr int kTimeoutMs = 3000;
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
};

const Exchange &exchangeFor(RunStopServer::Ask ask) {
    for (const Exchange &exchange : kExchanges) {
        if (exchange.ask == ask)
            return exchange;
    }
    return kExchanges[0];
}

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

// A field of the JSON object sway answers to `swaymsg -t TYPE`.
QString swayField(const QString &type, const QString &field) {
    QByteArray answer;
    if (!swaymsg({QStringLiteral("-t"), type, QStringLiteral("-r")}, &answer))
        return {};
    return QJsonDocument::fromJson(answer).object().value(field).toString();
}

// Sway's configuration text with what it includes, empty where it cannot
// be asked. Sway gives only its main file's text, and where that file is.
QString swayConfig() {
    return RunStopServer::withIncludes(
        swayField(QStringLiteral("get_config"), QStringLiteral("config")),
        swayField(QStringLiteral("get_version"), QStringLiteral("loaded_config_file_name")));
}

// The files an `include` line's argument names, expanded as sway does (a
// shell word: ~, variables, wildcards), relative ones beside the including
// file in `dir`.
QStringList includedFiles(QString pattern, const QString &dir) {
#if defined(Q_OS_WIN)
    (void)pattern;
    (void)dir;
    return {};
#else
    pattern = pattern.trimmed();
    const QString bare = pattern.mid(pattern.startsWith('"') || pattern.startsWith('\'') ? 1 : 0);
    if (!bare.startsWith('/') && !bare.startsWith('~') && !bare.startsWith('$')) {
        if (dir.isEmpty())
            return {};
        QString quoted = dir;
        quoted.replace(QLatin1String("'"), QLatin1String("'\\''"));
        pattern = QLatin1Char('\'') + quoted + QLatin1String("'/") + pattern;
    }
    wordexp_t words{};
    // WRDE_NOCMD: the configuration is read here, never run.
    const int error = wordexp(QFile::encodeName(pattern).constData(), &words, WRDE_NOCMD);
    QStringList files;
    if (error == 0) {
        for (std::size_t i = 0; i < words.we_wordc; ++i)
            files << QFile::decodeName(words.we_wordv[i]);
    }
    if (error == 0 || error == WRDE_NOSPACE)
        wordfree(&words);
    return files;
#endif
}

QString spliceIncludes(const QString &config, const QString &path, QSet<QString> &seen) {
    // Big enough for any configuration; a device named by mistake is not read.
    constexpr qint64 kMaxFileBytes = 1 << 20;
    const QString dir = path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
    QStringList out;
    for (const QString &line : config.split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.startsWith(QLatin1String("include")) || trimmed.size() < 9 ||
            !trimmed.at(7).isSpace()) {
            out << line;
            continue;
        }
        for (const QString &file : includedFiles(trimmed.mid(8), dir)) {
            const QFileInfo info(file);
            // Sway reads each file once, which also ends a circle of includes.
            if (!info.isFile() || info.size() > kMaxFileBytes ||
                seen.contains(info.canonicalFilePath()))
                continue;
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly))
                continue;
            seen.insert(info.canonicalFilePath());
            out << spliceIncludes(QString::fromUtf8(f.readAll()), file, seen);
        }
    }
    return out.join(QLatin1Char('\n'));
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

QString RunStopServer::withIncludes(const QString &config, const QString &path) {
    QSet<QString> seen;
    if (!path.isEmpty())
        seen.insert(QFileInfo(path).canonicalFilePath());
    return spliceIncludes(config, path, seen);
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
                    else
                        emit resumeRequested();
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
