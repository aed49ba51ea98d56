#pragma once

// The desktop's top-level windows: what they are called, where their client
// areas are, which one is active, and asking for one to become active.
// Positions are physical pixels on the whole (virtual) screen, which on
// Windows may start at negative coordinates. Plain C++17 only.

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
    // Which program: WM_CLASS's class on X11, the program's file name
    // ("notepad.exe") on Windows.
    std::u16string program;
    std::int64_t pid = 0; // 0: unknown
    Rect client;          // the client area on the screen
};

class WindowAccess {
public:
    virtual ~WindowAccess() = default;
    // Visible top-level windows, highest in the stacking order first. A
    // window that vanishes while it is being read is left out.
    virtual std::vector<WindowInfo> windows() = 0;
    // Fresh facts about one window; false when it is gone.
    virtual bool info(std::uint64_t id, WindowInfo &out) = 0;
    // 0 when none is active.
    virtual std::uint64_t activeWindow() = 0;
    // The top-level window whose frame holds the point; 0 when none does.
    virtual std::uint64_t windowAt(int x, int y) = 0;
    // Asks for the window to become the active one (restoring a minimised
    // window, switching desktops, retrying as the system needs) within a
    // bounded time. True when it is active on return; false when the
    // system refused or the window is gone. Callers that need it active
    // wait for activeWindow() themselves as well.
    virtual bool activate(std::uint64_t id) = 0;
};

} // namespace platform
