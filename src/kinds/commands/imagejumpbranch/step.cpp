#include "core/pageflow.h"
#include "run/flowsteps.h"

namespace kinds::command::imageJumpBranch {
using namespace runsteps;

namespace {

// The Image Jump of the record's first elements. Where it would stop the run
// because the picture is not there (not found in time, or nothing found yet
// this pass), the run goes on at once at the page named for that, without
// the page's condition; found, the condition is waited for and the run goes
// on at the page named for that (either the next page when none is named).
class BranchingJump : public Action {
public:
    BranchingJump(const QStringList &record, const Templates &templates) {
        const pageflow::Shape shape = pageflow::shapeOf(true, record.at(0));
        QStringList base = record.mid(0, shape.elseTarget);
        base[0] = pageflow::baseKind(true, record.at(0));
        jump_ = runsteps::actionFor(base[0])(base, templates);
        else_ = record.at(shape.elseTarget);
        then_ = record.at(shape.thenTarget);
    }

    bool start(RunContext &run) const override {
        run.catchFailures(true);
        const bool started = jump_->start(run);
        const RunFailure failure = run.caught();
        run.catchFailures(false);
        if (failure.reason == RunFailure::Reason::ImageNotFound ||
            failure.reason == RunFailure::Reason::NoPlaceFound) {
            run.branchTo(else_, true);
        } else if (failure.failed()) {
            // Anything else (no screen, no window) stops the run as it would.
            run.fail(failure.reason, failure.window, failure.x, failure.y);
        } else if (!then_.isEmpty() && !run.stopping()) {
            run.branchTo(then_);
        }
        return started;
    }

private:
    std::unique_ptr<Action> jump_;
    QString else_;
    QString then_;
};

} // namespace

// Its template is checked as the Image Jump's is.
const ActionStep step{
    [](const QStringList &record, const Templates &templates) -> std::unique_ptr<Action> {
        return std::make_unique<BranchingJump>(record, templates);
    },
    flowsteps::baseActionTemplate};

} // namespace kinds::command::imageJumpBranch
