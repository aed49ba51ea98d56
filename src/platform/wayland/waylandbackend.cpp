#include "waylandbackend.h"

#include "platform/backend.h"
#include "waylandinput.h"

#include <cstdlib>

namespace platform::wayland {
namespace {

class WaylandBackend final : public Backend {
public:
    explicit WaylandBackend(std::unique_ptr<WaylandInput> input) : input_(std::move(input)) {}

    Capabilities capabilities() const override {
        Capabilities c;
        c.name = "wayland";
        c.synthesis = true;
        return c;
    }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return nullptr; }
    GlobalShortcuts *shortcuts() override { return nullptr; }
    std::unique_ptr<InputRecorder> createRecorder() override { return nullptr; }

private:
    std::unique_ptr<WaylandInput> input_;
};

} // namespace

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
    return std::make_unique<WaylandBackend>(std::move(input));
}

} // namespace platform::wayland
