#include "run/runsteps.h"

#include "platform/inputlayer.h"

#include "core/recordvalues.h"

namespace kinds::command::pointerInWindow {
using namespace runsteps;

namespace {
using recordvalues::coordinateOf;
using recordvalues::offsetBy;

// X and Y from the top-left of the window's client area, wherever it is now.
class PointerInWindowAction : public Action {
public:
    explicit PointerInWindowAction(const QStringList &record)
        : choice_(windowmatch::fromRecord(record)), x_(coordinateOf(record.at(4))),
          y_(coordinateOf(record.at(5))) {}

    bool start(RunContext &run) const override {
        platform::WindowInfo window;
        if (findWindowWithPlace(run, choice_, window)) {
            int x = offsetBy(window.client.x, x_);
            int y = offsetBy(window.client.y, y_);
            run.varyPoint(x, y, clientArea(window));
            run.input().setCursorPos(x, y);
        }
        return true;
    }

private:
    windowmatch::Choice choice_;
    int x_;
    int y_;
};

} // namespace

const ActionStep step{madeOf<PointerInWindowAction, Action>};

} // namespace kinds::command::pointerInWindow
