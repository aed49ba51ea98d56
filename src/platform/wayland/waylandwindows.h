#pragma once

// Window access on wlroots compositors through wlroots' foreign toplevel
// management (zwlr_foreign_toplevel_manager_v1, version 3), on a Wayland
// connection of its own that a thread of its own reads; one mutex, so any
// thread may call.
//
// What the protocol tells: each toplevel's title, app id (as `program`) and
// states, "activated" among them; and it lets a client ask for one to be
// activated on a seat. What it does not tell, so what this cannot answer:
// where a window is (`client` stays empty, windowAt() is 0), the stacking
// order, the process. windows() therefore lists the activated window first
// and the others newest first, which is the nearest a taskbar can come to
// "topmost first".
//
// Ids count up from 1 as toplevels appear and are never reused while the
// connection lives, so a closed window's id never names another.

#include "platform/windowaccess.h"

#include <memory>
#include <string>

namespace platform::wayland {

// How long activate() waits for the compositor to report the window active.
constexpr int kActivateTimeoutMs = 1500;

class WaylandWindows final : public WindowAccess {
public:
    // Connects to the compositor of WAYLAND_DISPLAY; null with the reason in
    // `error` when it cannot, or when it offers no foreign toplevel manager.
    static std::unique_ptr<WaylandWindows> create(std::string &error);
    ~WaylandWindows() override;
    WaylandWindows(const WaylandWindows &) = delete;
    WaylandWindows &operator=(const WaylandWindows &) = delete;

    std::vector<WindowInfo> windows() override;
    bool info(std::uint64_t id, WindowInfo &out) override;
    std::uint64_t activeWindow() override;
    // Always 0: the protocol says nothing of positions.
    std::uint64_t windowAt(int x, int y) override;
    bool activate(std::uint64_t id) override;

    // The connection, the toplevels and the reading thread; defined in the
    // implementation, where the protocol's listeners reach it.
    struct Connection;

private:
    explicit WaylandWindows(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> c_;
};

} // namespace platform::wayland
