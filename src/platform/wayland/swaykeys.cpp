#include "swaykeys.h"

#include "waylandkeymap.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <algorithm>

#include <wordexp.h>

namespace platform::wayland {
namespace {

constexpr int kTimeoutMs = 3000;
const QString kDesktop = QStringLiteral("sway");

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
std::string swayConfig() {
    return withIncludes(
        swayField(QStringLiteral("get_config"), QStringLiteral("config")).toStdString(),
        swayField(QStringLiteral("get_version"), QStringLiteral("loaded_config_file_name"))
            .toStdString());
}

// The files an `include` line's argument names, expanded as sway does (a
// shell word: ~, variables, wildcards), relative ones beside the including
// file in `dir`.
QStringList includedFiles(QString pattern, const QString &dir) {
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

// Whether the user's binding line `line` runs `command`: it names the
// program and every argument.
bool runsCommand(const QString &line, const std::vector<std::string> &command) {
    if (command.empty())
        return false;
    if (!line.contains(QFileInfo(QString::fromStdString(command.front())).fileName()))
        return false;
    return std::all_of(command.begin() + 1, command.end(), [&](const std::string &argument) {
        return line.contains(QString::fromStdString(argument));
    });
}

// `word` as sh reads it back: quoted where it holds more than plain
// characters. Sway hands an exec's text to sh.
QString shellWord(const QString &word) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./=:-]+$"));
    if (plain.match(word).hasMatch())
        return word;
    QString quoted = word;
    quoted.replace(QLatin1String("'"), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Sway's command that runs `command`; the program always quoted.
QString execCommand(const std::vector<std::string> &command) {
    QString program = QString::fromStdString(command.front());
    program.replace(QLatin1String("'"), QLatin1String("'\\''"));
    QString text = QStringLiteral("exec '%1'").arg(program);
    for (auto it = command.begin() + 1; it != command.end(); ++it)
        text += QLatin1Char(' ') + shellWord(QString::fromStdString(*it));
    return text;
}

RunKeyAnswer answer(RunKeyWay way, const QString &chord) {
    return RunKeyAnswer{way, kDesktop.toStdString(), chord.toStdString()};
}

} // namespace

std::string swayChord(Chord chord) {
    const char *key = chord.vk ? keysymNameForVk(chord.vk) : nullptr;
    if (!key)
        return {};
    std::string name;
    if (chord.modifiers & kModControl)
        name += "Ctrl+";
    if (chord.modifiers & kModAlt)
        name += "Alt+";
    if (chord.modifiers & kModShift)
        name += "Shift+";
    if (chord.modifiers & kModWin)
        name += "Mod4+";
    return name + key;
}

std::string configBinding(const std::string &configText, const std::string &chord) {
    const QStringList wanted = chordParts(QString::fromStdString(chord));
    if (wanted.isEmpty())
        return {};
    const QString config = QString::fromStdString(configText);
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
                return trimmed.toStdString();
        }
    }
    return {};
}

std::string withIncludes(const std::string &config, const std::string &path) {
    const QString file = QString::fromStdString(path);
    QSet<QString> seen;
    if (!file.isEmpty())
        seen.insert(QFileInfo(file).canonicalFilePath());
    return spliceIncludes(QString::fromStdString(config), file, seen).toStdString();
}

SwayRunKeys::~SwayRunKeys() {
    while (!bound_.empty())
        unbind(bound_.begin()->first);
}

RunKeyAnswer SwayRunKeys::ask(const RunKeyRequest &request) {
    const QString chord = QString::fromStdString(swayChord(request.chord));
    if (chord.isEmpty())
        return answer(RunKeyWay::Unnamed, chord);
    const QString own = QString::fromStdString(configBinding(swayConfig(), chord.toStdString()));
    if (own.isEmpty())
        return answer(RunKeyWay::Bound, chord);
    // The user's own binding stops the run only if it runs our command.
    return answer(runsCommand(own, request.command) ? RunKeyWay::UsersBinding : RunKeyWay::Taken,
                  chord);
}

RunKeyAnswer SwayRunKeys::bind(int id, const RunKeyRequest &request) {
    unbind(id);
    const RunKeyAnswer asked = ask(request);
    // Binding over the user's own binding of these keys would lose it when
    // the run unbinds them: such keys are left as they are.
    if (asked.way != RunKeyWay::Bound)
        return asked;
    if (request.command.empty() ||
        !swaymsg({QStringLiteral("bindsym"), QStringLiteral("--no-repeat"),
                  QString::fromStdString(asked.keys), execCommand(request.command)}))
        return RunKeyAnswer{RunKeyWay::Refused, asked.desktop, asked.keys};
    bound_[id] = asked.keys;
    return asked;
}

void SwayRunKeys::unbind(int id) {
    const auto it = bound_.find(id);
    if (it == bound_.end())
        return;
    swaymsg({QStringLiteral("unbindsym"), QString::fromStdString(it->second)});
    bound_.erase(it);
}

std::unique_ptr<RunKeys> createSwayRunKeys() {
    if (qEnvironmentVariableIsEmpty("SWAYSOCK"))
        return nullptr;
    return std::make_unique<SwayRunKeys>();
}

} // namespace platform::wayland
