#include "waylandinput.h"

#include "screencopy.h"
#include "virtualkeyboard.h"
#include "virtualpointer.h"
#include "waylandconnection.h"

#include <mutex>

namespace platform::wayland {

std::unique_ptr<WaylandInput> WaylandInput::create(std::string &error) {
    std::unique_ptr<WaylandInput> input(new WaylandInput);
    if (!input->open(error))
        return nullptr;
    return input;
}

bool WaylandInput::open(std::string &error) {
    connection_ = WaylandConnection::open(error);
    if (!connection_)
        return false;
    {
        std::lock_guard<std::mutex> lock(connection_->mutex());
        if (!connection_->seat() || !connection_->keyboardManager() ||
            !connection_->pointerManager()) {
            error = "this Wayland compositor offers no virtual keyboard and pointer "
                    "(zwp_virtual_keyboard_manager_v1, zwlr_virtual_pointer_manager_v1)";
            return false;
        }
    }
    keyboard_ = std::make_unique<VirtualKeyboard>(*connection_);
    pointer_ = std::make_unique<VirtualPointer>(*connection_);
    screen_ = std::make_unique<ScreenCopy>(*connection_);
    if (!keyboard_->start(error))
        return false;
    pointer_->start();
    std::lock_guard<std::mutex> lock(connection_->mutex());
    if (!connection_->roundtripLocked()) {
        error = "the Wayland compositor refused the virtual keyboard or pointer";
        return false;
    }
    return true;
}

WaylandInput::~WaylandInput() {
    screen_.reset();
    pointer_.reset();
    keyboard_.reset();
}

void WaylandInput::keyDown(int vk) {
    keyboard_->keyDown(vk);
}

void WaylandInput::keyUp(int vk) {
    keyboard_->keyUp(vk);
}

void WaylandInput::unicodeDown(char16_t unit) {
    keyboard_->unicodeDown(unit);
}

void WaylandInput::unicodeUp(char16_t unit) {
    keyboard_->unicodeUp(unit);
}

void WaylandInput::textAhead(const char16_t *units, std::size_t count) {
    keyboard_->textAhead(units, count);
}

void WaylandInput::mouseDown(MouseButton button) {
    pointer_->mouseDown(button);
}

void WaylandInput::mouseUp(MouseButton button) {
    pointer_->mouseUp(button);
}

Point WaylandInput::cursorPos() {
    return pointer_->cursorPos();
}

void WaylandInput::setCursorPos(int x, int y) {
    pointer_->setCursorPos(x, y);
}

bool WaylandInput::isDown(int vk) {
    if (vk == kVkLButton)
        return pointer_->isDown(MouseButton::Left);
    if (vk == kVkRButton)
        return pointer_->isDown(MouseButton::Right);
    return keyboard_->isDown(vk);
}

void WaylandInput::releaseAll() {
    keyboard_->releaseAll();
    pointer_->releaseAll();
    sync();
}

LayoutBox WaylandInput::layout() {
    std::lock_guard<std::mutex> lock(connection_->mutex());
    connection_->pumpLocked();
    return connection_->outputs().layout();
}

std::vector<Rect> WaylandInput::outputBoxes() {
    std::lock_guard<std::mutex> lock(connection_->mutex());
    connection_->pumpLocked();
    return connection_->outputs().boxes();
}

bool WaylandInput::canCapture() {
    return screen_->available();
}

bool WaylandInput::capture(const Rect &rect, ScreenImage &image) {
    return screen_->capture(rect, image);
}

std::uint64_t WaylandInput::keymapUploads() {
    return keyboard_->keymapUploads();
}

bool WaylandInput::sync() {
    std::lock_guard<std::mutex> lock(connection_->mutex());
    return connection_->roundtripLocked();
}

} // namespace platform::wayland
