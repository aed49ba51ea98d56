#include "gnomebackend.h"

#include "gnomeinput.h"
#include "gnomelayout.h"
#include "gnomewindows.h"
#include "mutterremote.h"
#include "pipewireframes.h"
#include "platform/backend.h"
#include "platform/displaysession.h"
#include "platform/wayland/evdevdevices.h"
#include "platform/wayland/evdevinput.h"
#include "platform/wayland/waylandrunkeys.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace platform::gnome {
namespace {

constexpr unsigned kShiftCode = 42;

std::string &note() {
    static std::string text;
    return text;
}

// The screen as the remote-desktop session's screen cast shows it: the
// newest frame of its one PipeWire stream, in the layout's coordinates.
class GnomeScreen final : public ScreenReader {
public:
    GnomeScreen(MutterRemote &remote, tw_pw_frames *frames) : remote_(remote), frames_(frames) {}
    ~GnomeScreen() override { tw_pw_frames_close(frames_); }

    bool pixel(int x, int y, Rgb &colour) override {
        ScreenImage image;
        if (!region(Rect{x, y, 1, 1}, image))
            return false;
        colour.b = image.bytes[0];
        colour.g = image.bytes[1];
        colour.r = image.bytes[2];
        return true;
    }
    bool region(const Rect &rect, ScreenImage &image) override {
        const StreamArea a = remote_.area();
        if (rect.width <= 0 || rect.height <= 0)
            return false;
        image.width = rect.width;
        image.height = rect.height;
        image.stride = rect.width * 4;
        image.bytes.resize(std::size_t(image.stride) * std::size_t(rect.height));
        return tw_pw_frames_copy(frames_, rect.x - a.x, rect.y - a.y, rect.width, rect.height,
                                 image.bytes.data(), image.stride, kFirstFrameMs) == 1;
    }
    bool bounds(Rect &rect) override {
        const StreamArea a = remote_.area();
        rect = Rect{a.x, a.y, a.width, a.height};
        return a.width > 0 && a.height > 0;
    }

private:
    // The stream's first frame comes a moment after it starts.
    static constexpr int kFirstFrameMs = 2000;
    MutterRemote &remote_;
    tw_pw_frames *frames_;
};

// Our own keys and buttons, and the user's as the input devices tell them
// (where the user may read them: group input).
class HeardInput final : public InputLayer {
public:
    HeardInput(InputLayer &input, wayland::EvdevInput &heard) : input_(input), heard_(heard) {}
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
    InputLayer &input_;
    wayland::EvdevInput &heard_;
};

class GnomeBackend final : public Backend {
public:
    GnomeBackend(std::unique_ptr<MutterRemote> remote, std::unique_ptr<LayoutKeys> layout,
                 std::unique_ptr<GnomeWindows> windows, tw_pw_frames *frames,
                 std::unique_ptr<wayland::EvdevInput> heard)
        : remote_(std::move(remote)), windows_(std::move(windows)),
          screen_(frames ? std::make_unique<GnomeScreen>(*remote_, frames) : nullptr),
          heard_(std::move(heard)),
          input_(*remote_, std::move(layout),
                 [this] { return windows_ ? windows_->focusedProgram() : std::string(); }),
          runKeys_(heard_ ? RunKeyWay::Devices : RunKeyWay::Unheard,
                   wayland::createDesktopRunKeys()) {
        if (heard_)
            heardInput_ = std::make_unique<HeardInput>(input_, *heard_);
    }
    ~GnomeBackend() override { input_.releaseAll(); }

    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "gnome";
        c.synthesis = true;
        c.windowAccess = windows_ != nullptr;
        c.windowGeometry = windows_ != nullptr;
        c.screenReading = screen_ != nullptr;
        c.keyEvents = heard_ != nullptr;
        c.recording = heard_ != nullptr;
        c.recordingHearsAll = heard_ != nullptr;
        c.runKeys = runKeys_.way();
        return c;
    }
    InputLayer *synthesis() override {
        return heardInput_ ? static_cast<InputLayer *>(heardInput_.get()) : &input_;
    }
    KeyEvents *keyEvents() override { return heard_ ? &heard_->keyEvents() : nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    WindowAccess *windowAccess() override { return windows_.get(); }
    ScreenReader *screenReader() override { return screen_.get(); }
    RunKeys *runKeys() override { return &runKeys_; }
    std::unique_ptr<InputRecorder> createRecorder() override {
        return heard_ ? heard_->createRecorder() : nullptr;
    }

private:
    std::unique_ptr<MutterRemote> remote_;
    std::unique_ptr<GnomeWindows> windows_;
    std::unique_ptr<GnomeScreen> screen_;        // null where PipeWire cannot be reached
    std::unique_ptr<wayland::EvdevInput> heard_; // null where no keyboard can be read
    GnomeInput input_;
    std::unique_ptr<HeardInput> heardInput_;
    DesktopRunKeys runKeys_;
};

} // namespace

bool isGnomeWayland() {
    const char *desktop = std::getenv("XDG_CURRENT_DESKTOP");
    const char *display = std::getenv("WAYLAND_DISPLAY");
    return desktop && display && *display && desktopOf(desktop) == Desktop::Gnome;
}

std::unique_ptr<Backend> createBackend(std::string &error) {
    auto remote = std::make_unique<MutterRemote>();
    if (!remote->open(error))
        return nullptr;
    // The virtual keyboard comes with the first key, and that key is lost
    // (the window's focus arrives with it too): a harmless one first.
    remote->keycode(kShiftCode, true);
    remote->keycode(kShiftCode, false);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    // The layout as the compositor gives it now that there is a keyboard.
    std::string why;
    std::unique_ptr<LayoutKeys> layout = LayoutKeys::fromCompositor(why);
    if (!layout) {
        error = "the keyboard layout of GNOME cannot be read: " + why;
        return nullptr;
    }
    std::unique_ptr<GnomeWindows> windows = GnomeWindows::create(note());
    if (windows)
        note().clear();
    // Optional: without it the backend still types and clicks.
    tw_pw_frames *frames = tw_pw_frames_open(remote->pipewireNode(), nullptr);
    if (!frames)
        std::fprintf(stderr, "tarnwick: GNOME's screen cast cannot be read through PipeWire\n");
    std::unique_ptr<wayland::EvdevInput> heard;
    if (std::unique_ptr<wayland::DeviceSource> devices = wayland::openInputDevices(why))
        heard = std::make_unique<wayland::EvdevInput>(std::move(devices));
    return std::make_unique<GnomeBackend>(std::move(remote), std::move(layout), std::move(windows),
                                          frames, std::move(heard));
}

const std::string &windowsNote() {
    return note();
}

} // namespace platform::gnome
