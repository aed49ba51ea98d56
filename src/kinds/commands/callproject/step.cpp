#include "run/runsteps.h"

namespace kinds::command::callProject {
using namespace runsteps;

namespace {

// The player plays the called project in place, on the run thread.
class CallAction : public Action {
public:
    explicit CallAction(const QStringList &record) : written_(record.at(1)) {}
    bool start(RunContext &run) const override {
        run.callProject(written_);
        return true;
    }

private:
    QString written_;
};

} // namespace

const ActionStep step{madeOf<CallAction, Action>};

} // namespace kinds::command::callProject
