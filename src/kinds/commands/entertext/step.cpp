#include "run/runsteps.h"

#include "platform/inputlayer.h"

#include "core/recordvalues.h"
#include "core/timedwait.h"
#include "run/typingorder.h"

#include <chrono>

namespace kinds::command::enterText {
using namespace runsteps;

namespace {
using recordvalues::secondsOf;
using std::chrono::milliseconds;

class TextAction : public Action {
public:
    explicit TextAction(const QStringList &record)
        : text_(record.at(1)), duration_(secondsOf(record.at(2))) {}

    bool start(RunContext &run) const override {
        if (text_.isEmpty() || !(duration_ > 0.0))
            return true;
        const QString text = text_;
        const double duration = run.playSeconds(duration_);
        // Its place among overlapping pages is taken in page order, however
        // late its worker starts; but only once the worker can start, or the
        // workers typing after it would wait for one that never comes.
        if (!run.waitForWorkerRoom())
            return true;
        const RunContext::Clock::time_point startedAt = run.now();
        std::shared_ptr<TypingOrder::Typist> typist = run.typingOrder().enter(startedAt);
        return run.startWorker([&run, text, duration, startedAt, typist] {
            type(run, *typist, text, duration, startedAt);
        });
    }

private:
    static void type(RunContext &run, TypingOrder::Typist &typist, const QString &text,
                     double duration, RunContext::Clock::time_point startedAt) {
        const int n = text.size();
        const double interval = duration / n;
        run.input().textAhead(reinterpret_cast<const char16_t *>(text.utf16()),
                              static_cast<std::size_t>(n));
        const auto t0 = run.now();
        const auto stopping = [&run] { return run.stopping(); };
        for (int i = 0; i < n; ++i) {
            // Its turn first, then the pause: a paused page holds up the
            // pages whose characters come after its own.
            if (!typist.waitTurn(timedwait::deadlineAfter(startedAt, i * interval), stopping) ||
                !run.holdWhilePaused())
                return;
            const char16_t unit = text.at(i).unicode();
            run.input().unicodeDown(unit);
            run.input().unicodeUp(unit);
            if (i + 1 == n)
                typist.done();
            else
                typist.typed(timedwait::deadlineAfter(startedAt, (i + 1) * interval));
            // Counted from t0, so no drift builds up over a long text.
            if (!run.sleepUntil(timedwait::deadlineAfter(t0, (i + 1) * interval), milliseconds(1)))
                return;
        }
    }

    QString text_;
    double duration_;
};

} // namespace

const ActionStep step{madeOf<TextAction, Action>};

} // namespace kinds::command::enterText
