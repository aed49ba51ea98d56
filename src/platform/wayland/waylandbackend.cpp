#include "waylandbackend.h"

#include "evdevinput.h"
#include "platform/backend.h"
#include "screencopy.h"
#include "waylandinput.h"
#include "waylandoverlay.h"
#include "waylandrunkeys.h"
#include "waylandwindows.h"

#include <QLoggingCategory>

#include <wayland-client.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform::wayland {
namespace {

Q_LOGGING_CATEGORY(lcWaylandBackend, "tarnwick.platform")

std::string &devicesNote() {
    static std::string note;
    return note;
}

// Our own keys and buttons, and the user's as the input devices tell them.
class HeardInput final : public InputLayer {
public:
    HeardInput(WaylandInput &input, EvdevInput &heard) : input_(input), heard_(heard) {}
    void keyDown(int vk) override { input_.keyDown(vk); }
    void keyUp(int vk) override { input_.keyUp(vk); }
    void unicodeDown(char16_t unit) override { input_.unicodeDown(unit); }
    void unicodeUp(char16_t unit) override { input_.unicodeUp(unit); }
    void textAhead(const char16_t *units, std::size_t count) override {
        input_.textAhead(units, count);
    }
    void mouseDown(MouseButton button) override { input_.mouseDown(button); }
    void mouseUp(MouseButton button) override { input_.mouseUp(button); }
    Point cursorPos() override { return input_.cursorPos(); }
    void setCursorPos(int x, int y) override { input_.setCursorPos(x, y); }
    bool isDown(int vk) override { return input_.isDown(vk) || heard_.isDown(vk); }
    void releaseAll() override { input_.releaseAll(); }

private:
    WaylandInput &input_;
    EvdevInput &heard_;
};

class WaylandScreen final : public ScreenReader {
public:
    explicit WaylandScreen(WaylandInput &input) : input_(input) {}
    bool region(const Rect &rect, ScreenImage &image) override {
        if (rect.width <= 0 || rect.height <= 0)
            return false;
        if (input_.capture(rect, image))
            return true;
        // Across outputs (a search of the whole layout): each output's part is
        // copied on its own into one picture; what no output shows is black.
        image.width = rect.width;
        image.height = rect.height;
        image.stride = rect.width * 4;
        image.bytes.assign(std::size_t(image.stride) * std::size_t(rect.height), 0);
        bool any = false;
        for (const Rect &o : input_.outputBoxes()) {
            const int x0 = std::max(rect.x, o.x), y0 = std::max(rect.y, o.y);
            const int x1 = std::min(rect.x + rect.width, o.x + o.width);
            const int y1 = std::min(rect.y + rect.height, o.y + o.height);
            if (x0 >= x1 || y0 >= y1)
                continue;
            ScreenImage part;
            if (!input_.capture(Rect{x0, y0, x1 - x0, y1 - y0}, part) || part.width != x1 - x0 ||
                part.height != y1 - y0)
                return false;
            for (int row = 0; row < part.height; ++row)
                std::memcpy(
                    &image.bytes[std::size_t(y0 - rect.y + row) * std::size_t(image.stride) +
                                 std::size_t(x0 - rect.x) * 4],
                    &part.bytes[std::size_t(row) * std::size_t(part.stride)],
                    std::size_t(part.width) * 4);
            any = true;
        }
        return any;
    }
    bool bounds(Rect &rect) override {
        const LayoutBox box = input_.layout();
        rect = Rect{box.x, box.y, box.width, box.height};
        return box.width > 0 && box.height > 0;
    }
    bool changesSince(std::uint64_t &token, std::vector<Rect> &changed) override {
        return input_.screen().changesSince(token, changed);
    }

private:
    WaylandInput &input_;
};

class WaylandBackend final : public Backend {
public:
    // `heard`: the input devices, null where none can be read; `windows`:
    // null where foreign toplevels are not offered.
    WaylandBackend(std::unique_ptr<WaylandInput> input, std::unique_ptr<EvdevInput> heard,
                   std::unique_ptr<WaylandWindows> windows)
        : input_(std::move(input)), heard_(std::move(heard)), windows_(std::move(windows)),
          screen_(*input_), canCapture_(input_->canCapture()), overlay_(WaylandOverlay::create()),
          runKeys_(heard_ ? RunKeyWay::Devices : RunKeyWay::Unheard, createDesktopRunKeys()) {
        if (heard_)
            heardInput_ = std::make_unique<HeardInput>(*input_, *heard_);
    }

    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "wayland";
        c.synthesis = true;
        c.screenReading = canCapture_;
        c.keyEvents = heard_ != nullptr;
        c.recording = heard_ != nullptr;
        c.recordingHearsAll = heard_ != nullptr;
        c.pointPicking = overlay_ != nullptr;
        c.runKeys = runKeys_.way();
        // The toplevels' names and focus, never where they are.
        c.windowAccess = windows_ != nullptr;
        return c;
    }
    WindowAccess *windowAccess() override { return windows_.get(); }
    ScreenReader *screenReader() override { return canCapture_ ? &screen_ : nullptr; }
    PointPicker *pointPicker() override { return overlay_.get(); }
    RunKeys *runKeys() override { return &runKeys_; }
    InputLayer *synthesis() override {
        return heardInput_ ? static_cast<InputLayer *>(heardInput_.get()) : input_.get();
    }
    KeyEvents *keyEvents() override { return heard_ ? &heard_->keyEvents() : nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    std::unique_ptr<InputRecorder> createRecorder() override {
        return heard_ ? heard_->createRecorder() : nullptr;
    }
    WaylandInput &input() { return *input_; }

private:
    std::unique_ptr<WaylandInput> input_;
    std::unique_ptr<EvdevInput> heard_; // stopped before the synthesis goes
    std::unique_ptr<HeardInput> heardInput_;
    std::unique_ptr<WaylandWindows> windows_; // null where foreign toplevels are not offered
    WaylandScreen screen_;
    bool canCapture_;
    std::unique_ptr<WaylandOverlay> overlay_; // null without a layer shell
    DesktopRunKeys runKeys_;
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
    std::unique_ptr<EvdevInput> heard;
    std::string why;
    if (std::unique_ptr<DeviceSource> devices = openInputDevices(why)) {
        heard = std::make_unique<EvdevInput>(std::move(devices));
        devicesNote().clear();
        qCInfo(lcWaylandBackend) << "The keyboard is heard through the input event devices";
    } else {
        devicesNote() = why;
        qCInfo(lcWaylandBackend).noquote()
            << "The keyboard cannot be heard:" << QString::fromStdString(why)
            << "(membership of group input would let the stop keys, the Key and Click "
               "conditions and recording hear it)";
    }
    // Optional: without it the backend still types and clicks.
    std::string windowsError;
    std::unique_ptr<WaylandWindows> windows = WaylandWindows::create(windowsError);
    return std::make_unique<WaylandBackend>(std::move(input), std::move(heard), std::move(windows));
}

WaylandInput *waylandInput(Backend &backend) {
    auto *wayland = dynamic_cast<WaylandBackend *>(&backend);
    return wayland ? &wayland->input() : nullptr;
}

const std::string &inputDevicesNote() {
    return devicesNote();
}

} // namespace platform::wayland
