#include "x11backend.h"

#include "platform/backend.h"
#include "x11input.h"
#include "x11keyevents.h"
#include "x11shortcuts.h"

namespace platform::x11 {
namespace {

class X11Backend final : public Backend {
public:
    explicit X11Backend(std::unique_ptr<X11Input> input)
        : input_(std::move(input)), keyEvents_(*input_), shortcuts_(*input_) {
        input_->setCompanions(&keyEvents_, &shortcuts_);
    }
    ~X11Backend() override { input_->setCompanions(nullptr, nullptr); }

    Capabilities capabilities() const override { return desktopInputCapabilities("x11"); }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return &keyEvents_; }
    GlobalShortcuts *shortcuts() override { return &shortcuts_; }
    std::unique_ptr<InputRecorder> createRecorder() override { return x11::createRecorder(); }

private:
    // Declared first: the others use it to their end.
    std::unique_ptr<X11Input> input_;
    X11KeyEvents keyEvents_;
    X11Shortcuts shortcuts_;
};

} // namespace

std::unique_ptr<Backend> createBackend(std::string &error) {
    std::unique_ptr<X11Input> input = X11Input::create(error);
    if (!input)
        return nullptr;
    return std::make_unique<X11Backend>(std::move(input));
}

} // namespace platform::x11
