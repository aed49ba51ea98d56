#include "virtualpointer.h"

#include "virtualkeyboard.h"
#include "waylandconnection.h"

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <linux/input-event-codes.h>

#include <algorithm>
#include <mutex>

namespace platform::wayland {
namespace {

std::uint32_t buttonCode(MouseButton button) {
    return button == MouseButton::Left ? BTN_LEFT : BTN_RIGHT;
}

} // namespace

VirtualPointer::VirtualPointer(WaylandConnection &connection) : connection_(connection) {}

void VirtualPointer::start() {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(connection_.pointerManager(),
                                                                      connection_.seat());
    const LayoutBox box = connection_.outputs().layout();
    cursor_ = {box.x + box.width / 2, box.y + box.height / 2};
}

VirtualPointer::~VirtualPointer() {
    releaseAll();
    std::lock_guard<std::mutex> lock(connection_.mutex());
    if (pointer_)
        zwlr_virtual_pointer_v1_destroy(pointer_);
}

void VirtualPointer::sendButtonLocked(MouseButton button, bool down) {
    zwlr_virtual_pointer_v1_button(pointer_, eventTimeMs(), buttonCode(button),
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED
                                        : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer_);
    connection_.flushLocked();
}

void VirtualPointer::mouseDown(MouseButton button) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    if (!connection_.usableLocked() || !pointer_ || heldButtons_[button])
        return;
    heldButtons_[button] = true;
    sendButtonLocked(button, true);
}

void VirtualPointer::mouseUp(MouseButton button) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    if (!heldButtons_[button])
        return;
    heldButtons_[button] = false;
    if (connection_.usableLocked() && pointer_)
        sendButtonLocked(button, false);
}

Point VirtualPointer::cursorPos() {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    return cursor_;
}

void VirtualPointer::setCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    connection_.pumpLocked(); // outputs come and go
    if (!connection_.usableLocked() || !pointer_)
        return;
    const LayoutBox box = connection_.outputs().layout();
    if (box.width <= 0 || box.height <= 0)
        return;
    // The extent is the layout's size, so a position lands on exactly that
    // point of the layout.
    const int cx = std::clamp(x, box.x, box.x + box.width - 1);
    const int cy = std::clamp(y, box.y, box.y + box.height - 1);
    zwlr_virtual_pointer_v1_motion_absolute(
        pointer_, eventTimeMs(), static_cast<std::uint32_t>(cx - box.x),
        static_cast<std::uint32_t>(cy - box.y), static_cast<std::uint32_t>(box.width),
        static_cast<std::uint32_t>(box.height));
    zwlr_virtual_pointer_v1_frame(pointer_);
    connection_.flushLocked();
    cursor_ = {cx, cy};
}

bool VirtualPointer::isDown(MouseButton button) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    return heldButtons_[button];
}

void VirtualPointer::releaseAll() {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    const bool usable = connection_.usableLocked() && pointer_;
    for (auto &[button, down] : heldButtons_) {
        if (down && usable)
            sendButtonLocked(button, false);
        down = false;
    }
}

} // namespace platform::wayland
