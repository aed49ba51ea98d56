#include "run/runsteps.h"

#include "core/recordvalues.h"

namespace kinds::command::smoothMove {
using namespace runsteps;

namespace {
using recordvalues::coordinateOf;
using recordvalues::secondsOf;

class SmoothMoveAction : public Action {
public:
    explicit SmoothMoveAction(const QStringList &record)
        : x_(coordinateOf(record.at(1))), y_(coordinateOf(record.at(2))),
          duration_(secondsOf(record.at(3))) {}

    bool start(RunContext &run) const override {
        int x = x_;
        int y = y_;
        run.varyPoint(x, y, run.screenArea());
        const double duration = run.playSeconds(duration_);
        return run.startWorker([&run, x, y, duration] { moveSmoothly(run, x, y, duration); });
    }

private:
    int x_;
    int y_;
    double duration_;
};

} // namespace

const ActionStep step{madeOf<SmoothMoveAction, Action>};

} // namespace kinds::command::smoothMove
