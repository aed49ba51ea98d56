#include "x11backend.h"

#include "platform/backend.h"
#include "x11input.h"
#include "x11keyevents.h"
#include "x11screen.h"
#include "x11shortcuts.h"

namespace platform::x11 {
namespace {

class X11Backend final : public Backend {
public:
    X11Backend(std::unique_ptr<X11Input> input, std::unique_ptr<ScreenReader> screen)
        : input_(std::move(input)), keyEvents_(*input_), shortcuts_(*input_),
          screen_(std::move(screen)) {
        input_->setCompanions(&keyEvents_, &shortcuts_);
    }
    ~X11Backend() override { input_->setCompanions(nullptr, nullptr); }

    Capabilities capabilities() const override {
        Capabilities c = desktopInputCapabilities("x11");
        c.screenReading = screen_ != nullptr;
        return c;
    }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return &keyEvents_; }
    GlobalShortcuts *shortcuts() override { return &shortcuts_; }
    ScreenReader *screenReader() override { return screen_.get(); }
    std::unique_ptr<InputRecorder> createRecorder() override { return x11::createRecorder(); }

private:
    // Declared first: the others use it to their end.
    std::unique_ptr<X11Input> input_;
    X11KeyEvents keyEvents_;
    X11Shortcuts shortcuts_;
    std::unique_ptr<ScreenReader> screen_;
};

} // namespace

std::unique_ptr<Backend> createBackend(std::string &error) {
    std::unique_ptr<X11Input> input = X11Input::create(error);
    if (!input)
        return nullptr;
    // The input layer opened the display already; the screen follows it.
    std::string screenError;
    return std::make_unique<X11Backend>(std::move(input), createScreenReader(screenError));
}

} // namespace platform::x11
