#include "run/runsteps.h"

#include "run/windowlookup.h"

#include <chrono>

namespace kinds::condition::windowState {
using namespace runsteps;

namespace {
using std::chrono::milliseconds;

// Until a matching window is active, is open, or none is open any more.
class WindowCondition : public Condition {
public:
    enum class Wanted { Active, Exists, Gone };

    explicit WindowCondition(const QStringList &record)
        : choice_(windowmatch::fromRecord(record)), wanted_(wantedOf(record.at(4))) {}

    void wait(RunContext &run) const override {
        platform::WindowAccess *access = run.windows();
        if (!access) {
            run.fail(RunFailure::Reason::NoWindowAccess, choice_);
            return;
        }
        const windowmatch::Matcher matcher(choice_);
        if (!matcher.valid()) {
            run.fail(RunFailure::Reason::BadPattern, choice_);
            return;
        }
        const auto anyOpen = [access, &matcher] {
            for (const platform::WindowInfo &info : access->windows()) {
                if (matcher.matches(windowlookup::candidateOf(info)))
                    return true;
            }
            return false;
        };
        // A title the expression cannot decide on ends the wait: neither
        // "open" nor "gone" can be trusted then.
        const auto decided = [&run, &matcher, this](bool met) {
            if (!matcher.tooCostly())
                return met;
            run.fail(RunFailure::Reason::PatternTooCostly, choice_);
            return true;
        };
        switch (wanted_) {
        case Wanted::Active:
            run.waitUntil(
                [access, &matcher, &decided] {
                    const std::uint64_t id = access->activeWindow();
                    platform::WindowInfo info;
                    return decided(id != 0 && access->info(id, info) &&
                                   matcher.matches(windowlookup::candidateOf(info)));
                },
                milliseconds(50));
            break;
        case Wanted::Exists:
            run.waitUntil([&] { return decided(anyOpen()); }, milliseconds(50));
            break;
        case Wanted::Gone:
            run.waitUntil([&] { return decided(!anyOpen()); }, milliseconds(50));
            break;
        }
    }

private:
    static Wanted wantedOf(const QString &stored) {
        if (stored == pagekinds::windowGone)
            return Wanted::Gone;
        if (stored == pagekinds::windowExists)
            return Wanted::Exists;
        return Wanted::Active;
    }

    windowmatch::Choice choice_;
    Wanted wanted_;
};

} // namespace

const ConditionStep step{madeOf<WindowCondition, Condition>};

} // namespace kinds::condition::windowState
