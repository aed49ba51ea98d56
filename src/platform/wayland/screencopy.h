#pragma once

// The screen through zwlr_screencopy_manager_v1 on the backend's connection,
// where the compositor offers it. Every call takes the connection's mutex.
//
// What changed: where the compositor offers version 2, each output has a
// copy waiting for damage (copy_with_damage) on a buffer of its own; the
// compositor completes it once something is drawn there and says where, and
// keeps what is drawn after until the next copy asks. So nothing is copied
// while the screen is still, and a changing screen costs one copy of an
// output per question at most.

#include "platform/damagehistory.h"
#include "platform/screenreader.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace platform::wayland {

class WaylandConnection;

class ScreenCopy {
public:
    explicit ScreenCopy(WaylandConnection &connection);
    ~ScreenCopy();

    bool available();
    // `rect` in layout coordinates, within one output; the image in the same
    // (logical) pixels, one sample each on a scaled output.
    bool capture(const Rect &rect, ScreenImage &image);
    // ScreenReader::changesSince, in layout coordinates: false where the
    // compositor cannot tell (no version 2), the first time, and after the
    // outputs changed or a copy failed.
    bool changesSince(std::uint64_t &token, std::vector<Rect> &changed);

    struct Watch; // one output's copy waiting for damage

private:
    // With the mutex held: takes what the watches heard into the history,
    // and sets a watch going on every output that has none.
    void collectLocked();

    WaylandConnection &connection_;
    std::vector<std::unique_ptr<Watch>> watches_;
    std::vector<Rect> boxes_; // the outputs' boxes when last collected
    DamageHistory history_;
    bool watching_ = false;
};

} // namespace platform::wayland
