// Recording on X11: XInput2 raw key and button events on the root window of a
// connection of its own, read by a thread of its own. Raw events reach us
// whichever window has the focus, and take nothing away from it. The text a
// key types is looked up in the keyboard map with the XKB state the server
// reports on the same connection: its state change for a key comes after the
// raw event of that key, so each key sees the state that was in effect when
// it was pressed.
//
// Raw events carry no autorepeat: a key held alone gets the repeats the
// server gave the focused window added when it comes up, from the repeat
// settings of the device it came from.

#include "x11backend.h"
#include "x11input.h"
#include "x11keytable.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <thread>

namespace platform::x11 {
namespace {

// The character a keysym stands for, 0 for keys that type nothing printable.
char32_t codePointForKeysym(unsigned long keysym) {
    if ((keysym >= 0x20 && keysym <= 0x7E) || (keysym >= 0xA0 && keysym <= 0xFF))
        return static_cast<char32_t>(keysym); // Latin-1 keysyms are their code points
    if (keysym >= 0x1000100 && keysym <= 0x110FFFF)
        return static_cast<char32_t>(keysym - 0x1000000);
    if (keysym >= XK_KP_0 && keysym <= XK_KP_9)
        return U'0' + static_cast<char32_t>(keysym - XK_KP_0);
    switch (keysym) {
    case XK_KP_Space:
        return U' ';
    case XK_KP_Multiply:
        return U'*';
    case XK_KP_Add:
        return U'+';
    case XK_KP_Subtract:
        return U'-';
    case XK_KP_Decimal:
        return U'.';
    case XK_KP_Divide:
        return U'/';
    case XK_KP_Equal:
        return U'=';
    default:
        return 0;
    }
}

void appendUtf16(std::u16string &out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

class X11Recorder final : public InputRecorder {
public:
    ~X11Recorder() override { stop(); }

    bool start(RawInputListener *listener, std::string &error) override {
        stop();
        if (!listener || !open(error))
            return false;
        listener_ = listener;
        if (pipe(wakePipe_) != 0) {
            error = "Cannot start listening to the keyboard and mouse.";
            close();
            return false;
        }
        running_ = true;
        thread_ = std::thread([this] { loop(); });
        return true;
    }

    void stop() override {
        if (thread_.joinable()) {
            running_ = false;
            const char byte = 0;
            if (write(wakePipe_[1], &byte, 1) < 0) {
                // The loop also sees running_ within its poll timeout.
            }
            thread_.join();
        }
        for (int &fd : wakePipe_) {
            if (fd >= 0)
                ::close(fd);
            fd = -1;
        }
        close();
        listener_ = nullptr;
    }

private:
    bool open(std::string &error) {
        display_ = XOpenDisplay(nullptr);
        if (!display_) {
            error = "Cannot open the X display to listen to the keyboard and mouse.";
            return false;
        }
        registerDisplay(display_);
        int event = 0, errorBase = 0, major = 2, minor = 2;
        if (!XQueryExtension(display_, "XInputExtension", &xiOpcode_, &event, &errorBase) ||
            XIQueryVersion(display_, &major, &minor) != Success || major * 10 + minor < 21) {
            error = "The X server lacks the XInput 2.1 extension needed to record input.";
            close();
            return false;
        }
        int opcode = 0;
        major = XkbMajorVersion;
        minor = XkbMinorVersion;
        if (!XkbQueryExtension(display_, &opcode, &xkbEventBase_, &errorBase, &major, &minor)) {
            error = "The X server lacks the XKEYBOARD extension needed to read the keyboard map.";
            close();
            return false;
        }
        loadMap();
        XkbStateRec state;
        if (XkbGetState(display_, XkbUseCoreKbd, &state) == Success) {
            mods_ = state.mods;
            group_ = state.group;
        }
        XkbSelectEventDetails(display_, XkbUseCoreKbd, XkbStateNotify, XkbAllStateComponentsMask,
                              XkbAllStateComponentsMask);
        XkbSelectEvents(display_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                        XkbNewKeyboardNotifyMask | XkbMapNotifyMask);

        selectRawInput(display_, true);
        return true;
    }

    void close() {
        if (xkb_) {
            XkbFreeKeyboard(xkb_, 0, True);
            xkb_ = nullptr;
        }
        if (display_) {
            unregisterDisplay(display_);
            XCloseDisplay(display_);
            display_ = nullptr;
        }
    }

    void loadMap() {
        if (xkb_)
            XkbFreeKeyboard(xkb_, 0, True);
        xkb_ = XkbGetMap(display_, XkbAllClientInfoMask, XkbUseCoreKbd);
        ctrlAltWin_ = ControlMask | XkbKeysymToModifiers(display_, XK_Alt_L) |
                      XkbKeysymToModifiers(display_, XK_Super_L) |
                      XkbKeysymToModifiers(display_, XK_Meta_L);
        numLockMask_ = XkbKeysymToModifiers(display_, XK_Num_Lock);
    }

    void loop() {
        while (running_) {
            pollfd fds[2] = {{ConnectionNumber(display_), POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
            if (XPending(display_) == 0 && poll(fds, 2, 200) <= 0)
                continue;
            while (running_ && XPending(display_) > 0) {
                XEvent ev;
                XNextEvent(display_, &ev);
                handle(ev);
            }
        }
    }

    void handle(XEvent &ev) {
        if (ev.type == xkbEventBase_) {
            const XkbEvent &xkb = reinterpret_cast<const XkbEvent &>(ev);
            if (xkb.any.xkb_type == XkbStateNotify) {
                mods_ = xkb.state.mods;
                group_ = xkb.state.group;
            } else {
                loadMap();
            }
            return;
        }
        if (ev.xcookie.type != GenericEvent || ev.xcookie.extension != xiOpcode_ ||
            !XGetEventData(display_, &ev.xcookie))
            return;
        const int type = ev.xcookie.evtype;
        const auto *raw = static_cast<const XIRawEvent *>(ev.xcookie.data);
        const int detail = raw->detail;
        const int source = raw->sourceid;
        const std::int64_t time = unwrap(raw->time);
        XFreeEventData(display_, &ev.xcookie);

        RawInputEvent out;
        out.timeMs = time;
        if (type == XI_RawKeyPress || type == XI_RawKeyRelease) {
            out.type =
                type == XI_RawKeyPress ? RawInputEvent::Type::KeyDown : RawInputEvent::Type::KeyUp;
            out.vk = vkFor(detail);
            if (!out.vk)
                return;
            if (type == XI_RawKeyPress) {
                out.text = textFor(detail);
                held_[detail] = {out, source, delivered_};
            } else {
                sendRepeats(detail, time);
            }
        } else if (type == XI_RawButtonPress || type == XI_RawButtonRelease) {
            // Button 2 and the wheel (4 to 7) are not recorded.
            if (detail != Button1 && detail != Button3)
                return;
            out.type = type == XI_RawButtonPress ? RawInputEvent::Type::ButtonDown
                                                 : RawInputEvent::Type::ButtonUp;
            out.button = detail == Button1 ? MouseButton::Left : MouseButton::Right;
            out.pos = pointer();
        } else {
            return;
        }
        deliver(out);
    }

    void deliver(const RawInputEvent &event) {
        ++delivered_;
        listener_->onRawInput(event);
    }

    // The repeats of a key held alone, before its release at `upTime`.
    void sendRepeats(int keycode, std::int64_t upTime) {
        auto it = held_.find(keycode);
        if (it == held_.end())
            return;
        const HeldKey key = it->second;
        held_.erase(it);
        unsigned delay = 0, interval = 0;
        if (key.deliveredAt + 1 != delivered_ || upTime - key.down.timeMs < 100 ||
            !repeatSettings(key.device, keycode, delay, interval))
            return;
        RawInputEvent repeat = key.down;
        constexpr int kMaxRepeats = 2000;
        for (int n = 0; n < kMaxRepeats; ++n) {
            repeat.timeMs = key.down.timeMs + delay + std::int64_t(n) * interval;
            if (repeat.timeMs >= upTime)
                break;
            deliver(repeat);
        }
    }

    bool repeatSettings(int device, int keycode, unsigned &delay, unsigned &interval) const {
        XkbDescPtr desc = XkbGetMap(display_, 0, static_cast<unsigned>(device));
        if (!desc)
            return false;
        bool on = false;
        if (XkbGetControls(display_,
                           XkbRepeatKeysMask | XkbPerKeyRepeatMask | XkbControlsEnabledMask,
                           desc) == Success &&
            desc->ctrls) {
            const XkbControlsRec &c = *desc->ctrls;
            on = (c.enabled_ctrls & XkbRepeatKeysMask) &&
                 (c.per_key_repeat[keycode / 8] & (1 << (keycode % 8)));
            delay = c.repeat_delay;
            interval = c.repeat_interval;
        }
        XkbFreeKeyboard(desc, 0, True);
        return on && interval > 0;
    }

    // X event times are 32-bit milliseconds that wrap after 49 days.
    std::int64_t unwrap(unsigned long time) {
        const auto t = static_cast<std::uint32_t>(time);
        if (haveTime_ && t < lastTime_ && lastTime_ - t > 0x80000000u)
            epoch_ += std::int64_t(1) << 32;
        haveTime_ = true;
        lastTime_ = t;
        return epoch_ + t;
    }

    unsigned long keysymAt(int keycode, int level) const {
        return XkbKeycodeToKeysym(display_, static_cast<KeyCode>(keycode), 0, level);
    }

    int vkFor(int keycode) const {
        // Keypad keys read as digits with Num Lock on, as navigation keys without.
        const unsigned long shifted = keysymAt(keycode, 1);
        if ((mods_ & numLockMask_) && numLockMask_ &&
            ((shifted >= XK_KP_0 && shifted <= XK_KP_9) || shifted == XK_KP_Decimal))
            return vkForKeysym(shifted);
        return vkForKeysym(keysymAt(keycode, 0));
    }

    std::u16string textFor(int keycode) const {
        std::u16string text;
        if (!xkb_ || (mods_ & ctrlAltWin_))
            return text;
        unsigned modsOut = 0;
        KeySym keysym = NoSymbol;
        const unsigned state = XkbBuildCoreState(mods_, group_);
        if (!XkbTranslateKeyCode(xkb_, static_cast<KeyCode>(keycode), state, &modsOut, &keysym))
            return text;
        if (const char32_t cp = codePointForKeysym(keysym))
            appendUtf16(text, cp);
        return text;
    }

    Point pointer() const {
        Window root = 0, child = 0;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned mask = 0;
        XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &rootX, &rootY, &winX,
                      &winY, &mask);
        return {rootX, rootY};
    }

    Display *display_ = nullptr;
    XkbDescPtr xkb_ = nullptr;
    int xiOpcode_ = -1;
    int xkbEventBase_ = -1;
    unsigned mods_ = 0;
    int group_ = 0;
    unsigned ctrlAltWin_ = ControlMask;
    unsigned numLockMask_ = 0;
    bool haveTime_ = false;
    std::uint32_t lastTime_ = 0;
    std::int64_t epoch_ = 0;
    struct HeldKey {
        RawInputEvent down;
        int device = 0;
        std::uint64_t deliveredAt = 0; // delivered_ before its down went out
    };
    std::map<int, HeldKey> held_; // keycode -> its press
    std::uint64_t delivered_ = 0;
    RawInputListener *listener_ = nullptr;
    int wakePipe_[2] = {-1, -1};
    std::atomic<bool> running_{false};
    std::thread thread_;
};

} // namespace

std::unique_ptr<InputRecorder> createRecorder() {
    return std::make_unique<X11Recorder>();
}

} // namespace platform::x11
