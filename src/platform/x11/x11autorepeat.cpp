#include "x11autorepeat.h"

#include "x11input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <cstring>

namespace platform::x11 {

// The server repeats a key through the device it came from and through the
// core keyboard, which copies the controls of a device only when events
// start coming from another one: after another XTest client's keys it may
// still repeat though the XTEST device does not. So the core keyboard goes
// off too; that reaches every keyboard, and the user's own are set back as
// they were. Their setting (what `xset r` chose) is also what the XTEST
// device goes back to, whatever another instance left on it.
bool AutoRepeat::findXtestKeyboard(Display *display) {
    if (xtestKeyboard_ != -1)
        return xtestKeyboard_ >= 0;
    xtestKeyboard_ = -2;
    int xiOpcode = 0, event = 0, errorBase = 0;
    if (!XQueryExtension(display, "XInputExtension", &xiOpcode, &event, &errorBase))
        return false;
    int major = 2, minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success)
        return false;
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(display, XIAllDevices, &count);
    for (int i = 0; i < count; ++i)
        if (devices[i].use == XISlaveKeyboard &&
            std::strcmp(devices[i].name, "Virtual core XTEST keyboard") == 0)
            xtestKeyboard_ = devices[i].deviceid;
    XIFreeDeviceInfo(devices);
    if (xtestKeyboard_ < 0)
        qCWarning(lcX11Input) << "No XTEST keyboard device: keys held by a run may autorepeat";
    return xtestKeyboard_ >= 0;
}

void AutoRepeat::readUsersRepeat(Display *display) {
    usersKeyboards_.clear();
    int count = 0;
    XIDeviceInfo *devices = XIQueryDevice(display, XIAllDevices, &count);
    int master = -1;
    for (int i = 0; i < count; ++i)
        if (devices[i].deviceid == xtestKeyboard_)
            master = devices[i].attachment;
    for (int i = 0; i < count; ++i) {
        const XIDeviceInfo &d = devices[i];
        if (d.use != XISlaveKeyboard || d.deviceid == xtestKeyboard_ || d.attachment != master)
            continue;
        XkbDescPtr desc = XkbGetMap(display, 0, static_cast<unsigned>(d.deviceid));
        if (desc && XkbGetControls(display, XkbControlsEnabledMask, desc) == Success && desc->ctrls)
            usersKeyboards_.emplace_back(d.deviceid,
                                         (desc->ctrls->enabled_ctrls & XkbRepeatKeysMask) != 0);
        if (desc)
            XkbFreeKeyboard(desc, 0, True);
    }
    XIFreeDeviceInfo(devices);
}

bool AutoRepeat::usersRepeat() const {
    if (usersKeyboards_.empty())
        return true; // the server's default
    return std::any_of(usersKeyboards_.begin(), usersKeyboards_.end(),
                       [](const std::pair<int, bool> &k) { return k.second; });
}

void AutoRepeat::write(Display *display, bool ours) const {
    // Every keyboard, the core one among them, takes what ours should do; then
    // the user's own go back to their setting.
    const bool value = ours && usersRepeat();
    XkbChangeEnabledControls(display, XkbUseCoreKbd, XkbRepeatKeysMask,
                             value ? XkbRepeatKeysMask : 0);
    for (const auto &keyboard : usersKeyboards_)
        if (keyboard.second != value)
            XkbChangeEnabledControls(display, static_cast<unsigned>(keyboard.first),
                                     XkbRepeatKeysMask, keyboard.second ? XkbRepeatKeysMask : 0);
}

bool AutoRepeat::nothingHeld(Display *display, bool soon) {
    if (!off_)
        return false;
    if (soon) {
        // Typed text: once the typing pauses, not between characters.
        restoreDue_ = Clock::now() + kRestoreDelay;
        return true;
    }
    write(display, true);
    off_ = false;
    restoreDue_ = {};
    return false;
}

void AutoRepeat::offBeforePress(Display *display, bool again) {
    if (!findXtestKeyboard(display))
        return;
    restoreDue_ = {};
    if (off_ && !again)
        return;
    if (!off_)
        readUsersRepeat(display);
    write(display, false);
    off_ = true;
}

void AutoRepeat::restoreThrough(Display *display) {
    if (!off_)
        return;
    int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
    if (XkbQueryExtension(display, &opcode, &event, &error, &major, &minor))
        write(display, true);
    off_ = false;
}

} // namespace platform::x11
