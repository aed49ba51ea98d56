#include "core/pageflow.h"
#include "run/runsteps.h"

namespace kinds::command::goToPage {
using namespace runsteps;

namespace {

// Names where the run goes after the page; the player counts the jumps.
class GoToAction : public Action {
public:
    explicit GoToAction(const QStringList &record)
        : target_(record.at(1)), times_(pageflow::countOf(record.at(2))) {}
    bool start(RunContext &run) const override {
        run.goTo(target_, times_);
        return true;
    }

private:
    QString target_;
    int times_;
};

} // namespace

const ActionStep step{madeOf<GoToAction, Action>};

} // namespace kinds::command::goToPage
