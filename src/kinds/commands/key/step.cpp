#include "run/runsteps.h"

#include "core/keycombination.h"
#include "core/runkeys.h"
#include "platform/virtualkeys.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>

namespace kinds::command::key {
using namespace runsteps;

namespace {
using std::chrono::milliseconds;

class KeyAction : public Action {
public:
    explicit KeyAction(const QStringList &record)
        : keys_(parseRunKeys(keyActionSpec(record.at(1), record.at(2)))) {}

    bool start(RunContext &run) const override {
        if (keys_.vk == 0)
            return true;
        RunKeys keys = keys_;
        // A long hold played slowly must not overflow the milliseconds.
        const double holdMs = run.playSeconds(keys.holdMs / 1000.0) * 1000.0;
        keys.holdMs = int(std::lround(std::min(holdMs, double(std::numeric_limits<int>::max()))));
        return run.startWorker([&run, keys] { press(run, keys); });
    }

private:
    static void press(RunContext &run, const RunKeys &keys) {
        if (run.stopping())
            return;
        const int mask = keys.mask;
        if (mask & storedmask::Ctrl)
            run.keyDown(vk::Control);
        if (mask & storedmask::Alt)
            run.keyDown(vk::Menu);
        if (mask & storedmask::Shift)
            run.keyDown(vk::Shift);
        if (mask & storedmask::Win)
            run.keyDown(vk::LWin);
        run.keyDown(keys.vk);

        // Held against a deadline in chunks of at most 10 ms; a stop ends the
        // hold early but never skips the releases.
        run.sleepUntil(run.now() + milliseconds(keys.holdMs), milliseconds(10));

        run.keyUp(keys.vk);
        if (mask & storedmask::Win)
            run.keyUp(vk::LWin);
        if (mask & storedmask::Shift)
            run.keyUp(vk::Shift);
        if (mask & storedmask::Alt)
            run.keyUp(vk::Menu);
        if (mask & storedmask::Ctrl)
            run.keyUp(vk::Control);
    }

    RunKeys keys_;
};

} // namespace

const ActionStep step{madeOf<KeyAction, Action>};

} // namespace kinds::command::key
