#pragma once

// The virtual pointer (zwlr_virtual_pointer_manager_v1) on the backend's
// connection, moved in absolute positions over the output layout. Wayland
// tells no client where the pointer is: the last position we set is the
// answer. Every call takes the connection's mutex.

#include "platform/inputlayer.h"

#include <map>

struct zwlr_virtual_pointer_v1;

namespace platform::wayland {

class WaylandConnection;

class VirtualPointer {
public:
    explicit VirtualPointer(WaylandConnection &connection);
    ~VirtualPointer();
    // Makes the pointer, at the middle of the layout.
    void start();

    void mouseDown(MouseButton button);
    void mouseUp(MouseButton button);
    Point cursorPos();
    void setCursorPos(int x, int y);
    // Our own buttons only.
    bool isDown(MouseButton button);
    void releaseAll();

private:
    void sendButtonLocked(MouseButton button, bool down);

    WaylandConnection &connection_;
    zwlr_virtual_pointer_v1 *pointer_ = nullptr;
    std::map<MouseButton, bool> heldButtons_;
    Point cursor_;
};

} // namespace platform::wayland
