#include "x11connection.h"

#include "x11input.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cstdlib>

namespace platform::x11 {

X11Connection::~X11Connection() {
    if (!display_)
        return;
    unregisterDisplay(display_);
    if (lost_) {
        keepLostDisplay(display_);
    } else {
        XSync(display_, False);
        XCloseDisplay(display_);
    }
}

bool X11Connection::open(std::string &error) {
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name) {
        error = "No X display: DISPLAY is not set. Start the program in an X session "
                "(for a virtual one: Xvfb :1 & DISPLAY=:1 ./run.sh).";
        return false;
    }
    display_ = XOpenDisplay(nullptr);
    if (!display_) {
        error = std::string("Cannot open the X display \"") + name +
                "\": is the X server running and may this user reach it?";
        return false;
    }
    registerDisplay(display_);
    int event = 0, errorBase = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(display_, &event, &errorBase, &major, &minor)) {
        error = "The X server lacks the XTEST extension needed to send keys and clicks.";
        return false;
    }
    int opcode = 0;
    major = XkbMajorVersion;
    minor = XkbMinorVersion;
    if (!XkbQueryExtension(display_, &opcode, &xkbEventType_, &errorBase, &major, &minor)) {
        error = "The X server lacks the XKEYBOARD extension needed to read the keyboard map.";
        return false;
    }
    root_ = DefaultRootWindow(display_);
    rootWidth_ = DisplayWidth(display_, DefaultScreen(display_));
    rootHeight_ = DisplayHeight(display_, DefaultScreen(display_));
    // Screen changes; and a client answers a ping by sending it back to the
    // root window, to those that listen for substructure changes there.
    XSelectInput(display_, root_, StructureNotifyMask | SubstructureNotifyMask);
    subscribe(ConfigureNotify, [this](const XEvent &ev) {
        if (ev.xconfigure.window == root_) {
            rootWidth_ = ev.xconfigure.width;
            rootHeight_ = ev.xconfigure.height;
        }
    });
    return true;
}

void X11Connection::subscribe(int type, Handler handler) {
    subscriptions_.push_back({type, std::move(handler)});
}

void X11Connection::pump() {
    while (XPending(display_) > 0) {
        XEvent ev;
        XNextEvent(display_, &ev);
        for (const Subscription &s : subscriptions_)
            if (s.type == ev.type)
                s.handler(ev);
    }
}

void X11Connection::sync() {
    XSync(display_, False);
    pump();
}

} // namespace platform::x11
