#pragma once

// Reads the X screen (the root window) on a connection of its own, through
// MIT-SHM where the server shares memory with us, else through XGetImage;
// what changed on it through DAMAGE where the server has it.
// Thread-safe: every call holds the reader's mutex. No Qt in this header.

#include "platform/screenreader.h"

#include <memory>
#include <string>

namespace platform::x11 {

// Opens its connection to DISPLAY; null with a reason in `error` when it
// cannot.
std::unique_ptr<ScreenReader> createScreenReader(std::string &error);

} // namespace platform::x11
