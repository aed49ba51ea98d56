#include "core/recordvalues.h"
#include "core/screenpages.h"
#include "core/timedwait.h"
#include "platform/inputlayer.h"
#include "run/screensteps.h"

namespace kinds::command::imageJump {
using namespace runsteps;

namespace {

// Looks for its template for up to its time and moves the pointer there;
// without a template, to where the pass last found one. On the run thread,
// so nothing after it starts before the pointer is in place.
class ImageJumpAction : public Action {
public:
    ImageJumpAction(const QStringList &record, const Templates &templates)
        : jump_(screenpages::jumpFromRecord(record)), needle_(templates.value(jump_.search.png)) {
        jump_.search.png.clear();
    }

    bool start(RunContext &run) const override {
        platform::Point centre;
        if (needle_.isNull()) {
            if (!run.rememberedPlace(centre.x, centre.y)) {
                run.fail(RunFailure::Reason::NoPlaceFound, jump_.search.window);
                return true;
            }
        } else if (!search(run, centre)) {
            return true;
        }
        run.input().setCursorPos(recordvalues::offsetBy(centre.x, jump_.offsetX),
                                 recordvalues::offsetBy(centre.y, jump_.offsetY));
        return true;
    }

private:
    // False when the run was stopped, for whatever reason.
    bool search(RunContext &run, platform::Point &centre) const {
        const bool found = screensteps::lookFor(
            run, jump_.search, needle_, timedwait::deadlineAfter(run.now(), jump_.seconds), centre);
        if (run.stopping())
            return false;
        if (!found) {
            run.fail(RunFailure::Reason::ImageNotFound, jump_.search.window);
            return false;
        }
        run.rememberPlace(centre.x, centre.y);
        return true;
    }

    screenpages::ImageJump jump_;
    QImage needle_;
};

} // namespace

// Without a template the jump goes where the last Image condition found its
// own, so none is missing here.
const ActionStep step{
    [](const QStringList &record, const Templates &templates) -> std::unique_ptr<Action> {
        return std::make_unique<ImageJumpAction>(record, templates);
    },
    [](const QStringList &record, QByteArray &png) {
        png = screenpages::imageFromRecord(record).png;
        return ImageProblem::None;
    }};

} // namespace kinds::command::imageJump
