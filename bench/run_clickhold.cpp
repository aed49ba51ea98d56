// Click hold accuracy: a run of Click pages held 100 ms each, with the X11
// layer; the hold is the time between the press and the release calls.
// Goal: |error| p99 <= 2 ms.

#include "runbench.h"

#include <QApplication>

#include <cmath>

using namespace runbench;

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Input input;
    if (!input.install())
        return 1;
    const int holds = argc > 1 ? std::atoi(argv[1]) : 100;
    // Off the way of any window: a corner of the screen.
    input.real->setCursorPos(1, 1);

    Run run;
    std::atomic<bool> done{false};
    Clock::time_point finishedAt;
    watchFinished(run, done, finishedAt);
    run.prepare(RunSettings{0, holds, QStringLiteral("なし")}, {{"クリック", "左", "0.1"}},
                {{"終わるまで待つ", "0.02"}}, QStringLiteral("bench"));
    run.start();
    if (!waitFor([&done] { return done.load(); }, holds * 1000 + 5000))
        return 1;

    std::vector<double> errors, absolute;
    Clock::time_point pressed;
    for (const TimingProxy::Call &call : input.proxy->calls()) {
        if (call.kind == 'm')
            pressed = call.time;
        else if (call.kind == 'M') {
            const double error = ms(call.time - pressed) - 100.0;
            errors.push_back(error);
            absolute.push_back(std::fabs(error));
        }
    }
    printStats("click hold error (held - 100 ms)", errors, "ms");
    printStats("click hold |error|", absolute, "ms");
    std::printf("|error| p99 against the 2 ms goal: %.2f\n", percentile(absolute, 99) / 2.0);
    return 0;
}
