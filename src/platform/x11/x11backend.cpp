#include "x11backend.h"

#include "platform/backend.h"
#include "platform/wayland/waylandrunkeys.h"
#include "x11input.h"
#include "x11keyevents.h"
#include "x11screen.h"
#include "x11shortcuts.h"
#include "x11windows.h"

namespace platform::x11 {
namespace {

class X11Backend final : public Backend {
public:
    X11Backend(std::unique_ptr<X11Input> input, std::unique_ptr<WindowAccess> windows,
               std::unique_ptr<ScreenReader> screen)
        : input_(std::move(input)), keyEvents_(*input_), shortcuts_(*input_),
          windows_(std::move(windows)), screen_(std::move(screen)),
          // Under XWayland only keys meant for X windows are heard: the
          // Wayland desktop's binding hears the others.
          runKeys_(RunKeyWay::Heard, wayland::createDesktopRunKeys()) {
        input_->setCompanions(&keyEvents_, &shortcuts_);
    }
    ~X11Backend() override { input_->setCompanions(nullptr, nullptr); }

    Capabilities capabilities() const override {
        Capabilities c = desktopInputCapabilities("x11");
        c.windowAccess = windows_ != nullptr;
        c.windowGeometry = c.windowAccess;
        c.screenReading = screen_ != nullptr;
        return c;
    }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return &keyEvents_; }
    GlobalShortcuts *shortcuts() override { return &shortcuts_; }
    WindowAccess *windowAccess() override { return windows_.get(); }
    ScreenReader *screenReader() override { return screen_.get(); }
    RunKeys *runKeys() override { return &runKeys_; }
    std::unique_ptr<InputRecorder> createRecorder() override { return x11::createRecorder(); }

private:
    // Declared first: the others use it to their end.
    std::unique_ptr<X11Input> input_;
    X11KeyEvents keyEvents_;
    X11Shortcuts shortcuts_;
    std::unique_ptr<WindowAccess> windows_; // null: its connection failed
    std::unique_ptr<ScreenReader> screen_;  // likewise
    DesktopRunKeys runKeys_;
};

} // namespace

std::unique_ptr<Backend> createBackend(std::string &error) {
    std::unique_ptr<X11Input> input = X11Input::create(error);
    if (!input)
        return nullptr;
    // Input works without them: the pages that need them then say so.
    std::string windowsError;
    std::unique_ptr<WindowAccess> windows = createWindowAccess(windowsError);
    std::string screenError;
    return std::make_unique<X11Backend>(std::move(input), std::move(windows),
                                        createScreenReader(screenError));
}

} // namespace platform::x11
