#include "waylandbackend.h"

#include "platform/backend.h"
#include "waylandinput.h"
#include "waylandwindows.h"

#include <wayland-client.h>

#include <cstdlib>

namespace platform::wayland {
namespace {

class WaylandScreen final : public ScreenReader {
public:
    explicit WaylandScreen(WaylandInput &input) : input_(input) {}
    bool pixel(int x, int y, Rgb &colour) override {
        ScreenImage image;
        if (!input_.capture(Rect{x, y, 1, 1}, image))
            return false;
        colour.b = image.bytes[0];
        colour.g = image.bytes[1];
        colour.r = image.bytes[2];
        return true;
    }
    bool region(const Rect &rect, ScreenImage &image) override {
        return input_.capture(rect, image);
    }

private:
    WaylandInput &input_;
};

class WaylandBackend final : public Backend {
public:
    WaylandBackend(std::unique_ptr<WaylandInput> input, std::unique_ptr<WaylandWindows> windows)
        : input_(std::move(input)), windows_(std::move(windows)), screen_(*input_),
          canCapture_(input_->canCapture()) {}

    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "wayland";
        c.synthesis = true;
        c.screenReading = canCapture_;
        // The toplevels' names and focus, never where they are.
        c.windowAccess = windows_ != nullptr;
        return c;
    }
    WindowAccess *windowAccess() override { return windows_.get(); }
    ScreenReader *screenReader() override { return canCapture_ ? &screen_ : nullptr; }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    std::unique_ptr<InputRecorder> createRecorder() override { return nullptr; }

private:
    std::unique_ptr<WaylandInput> input_;
    std::unique_ptr<WaylandWindows> windows_; // null where foreign toplevels are not offered
    WaylandScreen screen_;
    bool canCapture_;
};

void onGlobal(void *data, wl_registry *, uint32_t, const char *interface, uint32_t) {
    static_cast<std::vector<std::string> *>(data)->push_back(interface);
}

void onGlobalRemove(void *, wl_registry *, uint32_t) {}

const wl_registry_listener kListingListener = {onGlobal, onGlobalRemove};

} // namespace

bool listGlobals(std::vector<std::string> &globals) {
    globals.clear();
    const char *name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name)
        return false;
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return false;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kListingListener, &globals);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return answered;
}

std::unique_ptr<Backend> createBackend(std::string &error) {
    // Without a name libwayland would guess "wayland-0".
    const char *name = std::getenv("WAYLAND_DISPLAY");
    if (!name || !*name) {
        error = "WAYLAND_DISPLAY is not set";
        return nullptr;
    }
    std::unique_ptr<WaylandInput> input = WaylandInput::create(error);
    if (!input)
        return nullptr;
    // Optional: without it the backend still types and clicks.
    std::string windowsError;
    std::unique_ptr<WaylandWindows> windows = WaylandWindows::create(windowsError);
    return std::make_unique<WaylandBackend>(std::move(input), std::move(windows));
}

} // namespace platform::wayland
