// What an Image condition costs while it waits, and how soon it sees its
// picture, three ways in the same run: with the screen reader telling what
// changed (DAMAGE on X11), with the reader's news hidden (each look compares
// its capture with the last one), and the reference, the pacing of a wait
// that searches the whole screen at every look (five times the look, at
// least 50 ms). CPU in percent of one core over 9 s with a still screen
// and with a small clock that changes every second, looks a second; then the
// time from a picture drawn to the page seeing it (to the click of the
// page's command, or the reference finding it). The process's CPU with
// nothing waiting is printed first: the clock's repaints and the window.
// Run it on a 1920x1080 display (README.md).

#include "countingscreen.h"
#include "desktoppicture.h"
#include "run/screensteps.h"
#include "runbench.h"
#include "vision/imagematch.h"

#include <QApplication>
#include <QBuffer>
#include <QEventLoop>
#include <QPainter>
#include <QScreen>
#include <QTime>
#include <QTimer>
#include <QWidget>

#include <random>
#include <thread>

using namespace runbench;

namespace {

enum class Way { Told, Compared, Reference };
const char *nameOf(Way way) {
    switch (way) {
    case Way::Told:
        return "told what changed";
    case Way::Compared:
        return "compared tile by tile";
    case Way::Reference:
        return "reference: whole look each time";
    }
    return "";
}

// The reference wait: the whole screen captured and searched at every look,
// paced as before by what a look costs. Ends when found or told to.
void referenceWait(platform::ScreenReader &screen, const QImage &needle, std::atomic<bool> &stop,
                   Clock::time_point &foundAt) {
    platform::ScreenImage buffer;
    const vision::ImageView view{needle.constBits(), needle.width(), needle.height(),
                                 int(needle.bytesPerLine())};
    while (!stop) {
        const Clock::time_point start = Clock::now();
        platform::Rect bounds;
        if (screen.bounds(bounds) && screen.region(bounds, buffer) &&
            vision::findTemplate(vision::viewOf(buffer), view).found) {
            foundAt = Clock::now();
            return;
        }
        const Clock::time_point until =
            Clock::now() + screensteps::pauseAfter(Clock::now() - start);
        while (!stop && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// A waiting Image condition, run one of the three ways until stop() or
// until it sees its picture.
class Waiter {
public:
    Waiter(Way way, CountingScreen &screen, TimingProxy &proxy, const QImage &needle)
        : way_(way), screen_(screen), proxy_(proxy), clicks_(proxy.count('m')) {
        screen.tell = way == Way::Told;
        if (way == Way::Reference) {
            thread_ = std::thread(
                [this, &screen, needle] { referenceWait(screen, needle, stop_, seenAt_); });
            return;
        }
        const QStringList image{"画像", "",  "含む", "",   "画面", "0",
                                "0",    "0", "0",    "90", "1",    base64Of(needle)};
        watchFinished(run_, done_, finishedAt_);
        proxy.clear();
        // The page waits for the picture; the next one clicks.
        ok_ = run_.prepare(RunSettings{0, 1, QStringLiteral("83,3")},
                           {{"なし"}, {"クリック", "左", "0"}}, {image, {"即時"}},
                           QStringLiteral("bench"));
        if (ok_)
            run_.start();
    }
    ~Waiter() { stop(); }
    bool ok() const { return ok_; }
    bool seen() const {
        return way_ == Way::Reference ? seenAt_ != Clock::time_point{}
                                      : proxy_.count('m') > clicks_;
    }
    // When the reference found it, or the page's click came.
    Clock::time_point seenAt() const {
        if (way_ == Way::Reference)
            return seenAt_;
        for (const TimingProxy::Call &call : proxy_.calls())
            if (call.kind == 'm')
                return call.time;
        return {};
    }
    void stop() {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        if (way_ != Way::Reference && ok_ && !done_) {
            run_.requestStop();
            waitFor([this] { return done_.load(); }, 5000);
        }
    }

private:
    Way way_;
    CountingScreen &screen_;
    TimingProxy &proxy_;
    long long clicks_;
    Clock::time_point finishedAt_{};
    Run run_;
    std::atomic<bool> done_{false};
    std::atomic<bool> stop_{false};
    Clock::time_point seenAt_{};
    std::thread thread_;
    bool ok_ = true;
};

// A small clock, as a desktop's panel shows: changes every second.
class ClockWindow : public QWidget {
public:
    ClockWindow() {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        timer_.callOnTimeout(this, [this] { update(); });
        timer_.start(1000);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(30, 30, 30));
        p.setPen(Qt::white);
        p.drawText(rect(), Qt::AlignCenter, QTime::currentTime().toString("hh:mm:ss"));
    }

private:
    QTimer timer_;
};

// Grey until reveal(): then the picture at a given place in it.
class Canvas : public QWidget {
public:
    explicit Canvas(QImage picture) : picture_(std::move(picture)) {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void reveal(QPoint at) {
        at_ = at;
        repaint();
    }
    void hideIt() {
        at_ = QPoint(-1000, -1000);
        repaint();
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        p.fillRect(rect(), QColor(128, 128, 128));
        p.drawImage(at_, picture_);
    }

private:
    QImage picture_;
    QPoint at_{-1000, -1000};
};

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    CountedInput counted;
    if (!counted.install())
        return 1;
    Input &input = counted.input;
    CountingScreen &screen = *counted.screen;
    platform::ScreenReader *real = input.backend->screenReader();
    {
        std::uint64_t token = 0;
        std::vector<platform::Rect> changed;
        real->changesSince(token, changed);
        std::printf("the reader %s what changed\n",
                    real->changesSince(token, changed) ? "tells" : "cannot tell");
    }

    const QSize size = QGuiApplication::primaryScreen()->size();
    benchscreen::Picture desktop(benchscreen::busyDesktop(size, false));
    desktop.show();
    waitFor([] { return false; }, 1000);
    const QImage needle = stripes();
    const int trials = argc > 1 ? std::atoi(argv[1]) : 2;
    const int sightings = argc > 2 ? std::atoi(argv[2]) : 20;
    std::printf("%dx%d screen, %d trials of 9 s, %d sightings\n", size.width(), size.height(),
                trials, sightings);

    ClockWindow clock;
    clock.setGeometry(size.width() - 140, 8, 120, 28);
    // Nine seconds of this process's CPU, in percent of one core, with the
    // event loop idle in between (the clock paints).
    const auto cpuOverNineSeconds = [] {
        const double cpu0 = benchscreen::processCpuSeconds();
        const Clock::time_point wall0 = Clock::now();
        QEventLoop loop;
        QTimer::singleShot(9000, &loop, &QEventLoop::quit);
        loop.exec();
        const double wall = ms(Clock::now() - wall0) / 1000.0;
        return std::make_pair(100.0 * (benchscreen::processCpuSeconds() - cpu0) / wall, wall);
    };
    for (const bool ticking : {false, true}) {
        if (ticking)
            clock.show();
        std::vector<double> idle;
        for (int t = 0; t < trials; ++t)
            idle.push_back(cpuOverNineSeconds().first);
        printStats(ticking ? "clock, nothing waiting: CPU" : "still, nothing waiting: CPU", idle,
                   "%");
        for (const Way way : {Way::Told, Way::Compared, Way::Reference}) {
            std::vector<double> percents, looks;
            for (int t = 0; t < trials; ++t) {
                Waiter waiter(way, screen, *input.proxy, needle);
                if (!waiter.ok())
                    return 1;
                waitFor([] { return false; }, 500);
                const long long looks0 = screen.looks.load();
                const auto [percent, wall] = cpuOverNineSeconds();
                percents.push_back(percent);
                looks.push_back(double(screen.looks.load() - looks0) / wall);
            }
            const std::string what = std::string(ticking ? "clock, " : "still, ") + nameOf(way);
            printStats((what + ": CPU").c_str(), percents, "%");
            printStats((what + ": reads/s").c_str(), looks, "/s");
        }
    }

    // From the picture drawn (its window's repaint returned) to the page
    // seeing it, the clock still ticking.
    Canvas canvas(needle);
    canvas.setGeometry(size.width() / 4, size.height() / 4, size.width() / 2, size.height() / 2);
    canvas.show();
    waitFor([] { return false; }, 500);
    std::mt19937 random(7);
    for (const Way way : {Way::Told, Way::Compared, Way::Reference}) {
        std::vector<double> latencies;
        for (int s = 0; s < sightings; ++s) {
            canvas.hideIt();
            waitFor([] { return false; }, 200);
            Waiter waiter(way, screen, *input.proxy, needle);
            if (!waiter.ok())
                return 1;
            waitFor([] { return false; }, 300 + int(random() % 500));
            canvas.reveal(QPoint(int(random() % unsigned(canvas.width() - 64)),
                                 int(random() % unsigned(canvas.height() - 64))));
            const Clock::time_point drawn = Clock::now();
            if (!waitFor([&waiter] { return waiter.seen(); }, 5000)) {
                std::fprintf(stderr, "%s: the picture was not seen\n", nameOf(way));
                return 2;
            }
            latencies.push_back(ms(waiter.seenAt() - drawn));
        }
        printStats((std::string("seen after drawn, ") + nameOf(way)).c_str(), latencies, "ms");
    }
    platform::setBackend(input.backend.get());
    platform::setInput(input.proxy.get());
    return 0;
}
