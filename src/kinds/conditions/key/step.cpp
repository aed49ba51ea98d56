#include "run/runsteps.h"

#include "core/runkeys.h"
#include "run/keywatch.h"

#include <chrono>
#include <thread>

namespace kinds::condition::key {
using namespace runsteps;

namespace {
using std::chrono::milliseconds;

class KeyCondition : public Condition {
public:
    explicit KeyCondition(const QStringList &record) : keys_(parseRunKeys(record.at(1))) {}

    void wait(RunContext &run) const override {
        const int vk = keys_.vk;
        if (vk == 0)
            return;
        const int wanted = wantedModifiers(vk, keys_.mask);
        if (KeyWatch *watch = run.keyWatch()) {
            // A press the user made while the run was paused does not count:
            // after the resume the page waits for one of its own.
            while (watch->waitForPressAndRelease(vk, wanted, run.isDown(vk), [&run] {
                return run.givingUp();
            }) && run.paused()) {
                if (!run.holdWhilePaused())
                    return;
            }
            return;
        }
        // No key events from this backend: ask for the keys instead.
        const auto up = [&run, vk] { return !run.isDown(vk); };

        // A key already held must be released and pressed again.
        if (run.isDown(vk)) {
            if (!run.waitUntil(up, milliseconds(20)))
                return;
            std::this_thread::sleep_for(milliseconds(20));
        }
        const auto pressed = [&run, vk, wanted] {
            return run.heldModifiers() == wanted && run.isDown(vk);
        };
        if (!run.waitUntil(pressed, milliseconds(30)))
            return;
        // Met when the key comes up after the matching press.
        run.waitUntil(up, milliseconds(10));
    }

    bool hearsKeys() const override { return keys_.vk != 0; }

private:
    RunKeys keys_;
};

} // namespace

const ConditionStep step{madeOf<KeyCondition, Condition>};

} // namespace kinds::condition::key
