#pragma once

// The input event devices (/dev/input/event*), read through libevdev where
// the user may read them (members of group `input`): on Wayland the only
// way a program can hear the keyboard and the mouse buttons of the whole
// desktop. Nothing is grabbed: the compositor keeps receiving everything.
//
// The devices come to the reader (evdevinput.h) as a `DeviceSource`, so
// that tests can hand it events of their own. No libevdev types here.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::wayland {

// What a device is good for, judged from the event codes it can send.
struct DeviceKinds {
    bool keyboard = false; // letter keys and the space bar
    bool mouse = false;    // a left button and a pointer axis (mice, touchpads)
};

// `has(type, code)`: whether the device can send that event (EV_KEY and a
// key code, EV_REL and an axis, ...).
using HasEventCode = std::function<bool(unsigned type, unsigned code)>;
DeviceKinds classifyDevice(const HasEventCode &has);

// Something that happened on the devices, in the order it happened.
struct DeviceEvent {
    enum class Kind { Added, Removed, Input };
    Kind kind = Kind::Input;
    int device = 0;    // the source's own number for the device
    DeviceKinds kinds; // Added
    // Added: the key and button codes held down as the device was opened.
    std::vector<unsigned> held;
    // Input: the evdev event (EV_KEY: value 1 down, 0 up, 2 repeat).
    unsigned type = 0;
    unsigned code = 0;
    int value = 0;
    // CLOCK_MONOTONIC milliseconds (the event's own time for Input).
    std::int64_t timeMs = 0;
};

class DeviceSource {
public:
    virtual ~DeviceSource() = default;
    // Waits up to `timeoutMs` for devices that come or go and for their
    // events, and appends them to `out`. False once nothing can be read any
    // more (the reader then ends).
    virtual bool read(std::vector<DeviceEvent> &out, int timeoutMs) = 0;
    // Any thread: a read waiting now returns at once.
    virtual void interrupt() = 0;
    // The present moment on the events' clock.
    virtual std::int64_t nowMs() const = 0;
};

// The keyboards and mice among /dev/input/event* that can be read, and
// those that appear later (inotify on /dev/input). Null when not one
// keyboard can be read; `why` then says what was found, for the user.
std::unique_ptr<DeviceSource> openInputDevices(std::string &why);

} // namespace platform::wayland
