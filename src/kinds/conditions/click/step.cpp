#include "run/runsteps.h"

#include "platform/inputlayer.h"
#include "run/keywatch.h"

#include <chrono>

namespace kinds::condition::click {
using namespace runsteps;

namespace {
using std::chrono::milliseconds;

// Met by a press of the button, or at once while it is held. Pressed and
// released between two looks, a tap would never be seen: the press is heard
// as an event where the backend pushes them, and polled for only where not.
class ClickCondition : public Condition {
public:
    explicit ClickCondition(const QStringList &record)
        : vk_(record.at(1) == pagekinds::rightSide ? platform::kVkRButton : platform::kVkLButton) {}
    void wait(RunContext &run) const override {
        const int vk = vk_;
        const auto held = [&run, vk] { return run.isDown(vk); };
        if (KeyWatch *watch = run.keyWatch(); watch && watch->hearsButtons()) {
            watch->waitForButton(vk, held, [&run] { return run.givingUp(); });
            return;
        }
        run.waitUntil(held, milliseconds(50));
    }
    bool hearsButtons() const override { return true; }

private:
    int vk_;
};

} // namespace

const ConditionStep step{madeOf<ClickCondition, Condition>};

} // namespace kinds::condition::click
