// The fuzz build has no display system: the backend table's X11 and Wayland
// rows make nothing, so platform::backend() is the backend that can do
// nothing, as under Qt's offscreen platform.

#include "platform/backend.h"
#include "platform/wayland/waylandbackend.h"
#include "platform/x11/x11backend.h"

namespace platform::x11 {
std::unique_ptr<Backend> createBackend(std::string &error) {
    error = "not in the fuzz build";
    return nullptr;
}
} // namespace platform::x11

namespace platform::wayland {
std::unique_ptr<Backend> createBackend(std::string &error) {
    error = "not in the fuzz build";
    return nullptr;
}
} // namespace platform::wayland
