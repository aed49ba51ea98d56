// Typing throughput and loss of the X11 input layer against xdotool, and
// (with --wayland, under a wlroots compositor) of the Wayland backend
// against wtype.
//
// Types 1,000 ASCII and 1,000 Japanese characters into a real Qt text field
// on the current X display (run it on Xvfb, see README.md): with the layer as
// fast as it allows, and with `xdotool type` at --delay 0 and at its default
// delay. Prints, for each run, the characters that arrived correctly, the
// characters per second (until the last one arrived) and our ratio against
// xdotool.

#include "platform/backend.h"

// The Wayland windows: Linux only, and the GTK one is the tests' own.
#if !defined(_WIN32) && __has_include("support/waylandgtktarget.h")
#define BENCH_TYPING_WAYLAND 1
#include "platform/wayland/waylandinput.h"
#include "support/waylandgtktarget.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Result {
    int correct = 0;
    bool exact = false;
    double seconds = 0;     // until the last character arrived
    double sentSeconds = 0; // until the typist was done
    double perSecond() const { return seconds > 0 ? correct / seconds : 0; }
};

void spin(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(500);
    }
}

// Length of the longest common subsequence: the characters that arrived in
// the right order, whatever was lost or garbled around them.
int commonSubsequence(const QString &a, const QString &b) {
    std::vector<int> previous(static_cast<size_t>(b.size()) + 1, 0), row(previous.size(), 0);
    for (int i = 1; i <= a.size(); ++i) {
        for (int j = 1; j <= b.size(); ++j)
            row[static_cast<size_t>(j)] =
                a[i - 1] == b[j - 1]
                    ? previous[static_cast<size_t>(j - 1)] + 1
                    : std::max(previous[static_cast<size_t>(j)], row[static_cast<size_t>(j - 1)]);
        std::swap(previous, row);
    }
    return previous.back();
}

// A window typed into: emptied and focused before each run; its length is
// watched while typing runs (-1 where it cannot be), and its text read at
// the end.
class Target {
public:
    virtual ~Target() = default;
    virtual bool prepare() = 0;
    virtual int length() = 0;
    // The text at the end; `arrived` is set to when the last character
    // arrived where length() cannot tell.
    virtual QString finish(QElapsedTimer &clock, qint64 &arrived) = 0;
    // A one-line field takes Return as a command, not as a line break.
    virtual bool multiline() const { return true; }
};

class QtTarget : public Target {
public:
    QtTarget() {
        field_.setGeometry(50, 50, 900, 40);
        field_.show();
    }
    bool prepare() override {
        field_.clear();
        field_.activateWindow();
        for (int i = 0; i < 200 && !field_.isActiveWindow(); ++i)
            spin(10);
        spin(200);
        return field_.isActiveWindow();
    }
    int length() override { return static_cast<int>(field_.text().size()); }
    QString finish(QElapsedTimer &, qint64 &) override { return field_.text(); }
    bool multiline() const override { return false; }

private:
    QLineEdit field_;
};

#ifdef BENCH_TYPING_WAYLAND
// The Wayland windows typed into, each a child process that reports its
// length on every change ("n N"), "ready" once emptied and focused after
// "clear", and its text ("text HEX...") after "dump", as the Tk target does.
// Qt's are this program again (--wayland-target, Qt's Wayland platform),
// GTK's the test support's python3-gi script. An "entry" is a one-line text
// field (QLineEdit, GtkEntry), which lays its whole line out again for
// every character; a "keys" window keeps the text its key presses carry
// and lays nothing out, so it shows what reaches a client.
constexpr char kWaylandTargetArg[] = "--wayland-target";

class KeysWindow : public QWidget {
public:
    QString text;

protected:
    void keyPressEvent(QKeyEvent *e) override {
        if (e->text().isEmpty() || e->text().at(0).unicode() < 0x20)
            return;
        text += e->text();
        std::printf("n %d\n", static_cast<int>(text.size()));
    }
};

int waylandTargetMain(int argc, char **argv) {
    QApplication app(argc, argv);
    const bool keys = argc > 2 && std::strcmp(argv[2], "keys") == 0;
    QLineEdit field;
    KeysWindow window;
    window.setFocusPolicy(Qt::StrongFocus);
    window.setAttribute(Qt::WA_InputMethodEnabled, false);
    QWidget &shown = keys ? static_cast<QWidget &>(window) : field;
    shown.resize(900, 40);
    shown.show();
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QObject::connect(&field, &QLineEdit::textChanged, [](const QString &text) {
        std::printf("n %d\n", static_cast<int>(text.size()));
    });
    QSocketNotifier input(0, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char line[64] = {};
        if (!std::fgets(line, sizeof line, stdin)) {
            QCoreApplication::quit();
            return;
        }
        if (std::strncmp(line, "clear", 5) == 0) {
            field.clear();
            window.text.clear();
            if (keys)
                std::printf("n 0\n");
            for (int i = 0; i < 500 && !shown.hasFocus(); ++i)
                spin(10);
            std::printf(shown.hasFocus() ? "ready\n" : "unfocused\n");
        } else if (std::strncmp(line, "dump", 4) == 0) {
            QString hex;
            for (QChar c : keys ? window.text : field.text())
                hex += QString::number(c.unicode(), 16) + QLatin1Char(' ');
            std::printf("text %s\n", qPrintable(hex));
        }
    });
    return QApplication::exec();
}

class WaylandChildTarget : public Target {
public:
    bool start(const QString &program, const QStringList &args, const QProcessEnvironment &env) {
        child_.setProcessEnvironment(env);
        child_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child_.start(program, args);
        return child_.waitForStarted(5000);
    }
    bool prepare() override {
        if (child_.state() != QProcess::Running)
            return false;
        child_.write("clear\n");
        if (!waitFor(QStringLiteral("ready")))
            return false;
        spin(200);
        read();
        return true;
    }
    int length() override {
        read();
        return length_;
    }
    QString finish(QElapsedTimer &, qint64 &) override {
        child_.write("dump\n");
        waitFor(QStringLiteral("text"));
        return text_;
    }
    bool multiline() const override { return false; }
    ~WaylandChildTarget() override {
        child_.closeWriteChannel();
        if (!child_.waitForFinished(2000))
            child_.kill();
    }

private:
    void read() {
        while (child_.canReadLine()) {
            const QString line = QString::fromUtf8(child_.readLine()).trimmed();
            if (line.startsWith(QLatin1String("n "))) {
                length_ = line.mid(2).toInt();
            } else if (line.startsWith(QLatin1String("text"))) {
                text_.clear();
                for (const QString &hex : line.mid(4).split(' ', Qt::SkipEmptyParts))
                    text_ += QChar(static_cast<char16_t>(hex.toUInt(nullptr, 16)));
                seen_ = QStringLiteral("text");
            } else {
                seen_ = line;
            }
        }
    }
    bool waitFor(const QString &what) {
        seen_.clear();
        for (int i = 0; i < 1000 && seen_ != what; ++i) {
            child_.waitForReadyRead(10);
            read();
        }
        return seen_ == what;
    }
    QProcess child_;
    int length_ = 0;
    QString text_;
    QString seen_;
};

#endif // BENCH_TYPING_WAYLAND

// A Tk text widget in `wish`, which reports its length on every change and
// its text as code points on request.
class TkTarget : public Target {
public:
    bool start() {
        // From a file: wish reading its script from stdin would take our
        // commands for script too.
        if (!script_.open())
            return false;
        script_.write(R"(wm geometry . 900x300+0+100
text .t -width 100 -height 20
pack .t -fill both -expand 1
fconfigure stdout -encoding utf-8 -buffering line
set last -1
proc poll {} {
    global last
    set n [string length [.t get 1.0 "end -1c"]]
    if {$n != $last} { set last $n; puts "n $n" }
    after 1 poll
}
proc cmd {} {
    if {[gets stdin line] < 0} { exit }
    if {$line eq "clear"} { .t delete 1.0 end; focus -force .t; puts ready }
    if {$line eq "dump"} {
        set h {}
        foreach c [split [.t get 1.0 "end -1c"] ""] { append h [format "%x " [scan $c %c]] }
        puts "text $h"
    }
}
fileevent stdin readable cmd
poll
)");
        script_.flush();
        wish_.start(QStringLiteral("wish"), {script_.fileName()});
        return wish_.waitForStarted(5000);
    }
    bool prepare() override {
        if (wish_.state() != QProcess::Running)
            return false;
        wish_.write("clear\n");
        if (!waitFor("ready"))
            return false;
        spin(200);
        read();
        return true;
    }
    int length() override {
        read();
        return length_;
    }
    QString finish(QElapsedTimer &, qint64 &) override {
        wish_.write("dump\n");
        waitFor("text");
        return text_;
    }
    ~TkTarget() override {
        wish_.closeWriteChannel();
        if (!wish_.waitForFinished(2000))
            wish_.kill();
    }

private:
    void read() {
        while (wish_.canReadLine()) {
            const QString line = QString::fromUtf8(wish_.readLine()).trimmed();
            if (line.startsWith(QLatin1String("n ")))
                length_ = line.mid(2).toInt();
            else if (line.startsWith(QLatin1String("text"))) {
                text_.clear();
                for (const QString &hex : line.mid(4).split(' ', Qt::SkipEmptyParts))
                    text_ += QChar(static_cast<char16_t>(hex.toUInt(nullptr, 16)));
                seen_ = QStringLiteral("text");
            } else {
                seen_ = line;
            }
        }
    }
    bool waitFor(const QString &what) {
        seen_.clear();
        for (int i = 0; i < 500 && seen_ != what; ++i) {
            wish_.waitForReadyRead(10);
            read();
        }
        return seen_ == what;
    }
    QTemporaryFile script_;
    QProcess wish_;
    int length_ = 0;
    QString text_;
    QString seen_;
};

// zenity's editable text view (GTK 3), started afresh for each run. Its
// text comes out when the dialog is closed (Ctrl+Tab to the buttons, Return
// on OK, keys queued after the text), so the last character arrived at
// most when the text came out; the time closing an empty dialog takes is
// taken off.
class GtkTarget : public Target {
public:
    explicit GtkTarget(platform::InputLayer &layer) : layer_(layer) {}
    bool prepare() override {
        zenity_ = std::make_unique<QProcess>();
        zenity_->start(QStringLiteral("zenity"),
                       {QStringLiteral("--text-info"), QStringLiteral("--editable"),
                        QStringLiteral("--width=900"), QStringLiteral("--height=300")});
        if (!zenity_->waitForStarted(5000))
            return false;
        for (int i = 0; i < 100; ++i) {
            spin(50);
            QProcess search;
            search.start(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--pid"), QString::number(zenity_->processId())});
            search.waitForFinished();
            const QString id = QString::fromLatin1(search.readAllStandardOutput()).trimmed();
            if (!id.isEmpty()) {
                QProcess::execute(QStringLiteral("xdotool"),
                                  {QStringLiteral("windowfocus"), id.section('\n', 0, 0)});
                spin(300);
                return true;
            }
        }
        return false;
    }
    int length() override { return -1; }
    QString finish(QElapsedTimer &clock, qint64 &arrived) override {
        layer_.keyDown(0x11); // Ctrl+Tab leaves the text view
        layer_.keyDown(0x09);
        layer_.keyUp(0x09);
        layer_.keyUp(0x11);
        layer_.keyDown(0x0D);
        layer_.keyUp(0x0D);
        zenity_->waitForFinished(60000);
        arrived = std::max<qint64>(0, clock.nsecsElapsed() - closeCost_);
        return QString::fromUtf8(zenity_->readAllStandardOutput());
    }
    // How long closing an empty dialog takes, to be taken off each run.
    void calibrate() {
        std::vector<qint64> costs;
        for (int i = 0; i < 3 && prepare(); ++i) {
            QElapsedTimer clock;
            clock.start();
            qint64 t = 0;
            closeCost_ = 0;
            finish(clock, t);
            costs.push_back(t);
        }
        std::sort(costs.begin(), costs.end());
        closeCost_ = costs.empty() ? 0 : costs[costs.size() / 2];
    }
    qint64 closeCost() const { return closeCost_; }

private:
    platform::InputLayer &layer_;
    std::unique_ptr<QProcess> zenity_;
    qint64 closeCost_ = 0;
};

// Starts `send` and waits until the target holds the whole text, or nothing
// has changed for two seconds after the sender finished.
template <typename Send> Result measure(Target &target, const QString &typed, Send send) {
    const QString text = target.multiline() ? typed : QString(typed).remove(QLatin1Char('\n'));
    if (!target.prepare())
        return {};
    QTimer tick; // wakes the loop below while nothing arrives
    tick.start(1);
    std::atomic<bool> sent{false};
    QElapsedTimer clock;
    clock.start();
    std::atomic<qint64> sentAt{0};
    std::thread sender([&] {
        send();
        sentAt = clock.nsecsElapsed();
        sent = true;
    });
    qint64 lastChange = 0;
    int lastLength = 0;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const int length = target.length();
        if (length < 0 && sent)
            break;
        if (length != lastLength) {
            lastLength = length;
            lastChange = clock.nsecsElapsed();
        }
        if (sent && length >= text.size())
            break;
        if (sent && clock.nsecsElapsed() - lastChange > 2'000'000'000LL)
            break;
    }
    sender.join();
    Result r;
    const QString got = target.finish(clock, lastChange);
    r.exact = got == text;
    if (!r.exact && qEnvironmentVariableIsSet("BENCH_TYPING_SHOW")) {
        int i = 0;
        while (i < got.size() && i < text.size() && got[i] == text[i])
            ++i;
        std::printf("    first difference at %d of %d: got \"%s\", wanted \"%s\"\n", i,
                    static_cast<int>(got.size()), qPrintable(got.mid(i, 12)),
                    qPrintable(text.mid(i, 12)));
    }
    r.correct = r.exact ? static_cast<int>(typed.size()) : commonSubsequence(got, text);
    r.seconds = static_cast<double>(lastChange) / 1e9;
    r.sentSeconds = static_cast<double>(sentAt) / 1e9;
    if (qEnvironmentVariableIsSet("BENCH_TYPING_SHOW"))
        std::printf("    sent in %.1f ms, arrived in %.1f ms\n", r.sentSeconds * 1e3,
                    r.seconds * 1e3);
    return r;
}

// `done` runs after the last key, on the typing thread (the Wayland layer
// waits there for the compositor).
Result typeWithLayer(platform::InputLayer &layer, Target &target, const QString &text,
                     const std::function<void()> &done = {}) {
    // Without the text announced the layer binds one character at a time,
    // as it did before blocks: BENCH_TYPING_ONE_AT_A_TIME=1 shows that.
    static const bool oneAtATime = qEnvironmentVariableIntValue("BENCH_TYPING_ONE_AT_A_TIME") != 0;
    return measure(target, text, [&] {
        if (!oneAtATime)
            layer.textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                            static_cast<std::size_t>(text.size()));
        for (QChar c : text) {
            layer.unicodeDown(c.unicode());
            layer.unicodeUp(c.unicode());
        }
        if (done)
            done();
    });
}

#ifdef BENCH_TYPING_WAYLAND
Result typeWithWtype(Target &target, const QString &text) {
    return measure(target, text, [&] {
        QProcess::execute(QStringLiteral("wtype"), {QStringLiteral("--"), text});
    });
}
#endif

Result typeWithXdotool(Target &target, const QString &text, bool zeroDelay) {
    return measure(target, text, [&] {
        QStringList args{QStringLiteral("type")};
        if (zeroDelay)
            args << QStringLiteral("--delay") << QStringLiteral("0");
        args << QStringLiteral("--") << text;
        QProcess::execute(QStringLiteral("xdotool"), args);
    });
}

QString asciiText() {
    const QString base = QStringLiteral(
        "The quick brown fox jumps over the lazy dog; PACK MY BOX WITH FIVE DOZEN LIQUOR JUGS! "
        "0123456789 ~`@#$%^&*()_+-={}[]|\\:\"'<>,.?/ ");
    QString out;
    while (out.size() < 1000)
        out += base;
    return out.left(1000);
}

QString japaneseProse() {
    const QString base = QStringLiteral("吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当が"
                                        "つかぬ。何でも薄暗いじめじめした所で"
                                        "ニャーニャー泣いていた事だけは記憶している。吾輩はここで始"
                                        "めて人間というものを見た。しかもあとで"
                                        "聞くとそれは書生という人間中で一番獰悪な種族であったそうだ"
                                        "。この書生というのは時々我々を捕えて"
                                        "煮て食うという話である。しかしその当時は何という考もなかっ"
                                        "たから別段恐しいとも思わなかった。");
    QString out;
    while (out.size() < 1000)
        out += base;
    return out.left(1000);
}

QString japaneseDistinct() {
    QString out;
    for (int i = 0; i < 1000; ++i)
        out += QChar(0x4E00 + i * 7); // 1,000 different kanji: no binding is reused
    return out;
}

// Few enough different characters to stay bound once bound: what the
// window itself takes per character, with no binding after the first.
QString japaneseFew() {
    QString out;
    for (int i = 0; i < 1000; ++i)
        out += QChar(0x4E00 + (i % 30) * 7);
    return out;
}

// The same kanji in lines of 40, as a form or a letter would have them. A
// window may lay out a whole paragraph again on every character (GTK's text
// view does), so one line of 1,000 costs it far more per character.
QString japaneseDistinctInLines() {
    const QString kanji = japaneseDistinct();
    QString out;
    for (int i = 0; i < kanji.size(); i += 40)
        out += (i ? QStringLiteral("\n") : QString()) + kanji.mid(i, 40);
    return out;
}

int distinct(const QString &text) {
    QSet<QChar> set;
    for (QChar c : text)
        set.insert(c);
    return static_cast<int>(set.size());
}

} // namespace

#ifdef BENCH_TYPING_WAYLAND
// --wayland: the Wayland backend into Qt and GTK windows on the compositor
// of WAYLAND_DISPLAY, against wtype (the same virtual keyboard protocol).
int waylandMain(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen"); // our own window stays off the compositor
    QApplication app(argc, argv);
    std::string error;
    std::unique_ptr<platform::Backend> backend = platform::createBackend("wayland", error);
    platform::InputLayer *layer = backend ? backend->synthesis() : nullptr;
    if (!layer) {
        std::fprintf(stderr, "no input layer: %s\n", error.c_str());
        return 1;
    }
    auto *wayland = static_cast<platform::wayland::WaylandInput *>(layer);
    const bool haveWtype = !QStandardPaths::findExecutable(QStringLiteral("wtype")).isEmpty();
    // Arguments: a case name prefix, then windows (qt, qtkeys, gtk, gtkkeys).
    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QStringList wanted;
    for (int i = 3; i < argc; ++i)
        wanted << QString::fromLocal8Bit(argv[i]);
    if (wanted.isEmpty())
        wanted = {QStringLiteral("qt"), QStringLiteral("qtkeys"), QStringLiteral("gtk"),
                  QStringLiteral("gtkkeys")};

    QProcessEnvironment qtEnv = QProcessEnvironment::systemEnvironment();
    qtEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    qtEnv.insert(QStringLiteral("QT_WAYLAND_DISABLE_WINDOWDECORATION"), QStringLiteral("1"));
    qtEnv.remove(QStringLiteral("QT_IM_MODULE"));
    const QString self = QCoreApplication::applicationFilePath();
    const QString python = QString::fromLatin1(testsupport::kWaylandGtkPython);
    struct Window {
        const char *key;
        const char *name;
        QString program;
        QStringList args;
        QProcessEnvironment env;
    };
    const Window windows[] = {
        {"qt", "Qt QLineEdit", self, {QString::fromLatin1(kWaylandTargetArg)}, qtEnv},
        {"qtkeys",
         "Qt window keeping its keys' text",
         self,
         {QString::fromLatin1(kWaylandTargetArg), QStringLiteral("keys")},
         qtEnv},
        {"gtk", "GTK 3 GtkEntry (python3-gi)", python,
         testsupport::waylandGtkArguments(QStringLiteral("entry")),
         testsupport::waylandGtkEnvironment()},
        {"gtkkeys", "GTK 3 window keeping its keys' text", python,
         testsupport::waylandGtkArguments(QStringLiteral("keys")),
         testsupport::waylandGtkEnvironment()},
    };
    struct Case {
        const char *name;
        QString text;
    };
    const Case cases[] = {{"ASCII", asciiText()},
                          {"Japanese (prose)", japaneseProse()},
                          {"Japanese (all different)", japaneseDistinct()}};
    constexpr int kRepeats = 5;
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    int failures = 0;
    for (const Window &w : windows) {
        if (!wanted.contains(QLatin1String(w.key)))
            continue;
        std::printf("== into a %s on Wayland\n", w.name);
        WaylandChildTarget target;
        if (!target.start(w.program, w.args, w.env) || !target.prepare()) {
            std::printf("  (the window did not start: left out)\n");
            continue;
        }
        for (const Case &c : cases) {
            if (!only.isEmpty() && !QString::fromLatin1(c.name).startsWith(only))
                continue;
            const int total = static_cast<int>(c.text.size());
            std::printf("%s: %d characters, %d different\n", c.name, total, distinct(c.text));
            std::fflush(stdout);
            // Speeds until the last character arrived in the window, and until
            // the compositor had taken the last key.
            std::vector<double> ours, theirs, oursTaken, theirsTaken;
            bool oursExact = true, theirsExact = true;
            int oursWorst = total, theirsWorst = total;
            const std::uint64_t uploadsBefore = wayland->keymapUploads();
            for (int i = 0; i < kRepeats; ++i) {
                const Result r =
                    typeWithLayer(*layer, target, c.text, [wayland] { wayland->sync(); });
                ours.push_back(r.perSecond());
                oursTaken.push_back(r.sentSeconds > 0 ? total / r.sentSeconds : 0);
                oursExact = oursExact && r.exact;
                oursWorst = std::min(oursWorst, r.correct);
                if (haveWtype) {
                    const Result t = typeWithWtype(target, c.text);
                    theirs.push_back(t.perSecond());
                    theirsTaken.push_back(t.sentSeconds > 0 ? total / t.sentSeconds : 0);
                    theirsExact = theirsExact && t.exact;
                    theirsWorst = std::min(theirsWorst, t.correct);
                }
            }
            const double mine = median(ours), mineTaken = median(oursTaken);
            std::printf("  %-16s %5d/%d correct %-8s %9.1f chars/s arrived, %9.1f taken "
                        "(%.1f keymaps a run)\n",
                        "tarnwick layer", oursWorst, total, oursExact ? "(exact)" : "(LOSSY)", mine,
                        mineTaken,
                        static_cast<double>(wayland->keymapUploads() - uploadsBefore) / kRepeats);
            if (haveWtype) {
                const double wt = median(theirs), wtTaken = median(theirsTaken);
                std::printf("  %-16s %5d/%d correct %-8s %9.1f chars/s arrived, %9.1f taken   "
                            "ours: x%.2f arrived, x%.2f taken\n",
                            "wtype", theirsWorst, total, theirsExact ? "(exact)" : "(LOSSY)", wt,
                            wtTaken, wt > 0 ? mine / wt : 0.0,
                            wtTaken > 0 ? mineTaken / wtTaken : 0.0);
            } else {
                std::printf("  (wtype not found: no comparison)\n");
            }
            std::fflush(stdout);
            failures += !oursExact;
        }
    }
    layer->releaseAll();
    return failures ? 2 : 0;
}
#endif // BENCH_TYPING_WAYLAND

int main(int argc, char **argv) {
#ifdef BENCH_TYPING_WAYLAND
    if (argc > 1 && std::strcmp(argv[1], kWaylandTargetArg) == 0)
        return waylandTargetMain(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--wayland") == 0)
        return waylandMain(argc, argv);
#endif
    QApplication app(argc, argv);
    std::string error;
    std::unique_ptr<platform::Backend> backend = platform::createBackend("xcb", error);
    platform::InputLayer *layer = backend->synthesis();
    if (!layer) {
        std::fprintf(stderr, "no input layer: %s\n", error.c_str());
        return 1;
    }
    auto have = [](const char *tool) {
        return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
    };
    const bool haveXdotool = have("xdotool");
    // BENCH_TYPING_OURS_ONLY=1: no xdotool runs, for before/after figures of
    // the layer alone (xdotool's default delay makes a run take minutes).
    const bool compare = haveXdotool && qEnvironmentVariableIntValue("BENCH_TYPING_OURS_ONLY") == 0;

    // Arguments: a case name prefix, then target names (qt, tk, gtk).
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    QStringList wanted;
    for (int i = 2; i < argc; ++i)
        wanted << QString::fromLocal8Bit(argv[i]);
    if (wanted.isEmpty())
        wanted = {QStringLiteral("qt"), QStringLiteral("tk"), QStringLiteral("gtk")};

    struct Named {
        QString name;
        std::unique_ptr<Target> target;
    };
    std::vector<Named> targets;
    GtkTarget *gtkTarget = nullptr; // calibrated when its turn comes, after the others
    if (wanted.contains(QLatin1String("qt")))
        targets.push_back({QStringLiteral("Qt QLineEdit"), std::make_unique<QtTarget>()});
    if (wanted.contains(QLatin1String("tk"))) {
        auto tk = std::make_unique<TkTarget>();
        if (have("wish") && tk->start())
            targets.push_back({QStringLiteral("Tk text (wish)"), std::move(tk)});
        else
            std::printf("(wish not found: no Tk window; apt-get install tk)\n");
    }
    if (wanted.contains(QLatin1String("gtk"))) {
        if (have("zenity") && haveXdotool) {
            auto gtk = std::make_unique<GtkTarget>(*layer);
            gtkTarget = gtk.get();
            targets.push_back({QStringLiteral("GTK 3 text view (zenity)"), std::move(gtk)});
        } else {
            std::printf("(zenity or xdotool not found: no GTK window; apt-get install zenity "
                        "xdotool)\n");
        }
    }

    struct Case {
        const char *name;
        QString text;
    };
    const Case cases[] = {{"ASCII", asciiText()},
                          {"Japanese (prose)", japaneseProse()},
                          {"Japanese (all different)", japaneseDistinct()},
                          {"Japanese (all different, lines of 40)", japaneseDistinctInLines()},
                          {"Japanese (30 different)", japaneseFew()}};
    // The machine's load moves single runs a lot: each typist runs five
    // times; the median speed and the worst correctness are shown.
    constexpr int kRepeats = 5;
    auto summary = [](std::vector<Result> runs) {
        std::sort(runs.begin(), runs.end(),
                  [](const Result &a, const Result &b) { return a.perSecond() < b.perSecond(); });
        Result r = runs[runs.size() / 2];
        for (const Result &x : runs) {
            r.correct = std::min(r.correct, x.correct);
            r.exact = r.exact && x.exact;
        }
        return r;
    };
    auto line = [](const char *what, const Result &r, int total, const Result *ours) {
        std::printf("  %-24s %5d/%d correct %-8s %9.1f chars/s", what, r.correct, total,
                    r.exact ? "(exact)" : "(LOSSY)", r.perSecond());
        if (ours)
            std::printf("   ours: x%.2f",
                        r.perSecond() > 0 ? ours->perSecond() / r.perSecond() : 0.0);
        std::printf("\n");
    };
    int failures = 0;
    for (Named &t : targets) {
        std::printf("== into %s\n", qPrintable(t.name));
        if (t.target.get() == gtkTarget) {
            gtkTarget->calibrate();
            std::printf("(closing an empty zenity dialog takes %.1f ms, taken off)\n",
                        static_cast<double>(gtkTarget->closeCost()) / 1e6);
        }
        for (const Case &c : cases) {
            if (!only.isEmpty() && !QString::fromLatin1(c.name).startsWith(only))
                continue;
            const int total = static_cast<int>(c.text.size());
            std::printf("%s: %d characters, %d different\n", c.name, total, distinct(c.text));
            std::fflush(stdout);
            std::vector<Result> ours, fast, normal;
            for (int i = 0; i < kRepeats; ++i) {
                ours.push_back(typeWithLayer(*layer, *t.target, c.text));
                // Let our temporary bindings go back (half a second after
                // the last use) before another typist.
                spin(800);
                if (compare) {
                    fast.push_back(typeWithXdotool(*t.target, c.text, true));
                    normal.push_back(typeWithXdotool(*t.target, c.text, false));
                }
            }
            const Result mine = summary(ours);
            line("tarnwick layer", mine, total, nullptr);
            if (compare) {
                line("xdotool --delay 0", summary(fast), total, &mine);
                line("xdotool (default delay)", summary(normal), total, &mine);
            } else {
                std::printf("  (no comparison: xdotool not found, or BENCH_TYPING_OURS_ONLY)\n");
            }
            std::fflush(stdout);
            failures += !mine.exact;
        }
    }
    layer->releaseAll();
    return failures ? 2 : 0;
}
