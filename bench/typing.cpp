// Typing throughput and loss of the X11 input layer against xdotool.
//
// Types 1,000 ASCII and 1,000 Japanese characters into a real Qt text field
// on the current X display (run it on Xvfb, see README.md): with the layer as
// fast as it allows, and with `xdotool type` at --delay 0 and at its default
// delay. Prints, for each run, the characters that arrived correctly, the
// characters per second (until the last one arrived) and our ratio against
// xdotool.

#include "platform/inputlayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Result {
    int correct = 0;
    bool exact = false;
    double seconds = 0; // until the last character arrived
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

// Starts `send` and waits until the field holds the whole text, or nothing
// has changed for two seconds after the sender finished.
template <typename Send> Result measure(QLineEdit &field, const QString &text, Send send) {
    field.clear();
    spin(200);
    QTimer tick; // wakes the loop below while nothing arrives
    tick.start(1);
    std::atomic<bool> sent{false};
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&] {
        send();
        sent = true;
    });
    qint64 lastChange = 0;
    int lastLength = 0;
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const int length = static_cast<int>(field.text().size());
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
    const QString got = field.text();
    r.exact = got == text;
    r.correct = r.exact ? static_cast<int>(text.size()) : commonSubsequence(got, text);
    r.seconds = static_cast<double>(lastChange) / 1e9;
    return r;
}

Result typeWithLayer(platform::InputLayer &layer, QLineEdit &field, const QString &text) {
    return measure(field, text, [&] {
        layer.textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                        static_cast<std::size_t>(text.size()));
        for (QChar c : text) {
            layer.unicodeDown(c.unicode());
            layer.unicodeUp(c.unicode());
        }
    });
}

Result typeWithXdotool(QLineEdit &field, const QString &text, bool zeroDelay) {
    return measure(field, text, [&] {
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

int distinct(const QString &text) {
    QSet<QChar> set;
    for (QChar c : text)
        set.insert(c);
    return static_cast<int>(set.size());
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    std::string error;
    std::unique_ptr<platform::InputLayer> layer = platform::createSystemInput(error);
    if (!layer) {
        std::fprintf(stderr, "no input layer: %s\n", error.c_str());
        return 1;
    }
    const bool haveXdotool = !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty();

    QLineEdit field;
    field.setGeometry(50, 50, 900, 40);
    field.show();
    field.activateWindow();
    for (int i = 0; i < 200 && !field.isActiveWindow(); ++i)
        spin(10);
    if (!field.isActiveWindow()) {
        std::fprintf(stderr, "the text field did not get the focus\n");
        return 1;
    }

    struct Case {
        const char *name;
        QString text;
    };
    const Case cases[] = {{"ASCII", asciiText()},
                          {"Japanese (prose)", japaneseProse()},
                          {"Japanese (all different)", japaneseDistinct()}};
    // The machine's load moves single runs a lot: each typist runs three
    // times; the median speed and the worst correctness are shown.
    constexpr int kRepeats = 3;
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
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (const Case &c : cases) {
        if (!only.isEmpty() && !QString::fromLatin1(c.name).startsWith(only))
            continue;
        const int total = static_cast<int>(c.text.size());
        std::printf("%s: %d characters, %d different\n", c.name, total, distinct(c.text));
        std::fflush(stdout);
        std::vector<Result> ours, fast, normal;
        for (int i = 0; i < kRepeats; ++i) {
            ours.push_back(typeWithLayer(*layer, field, c.text));
            // Let our temporary bindings go back (half a second after the
            // last use) before another typist.
            spin(800);
            if (haveXdotool) {
                fast.push_back(typeWithXdotool(field, c.text, true));
                normal.push_back(typeWithXdotool(field, c.text, false));
            }
        }
        const Result mine = summary(ours);
        line("tarnwick layer", mine, total, nullptr);
        if (haveXdotool) {
            line("xdotool --delay 0", summary(fast), total, &mine);
            line("xdotool (default delay)", summary(normal), total, &mine);
        } else {
            std::printf("  (xdotool not found: no comparison)\n");
        }
        failures += !mine.exact;
    }
    layer->releaseAll();
    return failures ? 2 : 0;
}
