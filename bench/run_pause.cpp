// Pause latency and speed accuracy of a run through the X11 layer.
//
// Pause: a run holds a key (F) and the left button; the pause combination
// (Ctrl+Alt+P, "80,3") goes down through the layer, heard as the program
// hears it (XInput2 key events), until the layer has been told to let both
// go. Speed: a project of two key taps 2 s apart (a Time condition) played
// at 2x and at 0.5x; the gap against 1 s and 4 s.

#include "core/runcount.h"
#include "runbench.h"

#include <QApplication>

#include <random>

using namespace runbench;

namespace {

// The time of the last call of `kind` with `value` in `calls`, or none.
bool lastCall(const std::vector<TimingProxy::Call> &calls, char kind, int value,
              Clock::time_point &at) {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it) {
        if (it->kind == kind && it->value == value) {
            at = it->time;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Input input;
    if (!input.install())
        return 1;
    const int trials = argc > 1 ? std::atoi(argv[1]) : 40;

    std::mt19937 random(7);
    std::uniform_int_distribution<int> delay(150, 400);
    std::vector<double> latencies;
    for (int i = 0; i < trials; ++i) {
        Run run;
        std::atomic<bool> done{false};
        Clock::time_point finishedAt;
        watchFinished(run, done, finishedAt);
        RunSettings settings(0, 1, QStringLiteral("なし"));
        settings.pauseCommand = QStringLiteral("80,3");
        run.prepare(settings, {{"キー", "70,0", "30"}, {"クリック", "左", "30"}},
                    {{"即時"}, {"終わるまで待つ", "0"}}, QStringLiteral("bench"));
        input.proxy->clear();
        run.start();
        Clock::time_point heldSince;
        waitFor([&] { return lastCall(input.proxy->calls(), 'm', 0, heldSince); }, 3000);
        waitFor([] { return false; }, delay(random));
        const Clock::time_point pressedAt = Clock::now();
        input.real->keyDown(0xA2);
        input.real->keyDown(0xA4);
        input.real->keyDown(80);
        Clock::time_point keyUp, buttonUp;
        const bool paused = waitFor(
            [&] {
                const auto calls = input.proxy->calls();
                return lastCall(calls, 'K', 70, keyUp) && lastCall(calls, 'M', 0, buttonUp);
            },
            3000);
        input.real->keyUp(80);
        input.real->keyUp(0xA4);
        input.real->keyUp(0xA2);
        run.requestStop();
        waitFor([&] { return done.load(); }, 3000);
        if (!paused) {
            std::fprintf(stderr, "trial %d: the run did not let go\n", i);
            return 1;
        }
        latencies.push_back(ms(std::max(keyUp, buttonUp) - pressedAt));
        waitFor([] { return false; }, 60);
    }
    printStats("pause latency (combination down -> nothing held)", latencies, "ms");
    std::printf("p99 against the promised 50 ms: %.2f\n", percentile(latencies, 99) / 50.0);

    for (const double speed : {2.0, 0.5}) {
        std::vector<double> errors;
        const double expected = 2000.0 / speed;
        for (int i = 0; i < 5; ++i) {
            Run run;
            std::atomic<bool> done{false};
            Clock::time_point finishedAt;
            watchFinished(run, done, finishedAt);
            RunSettings settings(0, 1, QStringLiteral("なし"));
            settings.pace.speed = speed;
            run.prepare(settings, {{"キー", "71,0", "0"}, {"キー", "71,0", "0"}},
                        {{"時間", "2"}, {"即時"}}, QStringLiteral("bench"));
            input.proxy->clear();
            run.start();
            waitFor([&] { return done.load(); }, 10000);
            std::vector<Clock::time_point> taps;
            for (const TimingProxy::Call &call : input.proxy->calls()) {
                if (call.kind == 'k' && call.value == 71)
                    taps.push_back(call.time);
            }
            if (taps.size() != 2) {
                std::fprintf(stderr, "speed %.1f: %zu taps\n", speed, taps.size());
                return 1;
            }
            errors.push_back(ms(taps[1] - taps[0]) - expected);
        }
        char what[80];
        std::snprintf(what, sizeof what, "2 s project at %.1fx: gap - %.0f ms", speed, expected);
        printStats(what, errors, "ms");
        std::printf("  median gap / expected: %.4f\n",
                    (expected + percentile(errors, 50)) / expected);
    }
    return 0;
}
