#include "gnomebackend.h"

#include "gnomeinput.h"
#include "gnomelayout.h"
#include "gnomewindows.h"
#include "mutterremote.h"
#include "platform/backend.h"
#include "platform/displaysession.h"
#include "platform/wayland/waylandrunkeys.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace platform::gnome {
namespace {

constexpr unsigned kShiftCode = 42;

std::string &note() {
    static std::string text;
    return text;
}

class GnomeBackend final : public Backend {
public:
    GnomeBackend(std::unique_ptr<MutterRemote> remote, std::unique_ptr<LayoutKeys> layout,
                 std::unique_ptr<GnomeWindows> windows)
        : remote_(std::move(remote)), windows_(std::move(windows)),
          input_(*remote_, std::move(layout),
                 [this] { return windows_ ? windows_->focusedProgram() : std::string(); }),
          runKeys_(RunKeyWay::Unheard, wayland::createDesktopRunKeys()) {}
    ~GnomeBackend() override { input_.releaseAll(); }

    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "gnome";
        c.synthesis = true;
        c.windowAccess = windows_ != nullptr;
        c.windowGeometry = windows_ != nullptr;
        c.runKeys = runKeys_.way();
        return c;
    }
    InputLayer *synthesis() override { return &input_; }
    KeyEvents *keyEvents() override { return nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    WindowAccess *windowAccess() override { return windows_.get(); }
    RunKeys *runKeys() override { return &runKeys_; }
    std::unique_ptr<InputRecorder> createRecorder() override { return nullptr; }

private:
    std::unique_ptr<MutterRemote> remote_;
    std::unique_ptr<GnomeWindows> windows_;
    GnomeInput input_;
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
    return std::make_unique<GnomeBackend>(std::move(remote), std::move(layout), std::move(windows));
}

const std::string &windowsNote() {
    return note();
}

} // namespace platform::gnome
