#include "x11backend.h"

#include "platform/backend.h"
#include "x11input.h"
#include "x11keyevents.h"
#include "x11shortcuts.h"
#include "x11windows.h"

namespace platform::x11 {
namespace {

class X11Backend final : public Backend {
public:
    X11Backend(std::unique_ptr<X11Input> input, std::unique_ptr<WindowAccess> windows)
        : input_(std::move(input)), keyEvents_(*input_), shortcuts_(*input_),
          windows_(std::move(windows)) {
        input_->setCompanions(&keyEvents_, &shortcuts_);
    }
    ~X11Backend() override { input_->setCompanions(nullptr, nullptr); }

    Capabilities capabilities() const override {
        Capabilities c = desktopInputCapabilities("x11");
        c.windowAccess = windows_ != nullptr;
        return c;
    }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return &keyEvents_; }
    GlobalShortcuts *shortcuts() override { return &shortcuts_; }
    WindowAccess *windowAccess() override { return windows_.get(); }
    std::unique_ptr<InputRecorder> createRecorder() override { return x11::createRecorder(); }

private:
    // Declared first: the others use it to their end.
    std::unique_ptr<X11Input> input_;
    X11KeyEvents keyEvents_;
    X11Shortcuts shortcuts_;
    std::unique_ptr<WindowAccess> windows_; // null: its connection failed
};

} // namespace

std::unique_ptr<Backend> createBackend(std::string &error) {
    std::unique_ptr<X11Input> input = X11Input::create(error);
    if (!input)
        return nullptr;
    // Input works without it: the window pages then say it is missing.
    std::string windowsError;
    std::unique_ptr<WindowAccess> windows = createWindowAccess(windowsError);
    return std::make_unique<X11Backend>(std::move(input), std::move(windows));
}

} // namespace platform::x11
