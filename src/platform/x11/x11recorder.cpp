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
//
// Raw events also arrive while another client holds the keyboard grab, as
// password prompts and screen lockers do, and carry no pointer position. So
// a RECORD context (x11grabtracker.h) follows the grabs and hears the same
// key and button events as core events, in the server's order, each marked
// with whether another client held the keyboard and with the root position
// of the pointer. A raw event waits for its core twin (same kind, button or
// keycode, and server time): a key pressed during another's grab is kept
// back, with its release, and the listener only hears that something was;
// a button takes its twin's position.

#include "x11backend.h"
#include "x11grabtracker.h"
#include "x11input.h"
#include "x11keytable.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/record.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <set>
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

std::int64_t steadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A raw event that waits for its core twin from the RECORD stream.
struct PendingRaw {
    RawInputEvent out;
    bool key = true;
    bool press = true;
    int detail = 0;
    int source = 0;
    std::uint32_t time = 0;
    bool recorded = true; // false: not a key or button we record
    std::int64_t arrived = 0;
};

// Request opcodes the RECORD context asks for (X11/Xproto.h and the XInput
// protocol headers, which do not mix with Xlib's).
constexpr unsigned char kDestroyWindow = 4;
constexpr unsigned char kUnmapWindow = 10;
constexpr unsigned char kGrabKeyboard = 31;
constexpr unsigned char kUngrabKeyboard = 32;
constexpr unsigned short kXiGrabDevice = 13;
constexpr unsigned short kXiUngrabDevice = 14;
constexpr unsigned short kXi2GrabDevice = 51;
constexpr unsigned short kXi2UngrabDevice = 52;

// Longer than any lag between the two connections, short enough that a
// key whose twin never comes does not hold up the recording for long.
constexpr std::int64_t kTwinWaitMs = 1000;

class X11Recorder final : public InputRecorder {
public:
    ~X11Recorder() override { stop(); }

    bool start(RawInputListener *listener, std::string &error) override {
        stop();
        if (!listener || !open(error))
            return false;
        if (!openRecord(error)) {
            close();
            return false;
        }
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

    std::int64_t now() const override { return haveOffset_ ? steadyMs() + offset_ : -1; }

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
        measureServerTime();
        return true;
    }

    // The server's time now, against our steady clock: a property change on
    // a window of our own reports it.
    void measureServerTime() {
        const Window window =
            XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0, 1, 1, 0, 0, 0);
        XSelectInput(display_, window, PropertyChangeMask);
        const Atom atom = XInternAtom(display_, "_TARNWICK_RECORDER_TIME", False);
        const std::int64_t before = steadyMs();
        XChangeProperty(display_, window, atom, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XEvent ev;
        XWindowEvent(display_, window, PropertyChangeMask, &ev);
        const std::int64_t after = steadyMs();
        XDestroyWindow(display_, window);
        XFlush(display_);
        offset_ = unwrap(ev.xproperty.time) - (before + after) / 2;
        haveOffset_ = true;
    }

    // The RECORD context on a connection of its own (ctl_, which also makes
    // the probes), its data on another (data_).
    bool openRecord(std::string &error) {
        ctl_ = XOpenDisplay(nullptr);
        data_ = ctl_ ? XOpenDisplay(nullptr) : nullptr;
        int major = 1, minor = 13;
        if (!ctl_ || !data_ || !XRecordQueryVersion(ctl_, &major, &minor)) {
            error = "The X server lacks the RECORD extension needed to keep what is typed into "
                    "password prompts out of a recording.";
            closeRecord();
            return false;
        }
        registerDisplay(ctl_);
        registerDisplay(data_);
        const std::uint32_t own = xcb_get_setup(XGetXCBConnection(ctl_))->resource_id_base;
        tracker_ = std::make_unique<GrabTracker>(own, xiOpcode_,
                                                 [this](int device) { return isKeyboard(device); });

        XRecordRange *ranges[5] = {};
        bool allocated = true;
        for (auto &range : ranges)
            allocated = (range = XRecordAllocRange()) != nullptr && allocated;
        if (!allocated) {
            for (auto *range : ranges)
                XFree(range);
            error = "Cannot start listening to the keyboard and mouse.";
            closeRecord();
            return false;
        }
        ranges[0]->device_events = {KeyPress, ButtonRelease};
        ranges[0]->core_requests = {kGrabKeyboard, kUngrabKeyboard};
        ranges[0]->core_replies = {kGrabKeyboard, kGrabKeyboard};
        ranges[0]->client_died = True;
        ranges[1]->core_requests = {kDestroyWindow, kDestroyWindow};
        ranges[2]->core_requests = {kUnmapWindow, kUnmapWindow};
        const auto xi = static_cast<unsigned char>(xiOpcode_);
        ranges[3]->ext_requests = {{xi, xi}, {kXiGrabDevice, kXiUngrabDevice}};
        ranges[3]->ext_replies = {{xi, xi}, {kXiGrabDevice, kXiGrabDevice}};
        ranges[4]->ext_requests = {{xi, xi}, {kXi2GrabDevice, kXi2UngrabDevice}};
        ranges[4]->ext_replies = {{xi, xi}, {kXi2GrabDevice, kXi2GrabDevice}};
        XRecordClientSpec clients = XRecordAllClients;
        context_ = XRecordCreateContext(ctl_, 0, &clients, 1, ranges, 5);
        for (auto *range : ranges)
            XFree(range);
        XSync(ctl_, False);
        if (!context_ || !XRecordEnableContextAsync(data_, context_, &X11Recorder::intercepted,
                                                    reinterpret_cast<XPointer>(this))) {
            error = "Cannot start listening to the keyboard and mouse.";
            closeRecord();
            return false;
        }
        // The stream must run before the first probe, which it has to see.
        const std::int64_t until = steadyMs() + 5000;
        while (!streaming_ && steadyMs() < until) {
            XRecordProcessReplies(data_);
            if (streaming_)
                break;
            pollfd fd = {ConnectionNumber(data_), POLLIN, 0};
            poll(&fd, 1, 100);
        }
        if (!streaming_) {
            error = "Cannot start listening to the keyboard and mouse.";
            closeRecord();
            return false;
        }
        probeIfAsked();
        return true;
    }

    void closeRecord() {
        if (ctl_ && context_) {
            XRecordDisableContext(ctl_, context_);
            XRecordFreeContext(ctl_, context_);
            XSync(ctl_, False);
        }
        context_ = 0;
        streaming_ = false;
        for (Display **display : {&data_, &ctl_}) {
            if (!*display)
                continue;
            unregisterDisplay(*display);
            XCloseDisplay(*display);
            *display = nullptr;
        }
        tracker_.reset();
        raw_.clear();
        recorded_.clear();
        withheldKeys_.clear();
    }

    void close() {
        closeRecord();
        if (xkb_) {
            XkbFreeKeyboard(xkb_, 0, True);
            xkb_ = nullptr;
        }
        if (display_) {
            unregisterDisplay(display_);
            XCloseDisplay(display_);
            display_ = nullptr;
        }
        haveOffset_ = false;
    }

    static void intercepted(XPointer closure, XRecordInterceptData *data) {
        auto *self = reinterpret_cast<X11Recorder *>(closure);
        const std::size_t size = std::size_t(data->data_len) * 4;
        switch (data->category) {
        case XRecordStartOfData:
            self->streaming_ = true;
            break;
        case XRecordFromClient:
            self->tracker_->request(data->id_base, data->client_seq, data->data, size,
                                    data->client_swapped);
            break;
        case XRecordFromServer:
            self->tracker_->fromServer(data->id_base, data->data, size, data->client_swapped);
            break;
        case XRecordClientDied:
            self->tracker_->clientDied(data->id_base);
            break;
        default:
            break;
        }
        XRecordFreeData(data);
    }

    // Grabs and at once ungrabs the keyboard: the answer, in the stream,
    // says whether someone else holds it.
    void probeIfAsked() {
        if (!tracker_ || !tracker_->takeProbeRequest(steadyMs()))
            return;
        XGrabKeyboard(ctl_, DefaultRootWindow(ctl_), False, GrabModeAsync, GrabModeAsync,
                      CurrentTime);
        XUngrabKeyboard(ctl_, CurrentTime);
        XFlush(ctl_);
    }

    bool isKeyboard(int device) const {
        int count = 0;
        XIDeviceInfo *info = XIQueryDevice(display_, device, &count);
        if (!info)
            return true; // gone or unknown: taken for one, to be safe
        bool keyboard = info->use == XIMasterKeyboard || info->use == XISlaveKeyboard;
        for (int i = 0; !keyboard && i < info->num_classes; ++i)
            keyboard = info->classes[i]->type == XIKeyClass && info->use == XIFloatingSlave;
        XIFreeDeviceInfo(info);
        return keyboard;
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
            pollfd fds[3] = {{ConnectionNumber(display_), POLLIN, 0},
                             {ConnectionNumber(data_), POLLIN, 0},
                             {wakePipe_[0], POLLIN, 0}};
            if (XPending(display_) == 0)
                poll(fds, 3, raw_.empty() ? 200 : 50);
            while (running_ && XPending(display_) > 0) {
                XEvent ev;
                XNextEvent(display_, &ev);
                handle(ev);
            }
            if (!running_)
                break;
            XRecordProcessReplies(data_);
            for (const RecordedInput &in : tracker_->takeInput())
                recorded_.push_back(in);
            probeIfAsked();
            pair();
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
        PendingRaw pending;
        pending.detail = raw->detail;
        pending.source = raw->sourceid;
        pending.time = static_cast<std::uint32_t>(raw->time);
        XFreeEventData(display_, &ev.xcookie);

        RawInputEvent &out = pending.out;
        out.timeMs = unwrap(pending.time);
        if (type == XI_RawKeyPress || type == XI_RawKeyRelease) {
            pending.press = type == XI_RawKeyPress;
            out.type = pending.press ? RawInputEvent::Type::KeyDown : RawInputEvent::Type::KeyUp;
            out.vk = vkFor(pending.detail);
            pending.recorded = out.vk != 0;
            // The text in the keyboard state of this moment, which the
            // state events that follow will change.
            if (pending.press && pending.recorded)
                out.text = textFor(pending.detail);
        } else if (type == XI_RawButtonPress || type == XI_RawButtonRelease) {
            pending.key = false;
            pending.press = type == XI_RawButtonPress;
            out.type =
                pending.press ? RawInputEvent::Type::ButtonDown : RawInputEvent::Type::ButtonUp;
            // Button 2 and the wheel (4 to 7) are not recorded.
            pending.recorded = pending.detail == Button1 || pending.detail == Button3;
            out.button = pending.detail == Button1 ? MouseButton::Left : MouseButton::Right;
        } else {
            return;
        }
        pending.arrived = steadyMs();
        raw_.push_back(pending);
    }

    static bool twins(const PendingRaw &raw, const RecordedInput &in) {
        // Raw buttons are physical, core ones mapped: buttons pair by kind and time.
        return raw.key == in.key && raw.press == in.press && raw.time == in.time &&
               (!raw.key || raw.detail == in.detail);
    }

    // Pairs raw events with their core twins, in order. A core event with no
    // raw twin (a server-made repeat) is passed over; a raw event whose twin
    // does not come is taken as held if the keyboard was held either side.
    void pair() {
        while (!raw_.empty() && !recorded_.empty()) {
            const PendingRaw &raw = raw_.front();
            const RecordedInput &in = recorded_.front();
            if (twins(raw, in)) {
                process(raw, &in);
                lastHeld_ = in.grabbedByOther;
                raw_.pop_front();
                recorded_.pop_front();
            } else if (static_cast<std::int32_t>(in.time - raw.time) <= 0) {
                lastHeld_ = in.grabbedByOther;
                recorded_.pop_front();
            } else {
                process(raw, nullptr);
                raw_.pop_front();
            }
        }
        const std::int64_t now = steadyMs();
        while (!raw_.empty() && now - raw_.front().arrived > kTwinWaitMs) {
            process(raw_.front(), nullptr);
            raw_.pop_front();
        }
        while (recorded_.size() > 4096)
            recorded_.pop_front();
    }

    void process(const PendingRaw &raw, const RecordedInput *twin) {
        const bool held = twin ? twin->grabbedByOther : (lastHeld_ || tracker_->held());
        RawInputEvent out = raw.out;
        if (raw.key) {
            if (raw.press && held) {
                withheldKeys_.insert(raw.detail);
                listener_->onInputWithheld(out.timeMs);
                return;
            }
            if (!raw.press && withheldKeys_.erase(raw.detail))
                return;
            if (!raw.recorded)
                return;
            if (raw.press)
                held_[raw.detail] = {out, raw.source, delivered_};
            else
                sendRepeats(raw.detail, out.timeMs);
        } else {
            if (!raw.recorded)
                return;
            out.pos = twin ? Point{twin->rootX, twin->rootY} : pointer();
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
    Display *ctl_ = nullptr;
    Display *data_ = nullptr;
    XRecordContext context_ = 0;
    bool streaming_ = false;
    std::unique_ptr<GrabTracker> tracker_;
    std::deque<PendingRaw> raw_;
    std::deque<RecordedInput> recorded_;
    std::set<int> withheldKeys_; // pressed while held: their releases stay back too
    bool lastHeld_ = true;
    std::atomic<bool> haveOffset_{false};
    std::int64_t offset_ = 0; // server time minus steady time
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
