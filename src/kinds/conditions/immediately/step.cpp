#include "run/runsteps.h"

namespace kinds::condition::immediately {
using namespace runsteps;

namespace {

class ImmediateCondition : public Condition {
public:
    void wait(RunContext &) const override {}
};

} // namespace

const ConditionStep step{[](const QStringList &, const Templates &) -> std::unique_ptr<Condition> {
    return std::make_unique<ImmediateCondition>();
}};

} // namespace kinds::condition::immediately
