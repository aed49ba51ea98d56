// The KDE backend on a headless KWin beside the X11 backend on Xvfb, in one
// run: 1,000 ASCII characters and 1,000 different kanji typed into a Qt line
// edit on each (on KWin the kanji are pasted, the ASCII typed by key), how
// many arrived exact and the characters per second until the last arrived;
// and a full-screen look (median and p99 of 30, in milliseconds) on each.
// Needs the X display (scripts/xvfb.sh) and a KWin that authorises this
// program (scripts/kwin.sh with its path): see README.md.

#include "platform/backend.h"

#if !defined(_WIN32) && __has_include("support/kwinsession.h")
#define BENCH_KDE 1
#include "platform/kde/kdebackend.h"
#include "platform/kde/kdeinput.h"
#include "support/kwinsession.h"
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#ifdef BENCH_KDE

namespace {

QString asciiText() {
    QString text;
    for (int i = 0; i < 1000; ++i)
        text += QChar(char16_t(0x21 + (i * 7) % 94));
    return text;
}

QString kanjiText() {
    QString text;
    for (int i = 0; i < 1000; ++i)
        text += QChar(char16_t(0x4E00 + i * 3));
    return text;
}

void type(platform::InputLayer &layer, const QString &text) {
    layer.textAhead(reinterpret_cast<const char16_t *>(text.utf16()), std::size_t(text.size()));
    for (QChar c : text) {
        layer.unicodeDown(c.unicode());
        layer.unicodeUp(c.unicode());
    }
}

struct Typed {
    bool exact = false;
    int correct = 0;
    double perSecond = 0;
};

int correctPrefix(const QString &got, const QString &want) {
    int n = 0;
    while (n < got.size() && n < want.size() && got.at(n) == want.at(n))
        ++n;
    return n;
}

Typed typeIntoX11(platform::InputLayer &layer, const QString &text) {
    QLineEdit edit;
    edit.setMaxLength(100000);
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QThread> typist(QThread::create([&] { type(layer, text); }));
    typist->start();
    while (edit.text() != text && t.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    typist->wait();
    Typed r;
    r.exact = edit.text() == text;
    r.correct = correctPrefix(edit.text(), text);
    r.perSecond = r.correct / (t.elapsed() / 1000.0);
    return r;
}

Typed typeIntoKde(platform::InputLayer &layer, const QString &text) {
    testsupport::KwinTarget edit;
    QString why;
    if (!edit.start(testsupport::kKwinEditArg, why)) {
        std::fprintf(stderr, "the KWin window did not start: %s\n", qPrintable(why));
        return {};
    }
    QElapsedTimer t;
    t.start();
    std::unique_ptr<QThread> typist(QThread::create([&] { type(layer, text); }));
    typist->start();
    const QString got = edit.waitForText(text, 120000);
    const double seconds = t.elapsed() / 1000.0;
    typist->wait();
    Typed r;
    r.exact = got == text;
    r.correct = correctPrefix(got, text);
    r.perSecond = r.correct / seconds;
    return r;
}

// Median and p99 of `n` looks at the whole screen, in milliseconds.
bool look(platform::ScreenReader &screen, double &median, double &p99) {
    platform::Rect bounds;
    if (!screen.bounds(bounds))
        return false;
    std::vector<double> ms;
    for (int i = 0; i < 30; ++i) {
        platform::ScreenImage image;
        QElapsedTimer t;
        t.start();
        if (!screen.region(bounds, image))
            return false;
        ms.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    median = ms[ms.size() / 2];
    p99 = ms[std::min(ms.size() - 1, std::size_t(ms.size() * 0.99))];
    return true;
}

} // namespace

int main(int argc, char **argv) {
    if (testsupport::kwinTargetMain(argc, argv) >= 0)
        return 0;
    QApplication app(argc, argv);
    std::string error;
    std::unique_ptr<platform::Backend> x11 = platform::createBackend("xcb", error);
    if (!x11->synthesis()) {
        std::fprintf(stderr, "no X11 backend: %s (run on Xvfb with QT_QPA_PLATFORM=xcb)\n",
                     error.c_str());
        return 1;
    }
    QString why;
    if (!testsupport::useKwinSession(why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    std::unique_ptr<platform::Backend> kde = platform::kde::createBackend(error);
    if (!kde) {
        std::fprintf(stderr, "no KDE backend: %s\n", error.c_str());
        return 1;
    }
    std::printf("%-8s %-6s %6s %8s %10s %8s\n", "text", "where", "exact", "correct", "chars/s",
                "ratio");
    for (const auto &[name, text] : {std::pair<const char *, QString>{"ASCII", asciiText()},
                                     std::pair<const char *, QString>{"kanji", kanjiText()}}) {
        const Typed onX11 = typeIntoX11(*x11->synthesis(), text);
        const Typed onKde = typeIntoKde(*kde->synthesis(), text);
        std::printf("%-8s %-6s %6s %8d %10.1f %8s\n", name, "X11", onX11.exact ? "yes" : "no",
                    onX11.correct, onX11.perSecond, "1.00");
        std::printf("%-8s %-6s %6s %8d %10.1f %8.2f\n", name, "KDE", onKde.exact ? "yes" : "no",
                    onKde.correct, onKde.perSecond,
                    onX11.perSecond > 0 ? onKde.perSecond / onX11.perSecond : 0.0);
    }
    double median = 0, p99 = 0, xMedian = 0, xP99 = 0;
    const bool xLooked = x11->screenReader() && look(*x11->screenReader(), xMedian, xP99);
    const bool kdeLooked = kde->screenReader() && look(*kde->screenReader(), median, p99);
    std::printf("\nfull-screen look (ms)  median     p99\n");
    if (xLooked)
        std::printf("X11                   %7.2f %7.2f\n", xMedian, xP99);
    if (kdeLooked)
        std::printf("KDE                   %7.2f %7.2f  (median %.1fx X11's)\n", median, p99,
                    xLooked && xMedian > 0 ? median / xMedian : 0.0);
    else
        std::printf("KDE                   no screenshots (KWin composites without OpenGL, or "
                    "does not authorise this program)\n");
    return 0;
}

#else

int main() {
    std::fprintf(stderr, "bench_kde needs Linux and the tests' support (TARNWICK_TESTS)\n");
    return 1;
}

#endif
