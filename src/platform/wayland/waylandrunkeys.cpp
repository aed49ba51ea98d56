#include "waylandrunkeys.h"

#include "platform/gnome/gnomebackend.h"
#include "platform/gnome/gnomerunkeys.h"
#include "swaykeys.h"

namespace platform::wayland {

std::unique_ptr<RunKeys> createDesktopRunKeys() {
    // GNOME's through our shell extension, where it answers.
    if (gnome::isGnomeWayland())
        if (std::unique_ptr<RunKeys> gnome = gnome::createGnomeRunKeys())
            return gnome;
    return createSwayRunKeys();
}

} // namespace platform::wayland
