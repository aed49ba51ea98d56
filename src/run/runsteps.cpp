#include "runsteps.h"

#include "core/keycombination.h"
#include "core/recordvalues.h"
#include "core/runkeys.h"
#include "core/timedwait.h"
#include "keywatch.h"
#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/virtualkeys.h"
#include "runcontext.h"
#include "runtexts.h"
#include "screensteps.h"
#include "typingorder.h"
#include "windowlookup.h"

#include <QLocale>
#include <QSet>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

namespace runsteps {
namespace {

using recordvalues::coordinateOf;
using recordvalues::offsetBy;
using recordvalues::secondsOf;
using std::chrono::milliseconds;

// ---- actions ------------------------------------------------------------------

class NoAction : public Action {
public:
    bool start(RunContext &) const override { return true; }
};

class ClickAction : public Action {
public:
    explicit ClickAction(const QStringList &record)
        : left_(record.at(1) == pagekinds::leftSide), hold_(secondsOf(record.at(2))) {}

    bool start(RunContext &run) const override {
        const bool left = left_;
        const double hold = run.playSeconds(hold_);
        return run.startWorker([&run, left, hold] {
            run.buttonDown(left);
            run.waitSeconds(hold);
            run.buttonUp(left); // also after a stop
        });
    }

private:
    bool left_;
    double hold_;
};

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

// From where the pointer is to (x, y) in `duration` seconds.
void moveSmoothly(RunContext &run, int x, int y, double duration) {
    const platform::Point from = run.input().cursorPos();
    if (!(duration > 0.0)) { // not above 0, or NaN
        run.input().setCursorPos(x, y);
        return;
    }
    const auto t0 = run.now();
    for (;;) {
        if (run.stopping())
            return; // the pointer stays where it is
        const double elapsed = std::chrono::duration<double>(run.now() - t0).count();
        const double fraction = elapsed / duration;
        if (fraction >= 1.0) {
            if (!run.stopping())
                run.input().setCursorPos(x, y);
            return;
        }
        // Each step goes where the elapsed time puts it, so a slow step
        // never delays the end.
        const MovePoint at = interpolateMove(from.x, from.y, x, y, fraction);
        run.input().setCursorPos(at.x, at.y);
        // Held here while paused: the pointer stays, and the run's clock
        // keeps the rest of the move for the resume.
        if (!run.sleepUntil(run.now() + milliseconds(5), milliseconds(5)))
            return;
    }
}

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

// ---- windows ---------------------------------------------------------------------

// Where a varied position in the window may go.
RunContext::Area clientArea(const platform::WindowInfo &window) {
    return {window.client.x, window.client.y, window.client.width, window.client.height};
}

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

class KeyAction : public Action {
public:
    explicit KeyAction(const QStringList &record)
        : keys_(parseRunKeys(keyActionSpec(record.at(1), record.at(2)))) {}

    bool start(RunContext &run) const override {
        if (keys_.vk == 0)
            return true;
        RunKeys keys = keys_;
        // A long hold played slowly must not overflow the milliseconds.
        const double holdMs = run.playSeconds(keys.holdMs / 1000.0) * 1000.0;
        keys.holdMs = int(std::lround(std::min(holdMs, double(std::numeric_limits<int>::max()))));
        return run.startWorker([&run, keys] { press(run, keys); });
    }

private:
    static void press(RunContext &run, const RunKeys &keys) {
        if (run.stopping())
            return;
        const int mask = keys.mask;
        if (mask & storedmask::Ctrl)
            run.keyDown(vk::Control);
        if (mask & storedmask::Alt)
            run.keyDown(vk::Menu);
        if (mask & storedmask::Shift)
            run.keyDown(vk::Shift);
        if (mask & storedmask::Win)
            run.keyDown(vk::LWin);
        run.keyDown(keys.vk);

        // Held against a deadline in chunks of at most 10 ms; a stop ends the
        // hold early but never skips the releases.
        run.sleepUntil(run.now() + milliseconds(keys.holdMs), milliseconds(10));

        run.keyUp(keys.vk);
        if (mask & storedmask::Win)
            run.keyUp(vk::LWin);
        if (mask & storedmask::Shift)
            run.keyUp(vk::Shift);
        if (mask & storedmask::Alt)
            run.keyUp(vk::Menu);
        if (mask & storedmask::Ctrl)
            run.keyUp(vk::Control);
    }

    RunKeys keys_;
};

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

// ---- conditions ---------------------------------------------------------------------

class ImmediateCondition : public Condition {
public:
    void wait(RunContext &) const override {}
};

class TimeCondition : public Condition {
public:
    explicit TimeCondition(const QStringList &record) : seconds_(secondsOf(record.at(1))) {}
    void wait(RunContext &run) const override { run.waitSeconds(run.playSeconds(seconds_)); }

private:
    double seconds_;
};

// Every action started before it has ended, then the time.
class UntilOverCondition : public Condition {
public:
    explicit UntilOverCondition(const QStringList &record) : seconds_(secondsOf(record.at(1))) {}
    void wait(RunContext &run) const override {
        run.joinAllWorkers();
        run.waitSeconds(run.playSeconds(seconds_));
    }

private:
    double seconds_;
};

// Met by a press of the button, or at once while it is held. Pressed and
// released between two looks, a tap would never be seen: the press is heard
// as an event where the backend pushes them, and polled for only where not.
class ClickCondition : public Condition {
public:
    explicit ClickCondition(const QStringList &record)
        : vk_(record.at(1) == pagekinds::rightSide ? platform::kVkRButton : platform::kVkLButton) {}
    void wait(RunContext &run) const override {
        const int vk = vk_;
        const auto held = [&run, vk] { return run.isDown(vk); };
        if (KeyWatch *watch = run.keyWatch(); watch && watch->hearsButtons()) {
            watch->waitForButton(vk, held, [&run] { return run.stopping(); });
            return;
        }
        run.waitUntil(held, milliseconds(50));
    }
    bool hearsButtons() const override { return true; }

private:
    int vk_;
};

class KeyCondition : public Condition {
public:
    explicit KeyCondition(const QStringList &record) : keys_(parseRunKeys(record.at(1))) {}

    void wait(RunContext &run) const override {
        const int vk = keys_.vk;
        if (vk == 0)
            return;
        const int wanted = wantedModifiers(vk, keys_.mask);
        if (KeyWatch *watch = run.keyWatch()) {
            // A press the user made while the run was paused does not count:
            // after the resume the page waits for one of its own.
            while (watch->waitForPressAndRelease(vk, wanted, run.isDown(vk), [&run] {
                return run.stopping();
            }) && run.paused()) {
                if (!run.holdWhilePaused())
                    return;
            }
            return;
        }
        // No key events from this backend: ask for the keys instead.
        const auto up = [&run, vk] { return !run.isDown(vk); };

        // A key already held must be released and pressed again.
        if (run.isDown(vk)) {
            if (!run.waitUntil(up, milliseconds(20)))
                return;
            std::this_thread::sleep_for(milliseconds(20));
        }
        const auto pressed = [&run, vk, wanted] {
            return run.heldModifiers() == wanted && run.isDown(vk);
        };
        if (!run.waitUntil(pressed, milliseconds(30)))
            return;
        // Met when the key comes up after the matching press.
        run.waitUntil(up, milliseconds(10));
    }

    bool hearsKeys() const override { return keys_.vk != 0; }

private:
    RunKeys keys_;
};

class ClockTimeCondition : public Condition {
public:
    explicit ClockTimeCondition(const QStringList &record)
        : hour_(record.at(1).toInt()), minute_(record.at(2).toInt()) {}

    void wait(RunContext &run) const override {
        const int hour = hour_;
        const int minute = minute_;
        run.waitUntil(
            [&run, hour, minute] {
                const QTime now = run.timeOfDay();
                return now.hour() == hour && now.minute() == minute;
            },
            milliseconds(50));
    }

private:
    int hour_;
    int minute_;
};

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

// ---- the tables, by stored kind ------------------------------------------------------

template <class T, class Base>
std::unique_ptr<Base> make(const QStringList &record, const Templates &) {
    return std::make_unique<T>(record);
}
template <class T, class Base>
std::unique_ptr<Base> makePlain(const QStringList &, const Templates &) {
    return std::make_unique<T>();
}

// Keyed by the registry's own stored names, so a kind's name is written once.
struct ActionRow {
    const QString &stored;
    ActionFactory make;
};
struct ConditionRow {
    const QString &stored;
    ConditionFactory make;
};

const ActionRow kActions[] = {
    {pagekinds::name::none, makePlain<NoAction, Action>},
    {pagekinds::name::click, make<ClickAction, Action>},
    {pagekinds::name::mousePointer, make<PointerAction, Action>},
    {pagekinds::name::smoothMove, make<SmoothMoveAction, Action>},
    {pagekinds::name::key, make<KeyAction, Action>},
    {pagekinds::name::enterText, make<TextAction, Action>},
    {pagekinds::name::window, make<WindowAction, Action>},
    {pagekinds::name::pointerInWindow, make<PointerInWindowAction, Action>},
    {pagekinds::name::smoothMoveInWindow, make<SmoothMoveInWindowAction, Action>},
    {pagekinds::name::imageJump, screensteps::imageJump},
};

const ConditionRow kConditions[] = {
    {pagekinds::name::waitUntilOver, make<UntilOverCondition, Condition>},
    {pagekinds::name::time, make<TimeCondition, Condition>},
    {pagekinds::name::immediately, makePlain<ImmediateCondition, Condition>},
    {pagekinds::name::click, make<ClickCondition, Condition>},
    {pagekinds::name::key, make<KeyCondition, Condition>},
    {pagekinds::name::clockTime, make<ClockTimeCondition, Condition>},
    {pagekinds::name::windowState, make<WindowCondition, Condition>},
    {pagekinds::name::colour, screensteps::colourCondition},
    {pagekinds::name::image, screensteps::imageCondition},
};

// The problem of a record, with the step table as the last word: a kind the
// registry lists but no step plays is as unknown as one it does not list.
pagekinds::RecordProblem problemOf(pagekinds::Side side, const QStringList &record, bool hasStep) {
    const pagekinds::RecordProblem problem = pagekinds::check(side, record);
    if (problem == pagekinds::RecordProblem::None && !hasStep)
        return pagekinds::RecordProblem::UnknownKind;
    return problem;
}

// The templates of a project: held against the limits page by page from
// their headers, each different one counted once, and decoded only once
// every page has passed.
class TemplateLoader {
public:
    // `refusal` names the page, side and kind being checked.
    ImageProblem check(pagekinds::Side side, const QStringList &record, Refusal &refusal) {
        QByteArray png;
        const ImageProblem missing = screensteps::templateOf(side, record, png);
        if (missing != ImageProblem::None || png.isEmpty() || seen_.contains(png))
            return missing;
        QSize size;
        const ImageProblem problem = screensteps::measureTemplate(png, size);
        if (problem == ImageProblem::TooLarge) {
            refusal.imageWidth = size.width();
            refusal.imageHeight = size.height();
        }
        if (problem != ImageProblem::None)
            return problem;
        const qint64 area = qint64(size.width()) * size.height();
        if (pixels_ + area > screensteps::kTemplateBudgetPixels)
            return ImageProblem::OverBudget;
        pixels_ += area;
        seen_.insert(png);
        pending_.push_back({png, refusal});
        return ImageProblem::None;
    }

    // False, with `refusal` naming the first page of a template whose
    // header was fine but whose pixels do not decode.
    bool decode(Templates &templates, Refusal &refusal) {
        for (Pending &one : pending_) {
            const QImage image = screensteps::decodeTemplate(one.png);
            if (image.isNull()) {
                refusal = one.page;
                refusal.image = ImageProblem::Unreadable;
                templates.clear();
                return false;
            }
            templates.insert(one.png, image);
            one.png.clear();
        }
        return true;
    }

private:
    struct Pending {
        QByteArray png;
        Refusal page; // the first page with it
    };
    QSet<QByteArray> seen_;
    std::vector<Pending> pending_;
    qint64 pixels_ = 0;
};

} // namespace

bool findWindow(RunContext &run, const windowmatch::Choice &choice, platform::WindowInfo &out) {
    platform::WindowAccess *access = run.windows();
    if (!access) {
        run.fail(RunFailure::Reason::NoWindowAccess, choice);
        return false;
    }
    if (!windowmatch::Matcher(choice).valid()) {
        run.fail(RunFailure::Reason::BadPattern, choice);
        return false;
    }
    bool tooCostly = false;
    if (!windowlookup::find(*access, choice, out, &tooCostly)) {
        run.fail(tooCostly ? RunFailure::Reason::PatternTooCostly : RunFailure::Reason::NotFound,
                 choice);
        return false;
    }
    return true;
}

bool findWindowWithPlace(RunContext &run, const windowmatch::Choice &choice,
                         platform::WindowInfo &out) {
    if (run.windows() && !run.windowGeometry()) {
        run.fail(RunFailure::Reason::NoGeometry, choice);
        return false;
    }
    return findWindow(run, choice, out);
}

ActionFactory actionFor(const QString &stored) {
    for (const ActionRow &row : kActions) {
        if (stored == row.stored)
            return row.make;
    }
    return nullptr;
}

ConditionFactory conditionFor(const QString &stored) {
    for (const ConditionRow &row : kConditions) {
        if (stored == row.stored)
            return row.make;
    }
    return nullptr;
}

Compiled compile(const QList<QStringList> &commands, const QList<QStringList> &conditions) {
    using pagekinds::RecordProblem;
    using pagekinds::Side;
    static const QStringList kNoCondition{pagekinds::name::immediately};
    Compiled compiled;
    TemplateLoader templates;
    for (int p = 0; p < commands.size(); ++p) {
        const QStringList &command = commands.at(p);
        const QStringList &condition = p < conditions.size() ? conditions.at(p) : kNoCondition;
        const ActionFactory makeAction = actionFor(command.value(0));
        const ConditionFactory makeCondition = conditionFor(condition.value(0));

        Refusal refusal;
        refusal.page = p + 1;
        refusal.problem = problemOf(Side::Command, command, makeAction != nullptr);
        refusal.kind = command.value(0);
        if (refusal.problem == RecordProblem::None) {
            refusal.side = Side::Condition;
            refusal.problem = problemOf(Side::Condition, condition, makeCondition != nullptr);
            refusal.kind = condition.value(0);
        }
        if (refusal.problem == RecordProblem::None) {
            // A page that cannot look for its image cannot be played either.
            refusal.side = Side::Command;
            refusal.kind = command.value(0);
            refusal.image = templates.check(Side::Command, command, refusal);
            if (refusal.image == ImageProblem::None) {
                refusal.side = Side::Condition;
                refusal.kind = condition.value(0);
                refusal.image = templates.check(Side::Condition, condition, refusal);
            }
            if (refusal.image == ImageProblem::None &&
                screensteps::colourUnreadable(Side::Condition, condition)) {
                refusal.value = ValueProblem::BadColour;
                refusal.valueText = condition.value(7);
            }
        }
        if (refusal.problem != RecordProblem::None || refusal.image != ImageProblem::None ||
            refusal.value != ValueProblem::None) {
            compiled.steps.clear();
            compiled.refusal = refusal;
            return compiled;
        }
    }
    // Every page passed, its template's size included: now each template is
    // decoded, once.
    Templates decoded;
    if (!templates.decode(decoded, compiled.refusal))
        return compiled;
    for (int p = 0; p < commands.size(); ++p) {
        const QStringList &condition = p < conditions.size() ? conditions.at(p) : kNoCondition;
        compiled.steps.push_back({actionFor(commands.at(p).value(0))(commands.at(p), decoded),
                                  conditionFor(condition.value(0))(condition, decoded)});
    }
    return compiled;
}

QString refusalText(const Refusal &refusal, bool japanese) {
    using pagekinds::RecordProblem;
    const QString list =
        (refusal.side == pagekinds::Side::Command ? runtexts::commandList : runtexts::conditionList)
            .in(japanese);
    QString why;
    const QLocale numbers(QLocale::English); // grouped by commas in both languages
    switch (refusal.image) {
    case ImageProblem::None:
        break;
    case ImageProblem::Missing:
        why = runtexts::refusedNoImage.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    case ImageProblem::Unreadable:
        why = runtexts::refusedBadImage.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    case ImageProblem::TooLarge:
        why = runtexts::refusedImageTooLarge.in(japanese)
                  .arg(refusal.page)
                  .arg(list, refusal.kind)
                  .arg(refusal.imageWidth)
                  .arg(refusal.imageHeight)
                  .arg(numbers.toString(screensteps::kMaxTemplatePixels),
                       numbers.toString(screensteps::kMaxTemplateSide));
        break;
    case ImageProblem::OverBudget:
        why = runtexts::refusedImagesOverBudget.in(japanese)
                  .arg(refusal.page)
                  .arg(list, refusal.kind, numbers.toString(screensteps::kTemplateBudgetPixels));
        break;
    }
    if (!why.isEmpty())
        return why + runtexts::notStarted.in(japanese);
    if (refusal.value == ValueProblem::BadColour)
        return runtexts::refusedBadColour.in(japanese)
                   .arg(refusal.page)
                   .arg(list, refusal.kind, refusal.valueText) +
               runtexts::notStarted.in(japanese);
    switch (refusal.problem) {
    case RecordProblem::Empty:
        why = runtexts::refusedEmpty.in(japanese).arg(refusal.page).arg(list);
        break;
    case RecordProblem::TooShort:
        why = runtexts::refusedTooShort.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    default:
        why = runtexts::refusedUnknown.in(japanese).arg(refusal.page).arg(list, refusal.kind);
        break;
    }
    return why + runtexts::notStarted.in(japanese);
}

QString failureText(const RunFailure &failure, bool japanese) {
    const UiText *why = nullptr;
    bool namesWindow = true; // as %2
    switch (failure.reason) {
    case RunFailure::Reason::None:
        return QString();
    case RunFailure::Reason::NoWindowAccess:
        why = platform::backend().capabilities().name == "gnome"
                  ? &runtexts::failedNoWindowAccessGnome
                  : &runtexts::failedNoWindowAccess;
        namesWindow = false;
        break;
    case RunFailure::Reason::BadPattern:
        why = &runtexts::failedBadPattern;
        break;
    case RunFailure::Reason::NotFound:
        why = &runtexts::failedNotFound;
        break;
    case RunFailure::Reason::NotActive:
        why = &runtexts::failedNotActive;
        break;
    case RunFailure::Reason::NoScreen:
        why = &runtexts::failedNoScreen;
        namesWindow = false;
        break;
    case RunFailure::Reason::ImageNotFound:
        why = &runtexts::failedImageNotFound;
        namesWindow = false;
        break;
    case RunFailure::Reason::NoGeometry:
        why = &runtexts::failedNoGeometry;
        namesWindow = false;
        break;
    case RunFailure::Reason::NoPlaceFound:
        why = &runtexts::failedNoPlaceFound;
        namesWindow = false;
        break;
    case RunFailure::Reason::PatternTooCostly:
        why = &runtexts::failedPatternTooCostly;
        break;
    case RunFailure::Reason::OffScreen:
        return runtexts::failedOffScreen.in(japanese)
                   .arg(failure.page)
                   .arg(failure.x)
                   .arg(failure.y) +
               runtexts::runStopped.in(japanese);
    }
    QString text = why->in(japanese).arg(failure.page);
    if (namesWindow)
        text = text.arg(windowmatch::describe(failure.window, japanese));
    return text + runtexts::runStopped.in(japanese);
}

} // namespace runsteps
