#pragma once

// Holds the Ctrl+Alt+G shortcut of the position capture through the
// backend's global shortcuts, for as long as the holder exists.

#include "tarnwick.h"

#include <functional>

class tarnwick::GlobalHotkeyFilter {
public:
    explicit GlobalHotkeyFilter(platform::Shortcut id);
    ~GlobalHotkeyFilter(); // gives the shortcut back

    // Takes Ctrl+Alt+G; false when the backend has no shortcuts or another
    // program holds the combination.
    bool add();

    // Runs on the GUI thread from its event loop; it should only queue work.
    std::function<void()> callback;
    platform::Shortcut hotkeyId;

private:
    bool added_ = false;
};
