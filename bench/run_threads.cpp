// Live threads after 10,000 passes of an endless project of timed actions
// with Immediately conditions (X11 layer). Goal: <= 8. Also the growth of
// the address space, where workers left unjoined would show.

#include "core/runcount.h"
#include "runbench.h"

#include <QApplication>

using namespace runbench;

namespace {
long long virtualMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong();
    return -1;
}
} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Input input;
    if (!input.install())
        return 1;
    input.proxy->setRecording(false);
    const long long passes = argc > 1 ? std::atoll(argv[1]) : 10000;
    input.real->setCursorPos(1, 1);

    const int threadsBefore = liveThreads();
    const long long memoryBefore = virtualMemoryKb();
    Run run;
    std::atomic<bool> done{false};
    Clock::time_point finishedAt;
    watchFinished(run, done, finishedAt);
    // Shift alone types nothing; the clicks land on the bare screen.
    run.prepare(RunSettings{0, kRepeatUntilStopped, QStringLiteral("なし")},
                {{"クリック", "左", "0"}, {"キー", "16,0", "0"}, {"スムーズムーブ", "1", "1", "0"}},
                {{"即時"}, {"即時"}, {"即時"}}, QStringLiteral("bench"));
    const Clock::time_point begun = Clock::now();
    run.start();
    std::vector<double> samples;
    while (input.proxy->count('M') < passes) {
        samples.push_back(liveThreads() - threadsBefore);
        QThread::msleep(5);
    }
    const int threadsAtEnd = liveThreads() - threadsBefore;
    const long long growthMb = (virtualMemoryKb() - memoryBefore) / 1024;
    const double seconds = ms(Clock::now() - begun) / 1000.0;
    run.requestStop();
    waitFor([&done] { return done.load(); }, 5000);

    std::printf("%lld passes in %.2f s (%.0f passes/s, 3 workers each)\n", passes, seconds,
                passes / seconds);
    std::printf("threads besides the program's own after %lld passes: %d "
                "(run thread and watcher included)\n",
                passes, threadsAtEnd);
    printStats("threads during the run (sampled every 5 ms)", samples, "");
    std::printf("address space growth: %lld MB\n", growthMb);
    std::printf("completed: %lld clicks, %lld key presses\n", input.proxy->count('M'),
                input.proxy->count('K'));
    return 0;
}
