#include "actionrecording.h"

#include "keycombination.h"
#include "pagerecords.h"
#include "runkeys.h"
#include "windowmatch.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>

namespace actionrecording {
namespace {

using platform::RawInputEvent;
using Type = RawInputEvent::Type;

enum class Kind { Click, Key, Text };

struct Action {
    Kind kind = Kind::Key;
    std::int64_t start = 0;
    std::int64_t end = 0;
    bool left = true;            // click
    platform::Point pos;         // click
    bool hasPos = true;          // click: pos is where it went
    platform::WindowInfo window; // click: the window it went to, id 0 unknown
    int vk = 0;                  // key
    int mask = 0;                // key, stored mask
    QString text;                // typing
};

bool isModifier(int vk) {
    return storedModifierBit(vk) != 0;
}

// Builds the actions from the events in the order they happened.
class Converter {
public:
    void take(const RawInputEvent &e) {
        switch (e.type) {
        case Type::KeyDown:
            if (isModifier(e.vk))
                modifierDown(e);
            else
                keyDown(e);
            break;
        case Type::KeyUp:
            if (isModifier(e.vk))
                modifierUp(e);
            else
                keyUp(e);
            break;
        case Type::ButtonDown:
            buttonDown(e);
            break;
        case Type::ButtonUp:
            buttonUp(e);
            break;
        }
    }

    // An event from before the recording started: only which keys are held.
    // A modifier held across the start counts for the keys after it but is
    // not a press of its own.
    void takeBefore(const RawInputEvent &e) {
        switch (e.type) {
        case Type::KeyDown:
            if (isModifier(e.vk))
                modifiers_.emplace(e.vk, HeldModifier{e.timeMs, true});
            else
                downKeys_.insert(e.vk);
            break;
        case Type::KeyUp:
            modifiers_.erase(e.vk);
            downKeys_.erase(e.vk);
            break;
        case Type::ButtonDown:
        case Type::ButtonUp:
            break;
        }
    }

    // Keys still held when the recording ended count as released then;
    // buttons and modifiers still held are not recorded.
    std::vector<Action> finish(std::int64_t endTime) {
        for (const auto &open : openKeys_)
            actions_[static_cast<size_t>(open.second)].end = endTime;
        openKeys_.clear();
        return std::move(actions_);
    }

private:
    struct HeldModifier {
        std::int64_t since = 0;
        bool used = false; // another key or a button came while it was held
    };
    struct Press {
        std::int64_t at = 0;
        platform::Point pos;
        platform::WindowInfo window;
        bool hasPos = true;
    };

    int heldMask() const {
        int mask = 0;
        for (const auto &held : modifiers_)
            mask |= storedModifierBit(held.first);
        return mask;
    }
    void useModifiers() {
        for (auto &held : modifiers_)
            held.second.used = true;
    }
    int push(Action action) {
        actions_.push_back(std::move(action));
        return static_cast<int>(actions_.size()) - 1;
    }
    // Typing ends at anything else that is recorded; keys of it released
    // later no longer lengthen it.
    void closeTextRun() {
        textRun_ = -1;
        textKeys_.clear();
    }

    void modifierDown(const RawInputEvent &e) {
        // A held modifier repeats; it is still the same press.
        modifiers_.emplace(e.vk, HeldModifier{e.timeMs, false});
    }

    void modifierUp(const RawInputEvent &e) {
        auto it = modifiers_.find(e.vk);
        if (it == modifiers_.end())
            return;
        const HeldModifier held = it->second;
        modifiers_.erase(it);
        // A lone Shift types nothing; a lone Ctrl, Alt or Win can do something.
        if (held.used || storedModifierBit(e.vk) == storedmask::Shift)
            return;
        closeTextRun();
        useModifiers();
        Action a;
        a.kind = Kind::Key;
        a.start = held.since;
        a.end = e.timeMs;
        a.vk = e.vk;
        a.mask = heldMask();
        push(a);
    }

    void keyDown(const RawInputEvent &e) {
        useModifiers();
        const bool repeat = downKeys_.count(e.vk) != 0;
        downKeys_.insert(e.vk);
        const int mask = heldMask();
        if (!e.text.empty() && !(mask & storedmask::Win)) {
            if (textRun_ < 0) {
                Action a;
                a.kind = Kind::Text;
                a.start = a.end = e.timeMs;
                textRun_ = push(a);
            }
            Action &run = actions_[static_cast<size_t>(textRun_)];
            run.text += QString::fromStdU16String(e.text);
            run.end = std::max(run.end, e.timeMs);
            textKeys_.insert(e.vk);
            return;
        }
        closeTextRun();
        // A repeat ends the hold of the press before it: a replay holds a
        // key without repeating it, so each repeat becomes a press of its own.
        if (repeat) {
            auto open = openKeys_.find(e.vk);
            if (open != openKeys_.end())
                actions_[static_cast<size_t>(open->second)].end = e.timeMs;
        }
        Action a;
        a.kind = Kind::Key;
        a.start = a.end = e.timeMs;
        a.vk = e.vk;
        a.mask = mask;
        openKeys_[e.vk] = push(a);
    }

    void keyUp(const RawInputEvent &e) {
        downKeys_.erase(e.vk);
        if (textKeys_.erase(e.vk) && textRun_ >= 0) {
            Action &run = actions_[static_cast<size_t>(textRun_)];
            run.end = std::max(run.end, e.timeMs);
        }
        auto open = openKeys_.find(e.vk);
        if (open != openKeys_.end()) {
            actions_[static_cast<size_t>(open->second)].end = e.timeMs;
            openKeys_.erase(open);
        }
    }

    void buttonDown(const RawInputEvent &e) {
        useModifiers();
        closeTextRun();
        presses_[e.button == platform::MouseButton::Left ? 0 : 1] =
            Press{e.timeMs, e.pos, e.window, e.hasPos};
    }

    void buttonUp(const RawInputEvent &e) {
        const int side = e.button == platform::MouseButton::Left ? 0 : 1;
        auto it = presses_.find(side);
        if (it == presses_.end())
            return;
        const Press press = it->second;
        presses_.erase(it);
        if (press.hasPos && e.hasPos &&
            (std::abs(e.pos.x - press.pos.x) > kDragDistance ||
             std::abs(e.pos.y - press.pos.y) > kDragDistance))
            return; // a drag
        Action a;
        a.kind = Kind::Click;
        a.start = press.at;
        a.end = e.timeMs;
        a.left = side == 0;
        a.pos = press.pos;
        a.hasPos = press.hasPos;
        a.window = press.window;
        push(a);
    }

    std::vector<Action> actions_;
    std::map<int, HeldModifier> modifiers_;
    std::map<int, int> openKeys_; // vk -> its Key action while held
    std::set<int> downKeys_;
    std::set<int> textKeys_; // held keys that typed into the open run
    int textRun_ = -1;
    std::map<int, Press> presses_; // 0 left, 1 right
};

// Centiseconds, rounded half up, never below 0.
std::int64_t centiseconds(std::int64_t ms) {
    return ms <= 0 ? 0 : (ms + 5) / 10;
}

QString secondsFromCentiseconds(std::int64_t cs) {
    return pagerecords::secondsText(static_cast<double>(cs) / 100.0);
}

// How long a recorded Window page waits for its window to become active.
const QString kWindowSeconds = QStringLiteral("5");

QStringList waitUntilOver(std::int64_t pauseMs) {
    return {pagekinds::name::waitUntilOver(),
            pagerecords::secondsText(static_cast<double>(pauseMs) / 1000.0)};
}

// Actions in the order they began, as pages. Lengths are to 0.01 s, pauses to
// the millisecond, worked out against the replay's own timeline: each action
// starts when it did, whatever the rounding of the lengths before it.
RecordedPages toPages(std::vector<Action> actions) {
    RecordedPages pages;
    std::stable_sort(actions.begin(), actions.end(),
                     [](const Action &a, const Action &b) { return a.start < b.start; });
    if (actions.empty())
        return pages;
    const std::int64_t origin = actions.front().start;
    std::uint64_t lastWindow = 0; // the window the last click went to
    std::int64_t replayAt = 0;    // ms after origin at which the replay starts this action
    for (size_t i = 0; i < actions.size(); ++i) {
        const Action &a = actions[i];
        const bool last = i + 1 == actions.size();
        std::int64_t end = a.end;
        // An action that overlaps the next one ends where the next begins, so
        // the replay starts the next one on time.
        if (!last && actions[i + 1].start > a.start)
            end = std::min(end, actions[i + 1].start);
        const std::int64_t lengthCs = std::max<std::int64_t>(1, centiseconds(end - a.start));
        std::int64_t pauseMs = 0;
        if (!last)
            pauseMs =
                std::max<std::int64_t>(0, actions[i + 1].start - origin - replayAt - lengthCs * 10);
        replayAt += lengthCs * 10 + pauseMs;

        const QString length = secondsFromCentiseconds(lengthCs);
        switch (a.kind) {
        case Kind::Click:
            if (!a.hasPos) {
                // Where the system does not say where a click went, the page
                // clicks wherever the pointer is when it runs; a place made
                // up would be a lie.
                lastWindow = 0;
            } else if (a.window.id != 0) {
                // Found again by its title and program when the page runs, so
                // a replay clicks the same place in it wherever it is then.
                const windowmatch::Choice choice{QString::fromStdU16String(a.window.title),
                                                 windowmatch::Mode::Contains,
                                                 QString::fromStdU16String(a.window.program)};
                if (a.window.id != lastWindow) {
                    QStringList bringUp{pagekinds::name::window()};
                    windowmatch::toRecord(bringUp, choice);
                    bringUp << kWindowSeconds;
                    pages.commands.append(bringUp);
                    pages.conditions.append(waitUntilOver(0));
                    lastWindow = a.window.id;
                }
                QStringList pointer{pagekinds::name::pointerInWindow()};
                windowmatch::toRecord(pointer, choice);
                pointer << QString::number(a.pos.x - a.window.client.x)
                        << QString::number(a.pos.y - a.window.client.y);
                pages.commands.append(pointer);
            } else {
                pages.commands.append({pagekinds::name::mousePointer(), QString::number(a.pos.x),
                                       QString::number(a.pos.y)});
                lastWindow = 0; // it may have taken the focus from the last window
            }
            if (a.hasPos)
                pages.conditions.append(waitUntilOver(0));
            pages.commands.append({pagekinds::name::click(),
                                   a.left ? pagerecords::leftSide : pagerecords::rightSide,
                                   length});
            break;
        case Kind::Key:
            pages.commands.append(
                {pagekinds::name::key(), keyCombinationText(a.vk, a.mask), length});
            break;
        case Kind::Text:
            pages.commands.append({pagekinds::name::enterText(), a.text, length});
            break;
        }
        pages.conditions.append(waitUntilOver(pauseMs));
    }
    return pages;
}

RecordedPages convert(const std::vector<RawInputEvent> &events, std::int64_t endTime,
                      std::int64_t startTime) {
    Converter converter;
    for (const RawInputEvent &e : events) {
        if (e.timeMs < startTime)
            converter.takeBefore(e);
        else
            converter.take(e);
    }
    return toPages(converter.finish(endTime));
}

constexpr std::int64_t kNoTime = std::numeric_limits<std::int64_t>::min();

} // namespace

ActionRecording::ActionRecording(const QString &stopCommand)
    : startTime_(kNoTime), lastTime_(kNoTime), lastWithheld_(kNoTime) {
    const RunKeys keys = parseRunKeys(stopCommand);
    stopVk_ = keys.vk;
    stopMask_ = keys.mask;
}

bool ActionRecording::add(const platform::RawInputEvent &event) {
    if (stopped_)
        return false;
    const bool isKey = event.type == Type::KeyDown || event.type == Type::KeyUp;
    if (event.type == Type::KeyDown && stopVk_ && !down_[event.vk]) {
        // A generic modifier code in the stop command stands for either side.
        const int stopBit = storedModifierBit(stopVk_);
        const bool sameKey = event.vk == stopVk_ || (stopVk_ >= 16 && stopVk_ <= 18 &&
                                                     storedModifierBit(event.vk) == stopBit);
        int held = storedModifierBit(event.vk);
        for (const auto &key : down_)
            if (key.second)
                held |= storedModifierBit(key.first);
        if (sameKey && held == wantedModifiers(stopVk_, stopMask_)) {
            stopped_ = true;
            stopTime_ = event.timeMs;
            return true;
        }
    }
    if (isKey)
        down_[event.vk] = event.type == Type::KeyDown;
    events_.push_back(event);
    lastTime_ = std::max(lastTime_, event.timeMs);
    return false;
}

void ActionRecording::addWithheld(std::int64_t timeMs) {
    if (!stopped_)
        lastWithheld_ = std::max(lastWithheld_, timeMs);
}

void ActionRecording::startAt(std::int64_t timeMs) {
    if (timeMs >= 0)
        startTime_ = timeMs;
    else
        startTime_ = lastTime_ == kNoTime ? kNoTime : lastTime_ + 1;
}

RecordedPages ActionRecording::pages() const {
    std::int64_t end = stopped_ ? stopTime_ : 0;
    if (!stopped_ && !events_.empty())
        end = events_.back().timeMs;
    RecordedPages pages = convert(events_, end, startTime_);
    pages.skippedProtectedInput = lastWithheld_ != kNoTime && lastWithheld_ >= startTime_;
    return pages;
}

RecordedPages pagesFor(const std::vector<platform::RawInputEvent> &events) {
    return convert(events, events.empty() ? 0 : events.back().timeMs, kNoTime);
}

} // namespace actionrecording
