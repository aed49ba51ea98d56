#pragma once

// The synthesis connection: opens the display, checks the extensions the
// layer needs and reads the server's events for whoever subscribed to them
// (the keyboard map its XKB notices, the client sync its answers). The root
// window's size is kept here. Not locked itself: the layer calls it with
// its mutex held.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

struct _XDisplay;
union _XEvent;

namespace platform::x11 {

class X11Connection {
public:
    using Handler = std::function<void(const _XEvent &)>;

    X11Connection() = default;
    X11Connection(const X11Connection &) = delete;
    X11Connection &operator=(const X11Connection &) = delete;
    // Closes the display, or keeps it (unused) if the server dropped it.
    ~X11Connection();

    // Opens $DISPLAY with XTEST and XKB; on failure says why in `error`.
    bool open(std::string &error);

    _XDisplay *display() const { return display_; }
    unsigned long root() const { return root_; }
    int rootWidth() const { return rootWidth_; }
    int rootHeight() const { return rootHeight_; }
    // The type of every XKB event (its xkb_type tells them apart).
    int xkbEventType() const { return xkbEventType_; }

    // `handler` sees every event of `type` the pump reads from now on.
    void subscribe(int type, Handler handler);
    // Reads every pending event and hands it to its subscribers.
    void pump();
    // A round trip: everything sent is handled, every answer read.
    void sync();

    // Called from Xlib's I/O error path: records, never calls into Xlib.
    void noteLost() { lost_ = true; }
    bool lost() const { return lost_.load(); }
    // False once the server dropped us: nothing more is sent.
    bool usable() const { return display_ && !lost_.load(); }

private:
    struct Subscription {
        int type;
        Handler handler;
    };

    _XDisplay *display_ = nullptr;
    unsigned long root_ = 0;
    int rootWidth_ = 0; // the whole virtual desktop
    int rootHeight_ = 0;
    int xkbEventType_ = -1;
    std::vector<Subscription> subscriptions_;
    std::atomic<bool> lost_{false};
};

} // namespace platform::x11
