#pragma once

// Asking the user to show a position by clicking it, where a program can
// neither read the pointer nor hear a key outside its own windows (Wayland):
// the position capture's way in there. One of the capabilities of a platform
// backend (backend.h). Plain C++17 only.

#include "inputlayer.h"

#include <functional>

namespace platform {

enum class PickOutcome {
    Picked,    // the point is where the user clicked
    Cancelled, // Escape, or cancel()
    Failed,    // the compositor could not be asked (the connection, a protocol)
};

class PointPicker {
public:
    // Runs once per pick, on a thread of the picker's; it should only hand
    // the answer on (queue it to the GUI thread).
    using Done = std::function<void(PickOutcome outcome, Point point)>;

    virtual ~PointPicker() = default;
    // Starts a pick; false (and `done` never called) while one is running.
    // The point is in the coordinates setCursorPos takes.
    virtual bool start(Done done) = 0;
    // Ends a running pick as cancelled, unless it has just ended otherwise.
    // When it returns, `done` has run or never will. Not from `done`.
    virtual void cancel() = 0;
};

} // namespace platform
