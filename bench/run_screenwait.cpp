// CPU time used while a screen condition waits for something that never
// shows: an Image condition searching the whole screen (a busy picture
// covering it, so every look is a full capture and match) and a Colour
// condition on one pixel, in percent of one core over 9 s, with the looks
// counted. Goal: at most 20 % for the whole screen. Run it on a 1920x1080
// display (README.md).

#include "countingscreen.h"
#include "desktoppicture.h"
#include "runbench.h"

#include <QApplication>
#include <QBuffer>
#include <QPainter>
#include <QScreen>
#include <QWidget>

#include <ctime>
#include <random>
#include <thread>

using namespace runbench;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    CountedInput counted;
    if (!counted.install())
        return 1;
    Input &input = counted.input;
    CountingScreen &screen = *counted.screen;

    const QSize size = QGuiApplication::primaryScreen()->size();
    benchscreen::Picture picture(benchscreen::busyDesktop(size, false));
    picture.show();
    waitFor([] { return false; }, 1000); // mapped and painted

    const int trials = argc > 1 ? std::atoi(argv[1]) : 3;
    const QStringList image{"画像", "",  "含む", "",   "画面", "0",
                            "0",    "0", "0",    "90", "1",    base64Of(stripes())};
    const QStringList colour{"色", "", "含む", "", "画面", "5", "5", "#FF00FF", "0", "になる"};
    for (const QStringList &condition : {image, colour}) {
        std::vector<double> percents;
        std::vector<double> looksPerSecond;
        for (int t = 0; t < trials; ++t) {
            Run run;
            std::atomic<bool> done{false};
            Clock::time_point finishedAt;
            watchFinished(run, done, finishedAt);
            if (!run.prepare(RunSettings{0, 1, QStringLiteral("83,3")}, {{"なし"}}, {condition},
                             QStringLiteral("bench")))
                return 1;
            run.start();
            waitFor([] { return false; }, 300);
            const double cpu0 = benchscreen::processCpuSeconds();
            const long long looks0 = screen.looks.load();
            const Clock::time_point wall0 = Clock::now();
            std::this_thread::sleep_for(std::chrono::seconds(9));
            const double cpu = benchscreen::processCpuSeconds() - cpu0;
            const double wall = ms(Clock::now() - wall0) / 1000.0;
            percents.push_back(100.0 * cpu / wall);
            looksPerSecond.push_back(double(screen.looks.load() - looks0) / wall);
            run.requestStop();
            waitFor([&done] { return done.load(); }, 5000);
        }
        const bool whole = condition.first() == image.first();
        std::printf("%dx%d screen\n", size.width(), size.height());
        printStats(whole ? "Image condition, whole screen: CPU (% of a core)"
                         : "Colour condition, one pixel: CPU (% of a core)",
                   percents, "%");
        printStats(whole ? "Image condition, whole screen: looks a second"
                         : "Colour condition, one pixel: looks a second",
                   looksPerSecond, "/s");
    }
    platform::setBackend(input.backend.get());
    platform::setInput(input.proxy.get());
    return 0;
}
