#pragma once

// The input layer on wlroots compositors (sway, Hyprland, river, labwc,
// Wayfire): a Wayland connection of its own (waylandconnection.h), a virtual
// keyboard with a keymap of our own (virtualkeyboard.h), a virtual pointer
// (virtualpointer.h) and the screen through screencopy (screencopy.h), each
// taking the connection's one mutex, so the run's threads may call at once.
//
// What Wayland does not let a client know: the pointer's position (the last
// one we set is answered) and keys pressed by anyone else (isDown answers
// for our own keys and buttons).

#include "platform/inputlayer.h"
#include "platform/screenreader.h"
#include "waylandoutputs.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::wayland {

class WaylandConnection;
class VirtualKeyboard;
class VirtualPointer;
class ScreenCopy;

class WaylandInput final : public InputLayer {
public:
    // Connects to the compositor named by WAYLAND_DISPLAY; on failure
    // returns null and says why in `error`.
    static std::unique_ptr<WaylandInput> create(std::string &error);
    ~WaylandInput() override;

    void keyDown(int vk) override;
    void keyUp(int vk) override;
    void unicodeDown(char16_t unit) override;
    void unicodeUp(char16_t unit) override;
    void textAhead(const char16_t *units, std::size_t count) override;
    void mouseDown(MouseButton button) override;
    void mouseUp(MouseButton button) override;
    Point cursorPos() override;
    void setCursorPos(int x, int y) override;
    bool isDown(int vk) override;
    void releaseAll() override;

    // The layout as last heard from the compositor.
    LayoutBox layout();
    // Each output's box in the layout.
    std::vector<Rect> outputBoxes();

    // The screen, where the compositor offers screencopy.
    bool canCapture();
    bool capture(const Rect &rect, ScreenImage &image);
    ScreenCopy &screen() { return *screen_; }

    // How many keymaps were uploaded (the first included): for tests and the
    // benchmark.
    std::uint64_t keymapUploads();
    // Returns once the compositor has handled everything sent so far (it
    // has then passed the keys on to the focused client); false when the
    // connection is lost.
    bool sync();

private:
    WaylandInput() = default;
    bool open(std::string &error);

    // Declared first, so it goes last.
    std::unique_ptr<WaylandConnection> connection_;
    std::unique_ptr<VirtualKeyboard> keyboard_;
    std::unique_ptr<VirtualPointer> pointer_;
    std::unique_ptr<ScreenCopy> screen_;
};

} // namespace platform::wayland
