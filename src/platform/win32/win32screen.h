#pragma once

// Reads the screen by BitBlt from the screen's device context into a DIB
// section: physical pixels (the program is DPI aware) on the virtual screen,
// whose origin may be negative. Thread-safe: every call holds the reader's
// mutex. Compiled without Qt.

#include "platform/screenreader.h"

#include <memory>

namespace platform::win32 {

std::unique_ptr<ScreenReader> createScreenReader();

} // namespace platform::win32
