#pragma once

// Turns a stream of the user's raw input events into pages: a click becomes
// a Mouse Pointer page and a Click page (where the window it went to is
// known, a Window Pointer page at its place in that window instead, after a
// Window page that brings the window up when it is not the last click's), characters typed in a row
// one Enter Text page, any other key or chord a Key page; each page waits until its action is over
// plus the pause the user made before the next action, so a replay keeps the user's rhythm. Pointer
// movement, drags and the chord that ends the recording are not recorded.

#include "platform/inputlayer.h"

#include <QList>
#include <QStringList>

#include <cstdint>
#include <map>
#include <vector>

using PageList = QList<QStringList>;

namespace actionrecording {

struct RecordedPages {
    PageList commands;
    PageList conditions;
    // Input was kept back from the recording because it went to a protected
    // input (a password field, a program holding the keyboard).
    bool skippedProtectedInput = false;
};

// A button that moves further than this (pixels, either axis) between down
// and up is a drag, which is not recorded.
constexpr int kDragDistance = 4;

class ActionRecording {
public:
    // `stopCommand` is the stored key combination text that ends a recording
    // ("83,3"); "なし" or an empty text: none.
    explicit ActionRecording(const QString &stopCommand);

    // Takes the next event. Returns true when it completes the stop chord: the
    // recording ends there, without the chord, and later events are ignored.
    // Events before the start only say which keys are held.
    bool add(const platform::RawInputEvent &event);
    // Notes that the recorder kept input back at `timeMs`.
    void addWithheld(std::int64_t timeMs);
    // Events that happened before `timeMs` are not recorded; a negative time
    // starts after the events added so far.
    void startAt(std::int64_t timeMs);
    bool stopped() const { return stopped_; }
    // The pages for everything added so far.
    RecordedPages pages() const;

private:
    int stopVk_ = 0;
    int stopMask_ = 0;
    bool stopped_ = false;
    std::int64_t stopTime_ = 0;
    std::int64_t startTime_;
    std::int64_t lastTime_;
    std::int64_t lastWithheld_;
    std::vector<platform::RawInputEvent> events_;
    std::map<int, bool> down_; // vk -> held now, for the stop chord
};

// The pages for a whole stream (no stop chord in it).
RecordedPages pagesFor(const std::vector<platform::RawInputEvent> &events);

} // namespace actionrecording
