// CPU time used during a 10 s Time condition (with the stop watcher polling
// the X11 layer, as in a real run), in percent of one core. Goal: <= 1 %.

#include "runbench.h"

#include <QApplication>

#include <ctime>
#include <thread>

using namespace runbench;

namespace {
double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}
} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Input input;
    if (!input.install())
        return 1;
    const int trials = argc > 1 ? std::atoi(argv[1]) : 3;
    std::vector<double> percents;
    for (int t = 0; t < trials; ++t) {
        Run run;
        std::atomic<bool> done{false};
        Clock::time_point finishedAt;
        watchFinished(run, done, finishedAt);
        run.prepare(RunSettings{0, 1, QStringLiteral("83,3")}, {{"なし"}}, {{"時間", "10"}},
                    QStringLiteral("bench"));
        run.start();
        // Measure the 10 s window inside the condition; this thread sleeps.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const double cpu0 = processCpuSeconds();
        const Clock::time_point wall0 = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(9));
        const double cpu = processCpuSeconds() - cpu0;
        const double wall = ms(Clock::now() - wall0) / 1000.0;
        percents.push_back(100.0 * cpu / wall);
        run.requestStop();
        waitFor([&done] { return done.load(); }, 3000);
    }
    printStats("CPU during a Time condition (% of one core)", percents, "%");
    return 0;
}
