#pragma once

// What the Wayland backend hears through the input event devices
// (evdevdevices.h): a thread of its own reads them, keeps which keys and
// buttons are down, pushes key and button events to listeners on the GUI thread
// (KeyEvents) and hands keys and buttons to recorders on its own thread.
//
// Keys are the keys at those positions on a US keyboard (the Wayland
// keymap's table, read backwards): the devices say where a key is, not what
// the compositor's layout makes of it. For the same reason a recorded key
// down carries no text, and since Wayland tells no program where the
// pointer is, a recorded button carries no position (RawInputEvent::hasPos).
// Nothing is grabbed: a capture that asks to swallow only listens, and
// nothing can be withheld from a recording (no program's password input is
// known here).

#include "evdevdevices.h"
#include "platform/inputlayer.h"
#include "platform/keyevents.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

class QObject;

namespace platform::wayland {

class EvdevInput {
public:
    // Starts reading `source` at once. The key listeners are called on the
    // thread that makes this object (it needs a Qt event loop).
    explicit EvdevInput(std::unique_ptr<DeviceSource> source);
    ~EvdevInput(); // stops reading, then calls nothing
    EvdevInput(const EvdevInput &) = delete;
    EvdevInput &operator=(const EvdevInput &) = delete;

    // Any thread: whether a device holds the key (a generic modifier: either
    // side) or, for 1 and 2, the left or right button down.
    bool isDown(int vk) const;

    KeyEvents &keyEvents();
    std::unique_ptr<InputRecorder> createRecorder();

    // For the recorders (evdevinput.cpp): called on the reader's thread
    // while added; removal waits for a call under way, unless made from it.
    void addRawListener(RawInputListener *listener);
    void removeRawListener(RawInputListener *listener);
    std::int64_t nowMs() const;

private:
    class Listeners;
    struct Translated {
        bool key = false; // else a button
        bool down = false;
        int vk = 0;
        MouseButton button = MouseButton::Left;
        std::int64_t timeMs = 0;
    };

    void readLoop();
    // With stateMutex_ held: updates the state and says what it means.
    void takeLocked(const DeviceEvent &e, std::vector<Translated> &out);
    void pressLocked(int device, unsigned code, bool down, std::int64_t timeMs,
                     std::vector<Translated> &out);
    void deliver(const std::vector<Translated> &events);

    std::unique_ptr<DeviceSource> source_;
    std::unique_ptr<Listeners> listeners_;

    mutable std::mutex stateMutex_;
    std::map<int, DeviceKinds> devices_;
    std::map<int, std::set<unsigned>> held_; // device -> codes down on it

    std::recursive_mutex rawMutex_;
    std::vector<RawInputListener *> raw_;

    std::atomic<bool> stopping_{false};
    std::thread reader_;
};

} // namespace platform::wayland
