#pragma once

// What the screen shows, in physical pixels: the X11 backend reads the root
// window, the Win32 backend the virtual screen (whose origin may be
// negative), the Wayland backend an output through wlroots' screencopy where
// the compositor offers it (in its layout's logical pixels). Callable from
// any thread. Plain C++17 only.

#include "windowaccess.h"

#include <cstdint>
#include <vector>

namespace platform {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// Rows top to bottom, 4 bytes a pixel (B, G, R, unused), `stride` bytes a row.
struct ScreenImage {
    int width = 0;
    int height = 0;
    int stride = 0;
    std::vector<std::uint8_t> bytes;
};

class ScreenReader {
public:
    virtual ~ScreenReader() = default;
    // Screen coordinates; false outside the screen. A region must lie
    // wholly on it (clip it first), and is read in one piece.
    // pixel() reads a region of one pixel unless a reader knows a cheaper way.
    virtual bool pixel(int x, int y, Rgb &colour) {
        ScreenImage image;
        if (!region(Rect{x, y, 1, 1}, image) || image.bytes.size() < 3)
            return false;
        colour.b = image.bytes[0];
        colour.g = image.bytes[1];
        colour.r = image.bytes[2];
        return true;
    }
    virtual bool region(const Rect &rect, ScreenImage &image) = 0;
    // The part of the screen a region may come from, as it is now; false
    // when the reader cannot tell.
    virtual bool bounds(Rect &rect) = 0;
    // A region known to lie in the client area of `window` (WindowInfo::id).
    // Where a window draws through the GPU and the screen copy comes back
    // black, a backend may ask the window itself to draw.
    virtual bool windowRegion(std::uint64_t window, const Rect &rect, ScreenImage &image) {
        (void)window;
        return region(rect, image);
    }
    // What changed on the screen since the call that set `token` (0 before
    // the first): true with the changed rectangles in screen coordinates
    // (none where nothing changed) where the reader knows; false where it
    // cannot tell (no such information, some of it lost, the first call,
    // the screen's bounds changed), and the caller takes everything as
    // changed. Either way `token` is set
    // for the next call.
    virtual bool changesSince(std::uint64_t &token, std::vector<Rect> &changed) {
        token = 0;
        changed.clear();
        return false;
    }
};

} // namespace platform
