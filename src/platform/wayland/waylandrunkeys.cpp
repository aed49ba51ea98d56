#include "waylandrunkeys.h"

#include "swaykeys.h"

namespace platform::wayland {

WaylandRunKeys::WaylandRunKeys(bool devices, std::unique_ptr<RunKeys> desktop)
    : devices_(devices), desktop_(std::move(desktop)) {}

RunKeyWay WaylandRunKeys::way() const {
    if (devices_)
        return RunKeyWay::Devices;
    return desktop_ ? RunKeyWay::Bound : RunKeyWay::Unheard;
}

RunKeyAnswer WaylandRunKeys::ask(const RunKeyRequest &request) {
    if (devices_)
        return RunKeyAnswer{RunKeyWay::Devices, {}, {}};
    if (desktop_)
        return desktop_->ask(request);
    return RunKeyAnswer{RunKeyWay::Unheard, {}, {}};
}

RunKeyAnswer WaylandRunKeys::bind(int id, const RunKeyRequest &request) {
    if (desktop_)
        return desktop_->bind(id, request);
    return RunKeyAnswer{devices_ ? RunKeyWay::Devices : RunKeyWay::Unheard, {}, {}};
}

void WaylandRunKeys::unbind(int id) {
    if (desktop_)
        desktop_->unbind(id);
}

std::unique_ptr<RunKeys> createDesktopRunKeys() {
    return createSwayRunKeys();
}

} // namespace platform::wayland
