#include "run/runsteps.h"

#include "core/recordvalues.h"
#include "core/timedwait.h"

#include <chrono>

namespace kinds::command::window {
using namespace runsteps;

namespace {
using recordvalues::secondsOf;
using std::chrono::milliseconds;

// Brings the window up and waits, on the run thread, until it is active:
// the pages after it must not start while another window has the focus.
class WindowAction : public Action {
public:
    explicit WindowAction(const QStringList &record)
        : choice_(windowmatch::fromRecord(record)), seconds_(secondsOf(record.at(4))) {}

    bool start(RunContext &run) const override {
        platform::WindowInfo window;
        if (!findWindow(run, choice_, window))
            return true;
        platform::WindowAccess &access = *run.windows();
        if (access.activeWindow() != window.id)
            access.activate(window.id);
        const auto deadline = timedwait::deadlineAfter(run.now(), seconds_ > 0.0 ? seconds_ : 0.0);
        bool gone = false;
        const auto active = [&access, &window] { return access.activeWindow() == window.id; };
        run.waitUntil(
            [&] {
                if (active())
                    return true;
                platform::WindowInfo now;
                gone = !access.info(window.id, now);
                return gone || run.now() >= deadline;
            },
            milliseconds(20));
        if (run.stopping() || active())
            return true;
        run.fail(gone ? RunFailure::Reason::NotFound : RunFailure::Reason::NotActive, choice_);
        return true;
    }

private:
    windowmatch::Choice choice_;
    double seconds_;
};

} // namespace

const ActionStep step{madeOf<WindowAction, Action>};

} // namespace kinds::command::window
