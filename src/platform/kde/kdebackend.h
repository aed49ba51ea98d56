#pragma once

// The KDE Plasma backend, for KWin's Wayland session: keys, text and clicks
// through KWin's fake input with the clipboard for what the layout cannot
// type (kdeinput.h). KWin offers fake input only to programs an installed
// .desktop file authorises; without it the backend is not made and says how
// to get it. No Qt here.

#include <memory>
#include <string>
#include <vector>

namespace platform {
class Backend;
} // namespace platform

namespace platform::kde {

class KdeInput;

// True when the compositor's globals are KWin's (some of its own protocols
// are among them), whether or not it lets this program send input.
bool isKwin(const std::vector<std::string> &globals);

// Connects to the compositor of WAYLAND_DISPLAY; on failure returns null and
// says why in `error`.
std::unique_ptr<Backend> createBackend(std::string &error);

// The synthesis of a backend made by createBackend; null for any other.
KdeInput *kdeInput(Backend &backend);

} // namespace platform::kde
