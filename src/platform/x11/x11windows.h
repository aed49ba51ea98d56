#pragma once

// Window access on X11, on an xcb connection of its own: xcb is thread safe
// and hands each request's error back with its reply, so the run's threads
// call it freely and a window that vanishes mid-read is an answer, not a
// process-wide error handler's business. Under an EWMH window manager it
// reads the manager's client list and asks the manager to activate; without
// one it walks the tree and raises and focuses directly. No Qt here.

#include "platform/windowaccess.h"

#include <memory>
#include <string>

namespace platform::x11 {

// How long activate() tries before it reports failure.
constexpr int kActivateTimeoutMs = 1500;

// Opens $DISPLAY; null with the reason in `error` when it cannot.
std::unique_ptr<WindowAccess> createWindowAccess(std::string &error);

} // namespace platform::x11
