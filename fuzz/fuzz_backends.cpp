// The fuzz build has no display system: the backend table's X11, Wayland,
// GNOME and KDE rows make nothing, so platform::backend() is the backend
// that can do nothing, as under Qt's offscreen platform.

#include "platform/backend.h"
#include "platform/gnome/gnomebackend.h"
#include "platform/kde/kdebackend.h"
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

bool platform::wayland::listGlobals(std::vector<std::string> &) {
    return false;
}

namespace platform::gnome {
bool isGnomeWayland() {
    return false;
}
std::unique_ptr<Backend> createBackend(std::string &error) {
    error = "not in the fuzz build";
    return nullptr;
}
} // namespace platform::gnome

namespace platform::kde {
bool isKwin(const std::vector<std::string> &) {
    return false;
}
std::unique_ptr<Backend> createBackend(std::string &error) {
    error = "not in the fuzz build";
    return nullptr;
}
} // namespace platform::kde
