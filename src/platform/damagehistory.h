#pragma once

// What the screen readers that hear of changes (DAMAGE on X11, screencopy's
// damage on wlroots, the dirty rectangles of DXGI on Windows) keep to answer
// ScreenReader::changesSince: the rectangles told, each with the period it
// fell in. Each answer ends a period and hands out its number as the next
// token; a token from before the last restart, or too old for what is kept,
// cannot be answered. Not locked itself. Plain C++17 only.

#include "windowaccess.h"

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace platform {

class DamageHistory {
public:
    // At most this many rectangles are kept; a caller that asks too
    // seldom learns that it cannot know.
    explicit DamageHistory(std::size_t keep = 4096) : keep_(keep) {}

    // Nothing told before counts any more (the reader started, the screen
    // changed size, a change may have gone unheard).
    void restart();
    // A change in the period going on.
    void add(const Rect &rect);
    // ScreenReader::changesSince's answer: true with the changes after
    // `token`'s period where they are known; `token` set either way.
    bool since(std::uint64_t &token, std::vector<Rect> &changed);

private:
    std::size_t keep_;
    std::uint64_t serial_ = 0; // the period going on is serial_ + 1
    std::uint64_t floor_ = 1;  // tokens below cannot be answered
    std::deque<std::pair<std::uint64_t, Rect>> history_;
};

} // namespace platform
