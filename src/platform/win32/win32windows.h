#pragma once

// Window access on Windows: EnumWindows for the list (already in stacking
// order, top first), physical pixels throughout (the process is per-monitor
// DPI aware), and an activation that gets past the foreground lock. Every
// call may come from any thread: none sends a message to a window, so a
// hung program or our own busy GUI thread cannot block it. No Qt here.

#include "platform/windowaccess.h"

#include <memory>

namespace platform::win32 {

// How long activate() tries before it reports failure.
constexpr int kActivateTimeoutMs = 1500;

std::unique_ptr<WindowAccess> createWindowAccess();

} // namespace platform::win32
