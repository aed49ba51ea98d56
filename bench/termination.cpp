// How long after the program is told to end (a signal, or the X server
// closing one of its connections) the keys and the button a run held are
// released at the server. Each way runs kRounds times on a fresh child (the
// program's layer, guard and run: tests/support/holdingchild.h); the figure
// is the time from the signal or kill until the server shows nothing held,
// polled every 100 us from a connection of our own. Needs an X display.

#include "support/holdingchild.h"
#include "support/xserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>
#include <vector>

namespace {

constexpr int kRounds = 9;

struct Way {
    const char *name;
    int signalNumber; // 0: kill connections instead
    bool gui;         // which connections: the GUI's or the input layer's
};

// Microseconds until nothing is held, or -1 when the child did not get ready.
long long oneRound(const Way &way) {
    testsupport::XServer server;
    const int ctrl = server.keycodeFor("Control_L");
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(testsupport::kHoldingChildArg)});
    QByteArray out;
    QElapsedTimer wait;
    wait.start();
    while (!out.contains("ready") && wait.elapsed() < 15000 && child.waitForReadyRead(100))
        out += child.readAllStandardOutput();
    if (!out.contains("ready"))
        return -1;
    auto held = [&] {
        const std::vector<int> keys = server.pressedKeycodes();
        return std::find(keys.begin(), keys.end(), ctrl) != keys.end() || server.buttonDown(1);
    };
    QElapsedTimer since;
    if (way.signalNumber)
        ::kill(static_cast<pid_t>(child.processId()), way.signalNumber);
    else
        server.killClientsOf(static_cast<long>(child.processId()), way.gui);
    since.start();
    while (held() && since.elapsed() < 10000)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    const long long us = since.nsecsElapsed() / 1000;
    child.waitForFinished(15000);
    return us;
}

} // namespace

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], testsupport::kHoldingChildArg) == 0)
        return testsupport::holdingChildMain(argc, argv);
    QApplication app(argc, argv);
    const Way ways[] = {
        {"SIGHUP", SIGHUP, false},
        {"SIGTERM", SIGTERM, false},
        {"GUI connection killed", 0, true},
        {"input connections killed", 0, false},
    };
    std::printf("%-26s %10s %10s %10s  (us until nothing held, %d rounds)\n", "way", "min",
                "median", "max", kRounds);
    for (const Way &way : ways) {
        std::vector<long long> figures;
        for (int i = 0; i < kRounds; ++i)
            if (const long long us = oneRound(way); us >= 0)
                figures.push_back(us);
        if (figures.empty()) {
            std::printf("%-26s the child never got ready\n", way.name);
            continue;
        }
        std::sort(figures.begin(), figures.end());
        std::printf("%-26s %10lld %10lld %10lld\n", way.name, figures.front(),
                    figures[figures.size() / 2], figures.back());
    }
    return 0;
}
