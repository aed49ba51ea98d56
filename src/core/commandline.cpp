#include "commandline.h"

#include "keycombination.h"
#include "runcount.h"
#include "runpace.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QRegularExpression>

#include <limits>

namespace commandline {

namespace {

const QString kNone = QString::fromUtf16(kNoKeyCombination);

Request failure(const QString &error) {
    Request request;
    request.action = Action::Fail;
    request.error = error;
    return request;
}

// A whole number in [low, high]; nothing for anything else.
std::optional<int> boundedNumber(const QString &text, int low, int high) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < low || value > high)
        return std::nullopt;
    return value;
}

// The virtual-key code of a key name as the program shows it (keyName), in
// any case: "s" and "S" are 83, "f12" is 123, "esc" is 27.
int keyCodeFromName(const QString &name) {
    for (unsigned vk = 1; vk < 256; ++vk) {
        if (keyName(vk).compare(name, Qt::CaseInsensitive) == 0)
            return int(vk);
    }
    return 0;
}

int modifierFromName(const QString &name) {
    const QString lower = name.toLower();
    if (lower == QLatin1String("ctrl") || lower == QLatin1String("control"))
        return storedmask::Ctrl;
    if (lower == QLatin1String("alt"))
        return storedmask::Alt;
    if (lower == QLatin1String("shift"))
        return storedmask::Shift;
    if (lower == QLatin1String("win") || lower == QLatin1String("super") ||
        lower == QLatin1String("meta"))
        return storedmask::Win;
    return 0;
}

} // namespace

QString stopCommandFromKeys(const QString &keys) {
    const QString text = keys.trimmed();
    if (text.compare(QLatin1String("none"), Qt::CaseInsensitive) == 0 || text == kNone)
        return kNone;
    int vk = 0;
    int mask = 0;
    for (const QString &part : text.split(QLatin1Char('+'))) {
        const QString name = part.trimmed();
        if (const int bit = modifierFromName(name)) {
            mask |= bit;
            continue;
        }
        const int code = keyCodeFromName(name);
        if (code == 0 || vk != 0)
            return QString(); // unknown name, an empty part, or a second key
        vk = code;
    }
    // "vk7" is a name, but of a code no keyboard sends.
    if (vk == 0 || !isKeyboardKey(vk))
        return QString();
    return keyCombinationText(vk, mask);
}

Request parse(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption run(QStringLiteral("run"));
    const QCommandLineOption repeat(QStringLiteral("repeat"), QString(), QStringLiteral("N"));
    const QCommandLineOption endless(QStringLiteral("endless"));
    const QCommandLineOption startDelay(QStringLiteral("start-delay"), QString(),
                                        QStringLiteral("S"));
    const QCommandLineOption stop(QStringLiteral("stop"), QString(), QStringLiteral("KEYS"));
    const QCommandLineOption verbose(QStringLiteral("verbose"));
    const QCommandLineOption pauseKeys(QStringLiteral("pause-keys"), QString(),
                                       QStringLiteral("KEYS"));
    const QCommandLineOption speed(QStringLiteral("speed"), QString(), QStringLiteral("F"));
    const QCommandLineOption vary(QStringLiteral("vary"), QString(), QStringLiteral("P"));
    const QCommandLineOption varyPixels(QStringLiteral("vary-pixels"), QString(),
                                        QStringLiteral("N"));
    const QCommandLineOption seed(QStringLiteral("seed"), QString(), QStringLiteral("N"));
    parser.addOptions({help, version, run, repeat, endless, startDelay, stop, verbose, pauseKeys,
                       speed, vary, varyPixels, seed});

    // Alone, --stop asks the running run to end (so a compositor's key
    // binding can run it); with --run it names the run's stop keys.
    // --pause and --resume are only ever asked of a running run.
    if (arguments.size() == 2) {
        const QString &only = arguments.at(1);
        Request request;
        if (only == QLatin1String("--stop"))
            request.action = Action::StopRunning;
        else if (only == QLatin1String("--pause"))
            request.action = Action::PauseRunning;
        else if (only == QLatin1String("--resume"))
            request.action = Action::ResumeRunning;
        else if (only == QLatin1String("--toggle-pause"))
            request.action = Action::TogglePauseRunning;
        if (request.action != Action::StartPage)
            return request;
    }
    for (const QString &argument : arguments.mid(1)) {
        if (argument == QLatin1String("--pause") || argument == QLatin1String("--resume") ||
            argument == QLatin1String("--toggle-pause"))
            return failure(QStringLiteral("%1 is given alone").arg(argument));
    }
    if (!parser.parse(arguments))
        return failure(parser.errorText());
    if (parser.isSet(help) || parser.isSet(version)) {
        Request request;
        request.action = parser.isSet(help) ? Action::ShowHelp : Action::ShowVersion;
        return request;
    }

    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return failure(
            QStringLiteral("only one project file can be given (got %1)").arg(files.size()));

    const bool runOptionGiven =
        parser.isSet(repeat) || parser.isSet(endless) || parser.isSet(startDelay) ||
        parser.isSet(stop) || parser.isSet(verbose) || parser.isSet(pauseKeys) ||
        parser.isSet(speed) || parser.isSet(vary) || parser.isSet(varyPixels) || parser.isSet(seed);
    if (!parser.isSet(run)) {
        if (runOptionGiven)
            return failure(QStringLiteral("--repeat, --endless, --start-delay, --stop, "
                                          "--pause-keys, --speed, --vary, --vary-pixels, --seed "
                                          "and --verbose need --run"));
        Request request;
        request.action = files.isEmpty() ? Action::StartPage : Action::OpenFile;
        request.file = files.value(0);
        return request;
    }

    if (files.isEmpty())
        return failure(QStringLiteral("--run needs a project file"));
    Request request;
    request.action = Action::Run;
    request.file = files.first();
    if (parser.isSet(repeat) && parser.isSet(endless))
        return failure(QStringLiteral("--repeat and --endless cannot be given together"));
    if (parser.isSet(repeat)) {
        request.repeat = boundedNumber(parser.value(repeat), 1, kMaxRunCount);
        if (!request.repeat)
            return failure(QStringLiteral("--repeat needs a whole number from 1 to %1, not \"%2\"")
                               .arg(kMaxRunCount)
                               .arg(parser.value(repeat)));
    }
    request.endless = parser.isSet(endless);
    request.verbose = parser.isSet(verbose);
    if (parser.isSet(startDelay)) {
        request.startDelay = boundedNumber(parser.value(startDelay), 0, kMaxStartDelay);
        if (!request.startDelay)
            return failure(
                QStringLiteral("--start-delay needs whole seconds from 0 to %1, not \"%2\"")
                    .arg(kMaxStartDelay)
                    .arg(parser.value(startDelay)));
    }
    if (parser.isSet(stop)) {
        const QString stored = stopCommandFromKeys(parser.value(stop));
        if (stored.isEmpty())
            return failure(QStringLiteral("--stop needs a key with optional modifiers, such as "
                                          "ctrl+alt+s, or none; not \"%1\"")
                               .arg(parser.value(stop)));
        request.stopCommand = stored;
    }
    if (parser.isSet(pauseKeys)) {
        const QString stored = stopCommandFromKeys(parser.value(pauseKeys));
        if (stored.isEmpty())
            return failure(QStringLiteral("--pause-keys needs a key with optional modifiers, "
                                          "such as ctrl+alt+p, or none; not \"%1\"")
                               .arg(parser.value(pauseKeys)));
        request.pauseCommand = stored;
    }
    if (parser.isSet(speed)) {
        request.speed = runpace::parseSpeed(parser.value(speed));
        if (!request.speed)
            return failure(QStringLiteral("--speed needs a factor from %1 to %2, not \"%3\"")
                               .arg(runpace::kMinSpeed)
                               .arg(runpace::kMaxSpeed)
                               .arg(parser.value(speed)));
    }
    if (parser.isSet(vary)) {
        QString text = parser.value(vary).trimmed();
        if (text.endsWith(QLatin1Char('%')))
            text.chop(1);
        request.varyPercent = boundedNumber(text, 0, runpace::kMaxVariationPercent);
        if (!request.varyPercent)
            return failure(QStringLiteral("--vary needs a whole percentage from 0 to %1, not "
                                          "\"%2\"")
                               .arg(runpace::kMaxVariationPercent)
                               .arg(parser.value(vary)));
    }
    if (parser.isSet(varyPixels)) {
        request.varyPixels =
            boundedNumber(parser.value(varyPixels), 0, runpace::kMaxVariationPixels);
        if (!request.varyPixels)
            return failure(QStringLiteral("--vary-pixels needs whole pixels from 0 to %1, not "
                                          "\"%2\"")
                               .arg(runpace::kMaxVariationPixels)
                               .arg(parser.value(varyPixels)));
    }
    if (parser.isSet(seed)) {
        bool ok = false;
        const qulonglong value = parser.value(seed).trimmed().toULongLong(&ok);
        if (!ok)
            return failure(QStringLiteral("--seed needs a whole number from 0 to %1, not \"%2\"")
                               .arg(std::numeric_limits<qulonglong>::max())
                               .arg(parser.value(seed)));
        request.seed = value;
    }
    return request;
}

bool planRun(const Request &request, const RunSettings &saved, bool trayAvailable,
             RunSettings &plan, QString &error, bool stopKeysHeard) {
    plan.startDelay = request.startDelay.value_or(qBound(0, saved.startDelay, kMaxStartDelay));
    plan.runCount =
        request.endless ? kRepeatUntilStopped : request.repeat.value_or(kDefaultRunCount);
    plan.stopCommand = request.stopCommand.value_or(saved.stopCommand);
    // A saved stop command that names no key (unreadable, or a code no
    // keyboard sends) could never stop the run: it counts as none.
    const QString savedUnusable = plan.stopCommand != kNone && !namesKeyboardKey(plan.stopCommand)
                                      ? plan.stopCommand
                                      : QString();
    if (plan.stopCommand.isEmpty() || !namesKeyboardKey(plan.stopCommand))
        plan.stopCommand = kNone;
    plan.pauseCommand = request.pauseCommand.value_or(saved.pauseCommand);
    // Saved pause keys that name no key pause nothing; given ones are judged.
    if (!request.pauseCommand && !namesKeyboardKey(plan.pauseCommand))
        plan.pauseCommand = kNone;
    switch (runpace::keysProblem(plan.stopCommand, plan.pauseCommand, kNone)) {
    case runpace::KeysProblem::PauseNoKey:
        error = QStringLiteral("the pause keys need a key besides ctrl, alt, shift and win");
        return false;
    case runpace::KeysProblem::PauseIsStop:
        error = QStringLiteral("the pause keys are the stop keys; give other --pause-keys "
                               "(or --pause-keys none)");
        return false;
    default:
        break;
    }
    plan.pace = saved.pace;
    if (request.speed)
        plan.pace.speed = *request.speed;
    if (request.varyPercent)
        plan.pace.variationPercent = *request.varyPercent;
    if (request.varyPixels)
        plan.pace.variationPixels = *request.varyPixels;
    plan.seed = request.seed;
    if (request.endless && !plan.hasStopCommand() && !trayAvailable) {
        error = QStringLiteral("an endless run without a stop key needs a system tray to stop it, "
                               "and there is none; give --stop KEYS or --repeat N");
        if (!savedUnusable.isEmpty())
            error.prepend(
                QStringLiteral("the saved stop command \"%1\" names no key; ").arg(savedUnusable));
        return false;
    }
    if (request.endless && !stopKeysHeard && !trayAvailable) {
        error = QStringLiteral(
            "an endless run could not be stopped here: on this Wayland desktop no program hears "
            "the stop keys (not sway, and the input devices cannot be read) and there is no "
            "system tray; give --repeat N (tarnwick --stop ends a run early)");
        return false;
    }
    return true;
}

QString paceNotice(const RunSettings &plan) {
    QStringList parts;
    parts << QStringLiteral("playing at %1x speed").arg(runpace::speedText(plan.pace.speed));
    if (plan.pace.variationPercent > 0)
        parts << QStringLiteral("times varied by up to %1 %").arg(plan.pace.variationPercent);
    if (plan.pace.variationPixels > 0)
        parts << QStringLiteral("places by up to %1 pixels").arg(plan.pace.variationPixels);
    if (plan.seed)
        parts << QStringLiteral("seed %1").arg(*plan.seed);
    return parts.join(QStringLiteral(", "));
}

QString progressLine(int pass, int passes, int page, int pages, const QString &kind) {
    const QString passText = passes == kRepeatUntilStopped
                                 ? QStringLiteral("pass %1").arg(pass)
                                 : QStringLiteral("pass %1 of %2").arg(pass).arg(passes);
    return QStringLiteral("%1, page %2 of %3: %4").arg(passText).arg(page).arg(pages).arg(kind);
}

bool mayBeToolkitOption(const QString &argument) {
    static const QRegularExpression singleDashWord(QStringLiteral("^-[A-Za-z][A-Za-z-]+$"));
    return singleDashWord.match(argument).hasMatch();
}

QString helpText() {
    return QStringLiteral(
        "Usage:\n"
        "  tarnwick                       open the start page\n"
        "  tarnwick FILE.cmdat            open a project in the editor\n"
        "  tarnwick --run FILE.cmdat [--repeat N | --endless] [--start-delay S] [--stop KEYS]\n"
        "                [--pause-keys KEYS] [--speed F] [--vary P] [--vary-pixels N]\n"
        "                [--seed N] [--verbose]\n"
        "                                 play a project without the editor\n"
        "  tarnwick --stop                end the running run of this user\n"
        "  tarnwick --pause               pause it (everything held is let go)\n"
        "  tarnwick --resume              resume it where it paused\n"
        "  tarnwick --toggle-pause        pause it, or resume it if paused (what the\n"
        "                                 pause keys do; for a desktop's key binding)\n"
        "\n"
        "Options:\n"
        "  -h, --help           show this help and exit\n"
        "  -v, --version        show the version and exit\n"
        "  --run                play the project instead of opening it\n"
        "  --repeat N           play it N times (1 to 9999; default 1)\n"
        "  --endless            play it until stopped\n"
        "  --start-delay S      wait S seconds before playing (0 to 9999;\n"
        "                       default: the run settings' start delay)\n"
        "  --stop KEYS          the stop key combination, for example ctrl+alt+s,\n"
        "                       or none (default: the one saved in the run settings)\n"
        "  --pause-keys KEYS    the key combination that pauses and resumes the run,\n"
        "                       for example ctrl+alt+p, or none (default: the saved one)\n"
        "  --speed F            play F times as fast (0.1 to 10; default: the saved speed):\n"
        "                       every time written in the project is divided by F\n"
        "  --vary P             vary each wait and duration by up to P percent (0 to 100)\n"
        "  --vary-pixels N      vary each written pointer position by up to N pixels\n"
        "                       (0 to 500), never off the screen or out of its window\n"
        "  --seed N             the same variation on every run with the same N\n"
        "  --verbose            also print the program's debug lines on stderr\n"
        "\n"
        "FILE.cmdat may be - for standard input; a pipe or /dev/stdin works too\n"
        "(at most 64 MiB).\n"
        "A run also stops when its tray icon is clicked, and on tarnwick --stop\n"
        "(which sway runs for the run's stop keys while a run goes).\n"
        "\n"
        "Exit status:\n"
        "  0        every pass ran\n"
        "  1        stopped by the stop keys or the tray icon\n"
        "  2        bad arguments, or a project that cannot be read or played\n"
        "  3        no display could be opened (is DISPLAY set?)\n"
        "  4        no input backend for this display system\n"
        "  5        a page could not be played (its window or picture was missing); the\n"
        "           run stopped there\n"
        "  6        --stop, --pause, --resume: no run of this user was running\n"
        "  128 + N  killed by signal N, once everything held is released\n");
}

QStringList posixMessageLanguages(const QString &lcAll, const QString &lcMessages,
                                  const QString &lang, const QString &language) {
    QString locale = lcAll;
    if (locale.isEmpty())
        locale = lcMessages;
    if (locale.isEmpty())
        locale = lang;
    // "ja_JP.UTF-8@variant" names the language "ja_JP".
    locale = locale.section(QLatin1Char('.'), 0, 0).section(QLatin1Char('@'), 0, 0);
    if (locale.isEmpty() || locale == QLatin1String("C") || locale == QLatin1String("POSIX"))
        return {};
    const QStringList preferred = language.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return preferred.isEmpty() ? QStringList{locale} : preferred;
}

bool japaneseMessages(const QStringList &uiLanguages) {
    return QLocale(uiLanguages.value(0)).language() == QLocale::Japanese;
}

} // namespace commandline
