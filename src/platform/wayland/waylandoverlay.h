#pragma once

// The point picker on wlroots compositors: no Wayland client may read the
// pointer or hear a key outside its own surfaces, so a pick puts a
// transparent layer (zwlr_layer_shell_v1, the overlay layer, all four edges,
// the keyboard exclusively) over every output and takes the next left click
// on it; Escape cancels. The point is in the output layout's logical
// coordinates (xdg-output), the ones the virtual pointer of WaylandInput
// moves in. Each pick runs on a thread of its own, on a connection of its
// own, which lives only as long as the pick.

#include "platform/pointpicker.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace platform::wayland {

class WaylandOverlay final : public PointPicker {
public:
    // Null where the compositor of WAYLAND_DISPLAY offers no layer shell.
    static std::unique_ptr<WaylandOverlay> create();
    ~WaylandOverlay() override; // cancels a running pick

    bool start(Done done) override;
    void cancel() override;

    // The layer is up on every output and the compositor has taken it: a
    // click from now on is the pick's. For tests, which click through a
    // virtual pointer.
    bool shown() const { return shown_.load(); }

private:
    WaylandOverlay() = default;
    PickOutcome run(Point &point);

    std::mutex mutex_; // running_, thread_, and writing to wakeFd_
    int wakeFd_ = -1;  // an eventfd: cancel() wakes the pick's poll
    bool running_ = false;
    std::thread thread_;
    std::atomic<bool> shown_{false};
};

} // namespace platform::wayland
