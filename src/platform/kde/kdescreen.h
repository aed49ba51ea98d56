#pragma once

// The screen on KWin through its screenshot interface over D-Bus
// (org.kde.KWin.ScreenShot2), which KWin grants only to a program whose
// installed .desktop file names it (X-KDE-DBUS-Restricted-Interfaces) and
// offers only while it composites with OpenGL. A region is captured as it is
// shown, in the layout's logical pixels. Any thread. No Qt in this header.

#include "platform/screenreader.h"

#include <functional>
#include <memory>
#include <string>

namespace platform::kde {

class KdeScreen final : public ScreenReader {
public:
    // `layout` tells the screen's bounds. Null, with why in `error`, where
    // KWin offers no screenshots or refuses this program.
    static std::unique_ptr<KdeScreen> create(std::function<Rect()> layout, std::string &error);
    ~KdeScreen() override;

    bool pixel(int x, int y, Rgb &colour) override;
    bool region(const Rect &rect, ScreenImage &image) override;
    bool bounds(Rect &rect) override;

    struct Impl;

private:
    KdeScreen();
    std::unique_ptr<Impl> d_;
};

} // namespace platform::kde
