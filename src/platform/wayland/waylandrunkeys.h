#pragma once

// The binders of a run's keys for Wayland desktops, where no client may hear
// the keyboard through the compositor: sway's IPC (swaykeys.h); each further
// desktop is one more binder here. The X11 backend asks too, since under
// XWayland its program hears only what goes to X windows. Plain C++
// interface.

#include "platform/runkeybindings.h"

#include <memory>

namespace platform::wayland {

// The binder of this session's desktop: sway's where SWAYSOCK is set; null
// where the program knows none.
std::unique_ptr<RunKeys> createDesktopRunKeys();

} // namespace platform::wayland
