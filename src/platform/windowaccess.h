#pragma once

// The desktop's top-level windows. No backend offers it yet; its
// capability record says so (backend.h). Plain C++17 only.

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct WindowInfo {
    std::uint64_t id = 0; // HWND or X window id; 0: none
    std::u16string title;
    std::u16string appId; // window class (Windows), WM_CLASS (X11)
    std::int64_t pid = 0; // 0: unknown
    Rect clientRect;      // on the screen
};

class WindowAccess {
public:
    virtual ~WindowAccess() = default;
    // Top-level windows, topmost first.
    virtual std::vector<WindowInfo> windows() = 0;
    // 0 when none has the focus.
    virtual std::uint64_t activeWindow() = 0;
    virtual bool activate(std::uint64_t id) = 0;
    // The window's outer frame on the screen; false when it is gone.
    virtual bool geometry(std::uint64_t id, Rect &frame) = 0;
};

} // namespace platform
