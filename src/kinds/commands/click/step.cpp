#include "run/runsteps.h"

#include "core/recordvalues.h"

namespace kinds::command::click {
using namespace runsteps;

namespace {
using recordvalues::secondsOf;

class ClickAction : public Action {
public:
    explicit ClickAction(const QStringList &record)
        : left_(record.at(1) == pagekinds::leftSide), hold_(secondsOf(record.at(2))) {}

    bool start(RunContext &run) const override {
        const bool left = left_;
        const double hold = run.playSeconds(hold_);
        return run.startWorker([&run, left, hold] {
            run.buttonDown(left);
            run.waitSeconds(hold);
            run.buttonUp(left); // also after a stop
        });
    }

private:
    bool left_;
    double hold_;
};

} // namespace

const ActionStep step{madeOf<ClickAction, Action>};

} // namespace kinds::command::click
