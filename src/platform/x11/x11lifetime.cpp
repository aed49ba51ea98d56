// How the layer survives the X server dropping a connection and how it lets
// go of the desktop when the process ends another way than through main.
//
// Xlib's defaults end the process on any error: a protocol error kills it
// outright, and a lost connection calls exit() from whichever thread noticed,
// which tears down the program under its running threads. On our own
// connections both are recorded instead; a lost connection makes the layer
// release what it holds through a fresh connection and ask the program to end
// through its own termination path. When Qt's connection breaks, Qt calls
// exit(1) with the layer still alive: an exit handler then releases through
// the layer's connection before the process goes.

#include "x11input.h"
#include "x11keyevents.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace platform::x11 {
namespace {

std::atomic<Display *> ownDisplays[8];
XErrorHandler previousHandler = nullptr;
XIOErrorHandler previousIOHandler = nullptr;
std::once_flag handlerOnce;
std::once_flag exitHandlerOnce;
std::atomic<X11Input *> liveLayer{nullptr};

bool isOwn(Display *display) {
    for (auto &own : ownDisplays)
        if (own.load() == display)
            return true;
    return false;
}

// Errors on our own connections are answered by return values.
int onXError(Display *display, XErrorEvent *event) {
    if (isOwn(display))
        return 0;
    return previousHandler ? previousHandler(display, event) : 0;
}

// Xlib calls this, then the display's exit handler; neither may touch the
// display. Returning (with our exit handler in place) keeps the process.
int onXIOError(Display *display) {
    if (!isOwn(display))
        return previousIOHandler ? previousIOHandler(display) : 0;
    if (X11Input *layer = liveLayer.load())
        layer->noteConnectionLost(display);
    return 0;
}

void onXIOExit(Display *, void *) {}

void onProcessExit() {
    X11Input *layer = liveLayer.exchange(nullptr);
    if (!layer)
        return; // main ended normally: the layer is gone and released already
    layer->releaseForExit();
    // Other threads may still run: the rest of exit() (static destructors)
    // would pull the program from under them.
    std::fflush(nullptr);
    std::_Exit(EXIT_FAILURE);
}

} // namespace

void registerDisplay(Display *display) {
    std::call_once(handlerOnce, [] {
        previousHandler = XSetErrorHandler(onXError);
        previousIOHandler = XSetIOErrorHandler(onXIOError);
    });
    XSetIOErrorExitHandler(display, onXIOExit, nullptr);
    for (auto &own : ownDisplays) {
        Display *expected = nullptr;
        if (own.compare_exchange_strong(expected, display))
            return;
    }
}

void unregisterDisplay(Display *display) {
    for (auto &own : ownDisplays) {
        Display *expected = display;
        own.compare_exchange_strong(expected, nullptr);
    }
}

void keepLostDisplay(Display *display) {
    static std::mutex mutex;
    static std::vector<Display *> kept;
    std::lock_guard<std::mutex> lock(mutex);
    kept.push_back(display);
}

void noteLayerAlive(X11Input *layer) {
    liveLayer = layer;
    std::call_once(exitHandlerOnce, [] { std::atexit(onProcessExit); });
}

void noteLayerGone(X11Input *layer) {
    X11Input *expected = layer;
    liveLayer.compare_exchange_strong(expected, nullptr);
}

void X11Input::noteConnectionLost(Display *display) {
    if (display && display == connection_.display())
        connection_.noteLost();
    else if (X11KeyEvents *events = keyEvents_.load(); events && events->noteLost(display))
        hookLost_ = true;
    else
        return;
    if (lossHandled_.exchange(true))
        return;
    // Whoever noticed may hold our mutex inside Xlib: the rest happens on
    // the GUI thread.
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [this] {
            if (liveLayer.load() == this)
                handleConnectionLost();
        },
        Qt::QueuedConnection);
}

void X11Input::handleConnectionLost() {
    std::fprintf(stderr, "tarnwick: the X server closed the input connection; ending\n");
    if (X11KeyEvents *events = keyEvents_.load(); hookLost_ && events)
        events->closeConnection();
    releaseAll();
    // The program's own termination path stops every run and quits. To the
    // process, not this thread: the signal is taken by a thread of its own.
    ::kill(::getpid(), SIGTERM);
}

void X11Input::releaseThroughFreshConnectionLocked() {
    Display *fresh = XOpenDisplay(DisplayString(display_));
    if (!fresh)
        return; // the server itself is gone, and with it every key it held
    registerDisplay(fresh);
    for (const auto &key : pressedKeys_)
        XTestFakeKeyEvent(fresh, static_cast<unsigned>(key.first), False, CurrentTime);
    for (const HeldChar &held : heldChars_)
        XTestFakeKeyEvent(fresh, static_cast<unsigned>(held.keycode), False, CurrentTime);
    for (int button : pressedButtons_)
        XTestFakeButtonEvent(fresh, static_cast<unsigned>(button), False, CurrentTime);
    pressedKeys_.clear();
    keyDownAt_.clear();
    heldChars_.clear();
    pressedButtons_.clear();
    pressedSlots_.clear();
    // Our bindings go back to nothing, where they are still ours.
    for (const Slot &slot : binder_.allSlots()) {
        if (slot.keysym) {
            int perCode = 0;
            KeySym *now =
                XGetKeyboardMapping(fresh, static_cast<KeyCode>(slot.keycode), 1, &perCode);
            // Core columns: group 1's first two levels, group 2's, then
            // group 1's level-3 pair.
            const int column = slot.level < 2 ? slot.level : slot.level + 2;
            const bool ours = now && perCode > column && now[column] == slot.keysym;
            if (now)
                XFree(now);
            if (ours) {
                KeySym none[2] = {NoSymbol, NoSymbol};
                XChangeKeyboardMapping(fresh, slot.keycode, 2, none, 1);
            }
        }
    }
    binder_.forgetAll();
    repeat_.restoreThrough(fresh);
    XSync(fresh, False);
    unregisterDisplay(fresh);
    XCloseDisplay(fresh);
}

void X11Input::releaseForExit() {
    releaseAll();
    std::lock_guard<std::mutex> lock(mutex_);
    if (usableLocked())
        XSync(display_, False);
}

} // namespace platform::x11
