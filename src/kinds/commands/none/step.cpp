#include "run/runsteps.h"

namespace kinds::command::none {
using namespace runsteps;

namespace {

class NoAction : public Action {
public:
    bool start(RunContext &) const override { return true; }
};

} // namespace

const ActionStep step{[](const QStringList &, const Templates &) -> std::unique_ptr<Action> {
    return std::make_unique<NoAction>();
}};

} // namespace kinds::command::none
