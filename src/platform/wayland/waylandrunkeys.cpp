#include "waylandrunkeys.h"

#include "swaykeys.h"

namespace platform::wayland {

std::unique_ptr<RunKeys> createDesktopRunKeys() {
    return createSwayRunKeys();
}

} // namespace platform::wayland
