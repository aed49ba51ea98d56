#include "run/runsteps.h"

#include "core/recordvalues.h"

namespace kinds::condition::waitUntilOver {
using namespace runsteps;

namespace {
using recordvalues::secondsOf;

// Every action started before it has ended, then the time.
class UntilOverCondition : public Condition {
public:
    explicit UntilOverCondition(const QStringList &record) : seconds_(secondsOf(record.at(1))) {}
    void wait(RunContext &run) const override {
        run.joinAllWorkers();
        run.waitSeconds(run.playSeconds(seconds_));
    }

private:
    double seconds_;
};

} // namespace

const ConditionStep step{madeOf<UntilOverCondition, Condition>};

} // namespace kinds::condition::waitUntilOver
