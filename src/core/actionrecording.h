#pragma once

// Turns a stream of the user's raw input events into pages: a click becomes
// a Mouse Pointer page and a Click page, characters typed in a row one Enter
// Text page, any other key or chord a Key page; each page waits until its
// action is over plus the pause the user made before the next action, so a
// replay keeps the user's rhythm. Pointer movement, drags and the chord that
// ends the recording are not recorded.

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
    bool add(const platform::RawInputEvent &event);
    bool stopped() const { return stopped_; }
    // The pages for everything added so far.
    RecordedPages pages() const;

private:
    int stopVk_ = 0;
    int stopMask_ = 0;
    bool stopped_ = false;
    std::int64_t stopTime_ = 0;
    std::vector<platform::RawInputEvent> events_;
    std::map<int, bool> down_; // vk -> held now, for the stop chord
};

// The pages for a whole stream (no stop chord in it).
RecordedPages pagesFor(const std::vector<platform::RawInputEvent> &events);

} // namespace actionrecording
