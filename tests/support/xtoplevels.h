#pragma once

// Top-level windows of the test's own on the X display, made with plain xcb
// on a connection of their own, so a test controls exactly what the window
// access reads: titles (UTF-8 or Latin-1 only), WM_CLASS, _NET_WM_PID and
// where the client area is (static gravity: a window manager puts the
// client area, not its frame, where asked). Also starts and stops a window
// manager for the tests that run under one.

#include <cstdint>
#include <string>
#include <vector>

struct xcb_connection_t;

namespace testsupport {

class XTopLevels {
public:
    XTopLevels();
    ~XTopLevels();
    XTopLevels(const XTopLevels &) = delete;
    XTopLevels &operator=(const XTopLevels &) = delete;
    bool ok() const;

    // Maps a window; `utf8Title` false gives it only a Latin-1 WM_NAME.
    std::uint32_t open(const std::string &title, const std::string &programClass, int x, int y,
                       int width, int height, bool utf8Title = true);
    void move(std::uint32_t window, int x, int y);
    void close(std::uint32_t window);
    void closeAll();
    // Asks the window manager to iconify it, or to put it on `desktop`.
    void iconify(std::uint32_t window);
    void toDesktop(std::uint32_t window, std::uint32_t desktop);
    std::uint32_t currentDesktop();
    // The window holding the input focus (not its top-level); 0: none.
    std::uint32_t focus();
    // An EWMH window manager is running.
    bool managed();
    // The manager lists `window` among its clients.
    bool listed(std::uint32_t window);
    // Mapped, and so are all its ancestors.
    bool viewable(std::uint32_t window);
    void sync();

private:
    std::uint32_t atom(const char *name);
    void sendToRoot(std::uint32_t window, std::uint32_t type, std::uint32_t d0, std::uint32_t d1);
    bool cardinal(std::uint32_t window, std::uint32_t name, std::uint32_t type,
                  std::uint32_t &value);

    xcb_connection_t *c_ = nullptr;
    std::uint32_t root_ = 0;
    std::vector<std::uint32_t> windows_;
};

// Starts `openbox` on $DISPLAY and waits until it manages the screen;
// returns its process id, or 0 with the reason in `error`.
long startOpenbox(std::string &error);
void stopProcess(long pid);

} // namespace testsupport
