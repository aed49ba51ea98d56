#pragma once

// The screen through zwlr_screencopy_manager_v1 on the backend's connection,
// where the compositor offers it. Every call takes the connection's mutex.

#include "platform/screenreader.h"

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

private:
    WaylandConnection &connection_;
};

} // namespace platform::wayland
