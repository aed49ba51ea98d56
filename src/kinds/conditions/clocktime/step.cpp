#include "run/runsteps.h"

#include <chrono>

namespace kinds::condition::clockTime {
using namespace runsteps;

namespace {
using std::chrono::milliseconds;

class ClockTimeCondition : public Condition {
public:
    explicit ClockTimeCondition(const QStringList &record)
        : hour_(record.at(1).toInt()), minute_(record.at(2).toInt()) {}

    void wait(RunContext &run) const override {
        const int hour = hour_;
        const int minute = minute_;
        run.waitUntil(
            [&run, hour, minute] {
                const QTime now = run.timeOfDay();
                return now.hour() == hour && now.minute() == minute;
            },
            milliseconds(50));
    }

private:
    int hour_;
    int minute_;
};

} // namespace

const ConditionStep step{madeOf<ClockTimeCondition, Condition>};

} // namespace kinds::condition::clockTime
