#include "run/runsteps.h"

#include "core/recordvalues.h"

namespace kinds::condition::time {
using namespace runsteps;

namespace {
using recordvalues::secondsOf;

class TimeCondition : public Condition {
public:
    explicit TimeCondition(const QStringList &record) : seconds_(secondsOf(record.at(1))) {}
    void wait(RunContext &run) const override { run.waitSeconds(run.playSeconds(seconds_)); }

private:
    double seconds_;
};

} // namespace

const ConditionStep step{madeOf<TimeCondition, Condition>};

} // namespace kinds::condition::time
