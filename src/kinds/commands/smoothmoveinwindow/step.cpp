#include "run/runsteps.h"

#include "core/recordvalues.h"

namespace kinds::command::smoothMoveInWindow {
using namespace runsteps;

namespace {
using recordvalues::coordinateOf;
using recordvalues::offsetBy;
using recordvalues::secondsOf;

// The target is fixed when the page starts; the move itself is timed.
class SmoothMoveInWindowAction : public Action {
public:
    explicit SmoothMoveInWindowAction(const QStringList &record)
        : choice_(windowmatch::fromRecord(record)), x_(coordinateOf(record.at(4))),
          y_(coordinateOf(record.at(5))), duration_(secondsOf(record.at(6))) {}

    bool start(RunContext &run) const override {
        platform::WindowInfo window;
        if (!findWindowWithPlace(run, choice_, window))
            return true;
        int x = offsetBy(window.client.x, x_);
        int y = offsetBy(window.client.y, y_);
        run.varyPoint(x, y, clientArea(window));
        const double duration = run.playSeconds(duration_);
        return run.startWorker([&run, x, y, duration] { moveSmoothly(run, x, y, duration); });
    }

private:
    windowmatch::Choice choice_;
    int x_;
    int y_;
    double duration_;
};

} // namespace

const ActionStep step{madeOf<SmoothMoveInWindowAction, Action>};

} // namespace kinds::command::smoothMoveInWindow
