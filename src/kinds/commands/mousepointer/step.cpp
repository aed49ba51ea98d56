#include "run/runsteps.h"

#include "platform/inputlayer.h"

#include "core/recordvalues.h"

namespace kinds::command::mousePointer {
using namespace runsteps;

namespace {
using recordvalues::coordinateOf;

class PointerAction : public Action {
public:
    explicit PointerAction(const QStringList &record)
        : x_(coordinateOf(record.at(1))), y_(coordinateOf(record.at(2))) {}

    bool start(RunContext &run) const override {
        int x = x_;
        int y = y_;
        run.varyPoint(x, y, run.screenArea());
        run.input().setCursorPos(x, y);
        return true;
    }

private:
    int x_;
    int y_;
};

} // namespace

const ActionStep step{madeOf<PointerAction, Action>};

} // namespace kinds::command::mousePointer
