#include "x11clientsync.h"

#include "x11connection.h"

#include <QGuiApplication>
#include <QThread>

#include <X11/Xatom.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

namespace platform::x11 {
namespace {

// The GUI thread cannot answer a ping to one of its own windows while it
// waits for the answer.
bool ownWindowOnGuiThread(unsigned long window) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || app->thread() != QThread::currentThread())
        return false;
    auto *gui = qobject_cast<QGuiApplication *>(app);
    auto *x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const xcb_setup_t *setup = xcb_get_setup(connection);
    return (window & ~static_cast<unsigned long>(setup->resource_id_mask)) ==
           setup->resource_id_base;
}

// Whether the Tcl list `list` has `name` as an element. Tk writes a comm
// window's names as a list: a name with spaces in braces, odd characters
// after a backslash.
bool tclListContains(const std::string &list, const std::string &name) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    size_t at = 0;
    while (at < list.size()) {
        while (at < list.size() && space(list[at]))
            ++at;
        if (at >= list.size())
            break;
        std::string element;
        if (list[at] == '{') {
            int depth = 1;
            size_t end = at + 1;
            for (; end < list.size(); ++end) {
                if (list[end] == '\\' && end + 1 < list.size())
                    ++end;
                else if (list[end] == '{')
                    ++depth;
                else if (list[end] == '}' && --depth == 0)
                    break;
            }
            if (depth != 0)
                return false; // not a list
            element = list.substr(at + 1, end - at - 1);
            at = end + 1;
        } else {
            const bool quoted = list[at] == '"';
            if (quoted)
                ++at;
            for (; at < list.size(); ++at) {
                const char c = list[at];
                if (quoted ? c == '"' : space(c))
                    break;
                if (c == '\\' && at + 1 < list.size())
                    ++at;
                element += list[at];
            }
            if (quoted)
                ++at;
        }
        if (element == name)
            return true;
    }
    return false;
}

} // namespace

void FocusedClientSync::open(X11Connection &connection) {
    connection_ = &connection;
    Display *display = connection.display();
    wmProtocols_ = XInternAtom(display, "WM_PROTOCOLS", False);
    netWmPing_ = XInternAtom(display, "_NET_WM_PING", False);
    commAtom_ = XInternAtom(display, "Comm", False);
    appNameAtom_ = XInternAtom(display, "TK_APPLICATION", False);
    // The server's resource id mask, the same for every client.
    clientBits_ =
        ~static_cast<unsigned long>(xcb_get_setup(XGetXCBConnection(display))->resource_id_mask);
    connection.subscribe(ClientMessage, [this](const XEvent &ev) {
        const XClientMessageEvent &c = ev.xclient;
        if (c.window == connection_->root() && c.message_type == wmProtocols_ && c.format == 32 &&
            static_cast<unsigned long>(c.data.l[0]) == netWmPing_)
            onPong(c.data.l[1]);
    });
    connection.subscribe(PropertyNotify, [this](const XEvent &ev) {
        // A Tk client took our message off its comm window.
        const XPropertyEvent &p = ev.xproperty;
        if (p.atom == commAtom_ && p.state == PropertyDelete)
            onCommTaken(p.window, p.serial);
    });
}

void FocusedClientSync::poll() {
    connection_->pump();
}

Clock::time_point FocusedClientSync::safeFrom(Clock::time_point lastUse) const {
    if (lastUse <= caughtUpTo_)
        return lastUse;
    // A Tk client is trusted to answer once it has: an application that
    // died may have left its comm window's name to a newcomer's window.
    const bool answers = capable_ && (!byComm_ || commAnswered_);
    return lastUse + (answers ? kPongTimeout : kReuseAge);
}

void FocusedClientSync::ask(Clock::time_point lastUse) {
    if (lastUse <= caughtUpTo_)
        return;
    for (const Ping &ping : pings_)
        if (ping.sentAt >= lastUse)
            return; // its answer will tell
    const Clock::time_point now = Clock::now();
    // A client that cannot be pinged: look again only now and then.
    if (!capable_ && now < lastAttempt_ + std::chrono::milliseconds(20))
        return;
    lastAttempt_ = now;
    const Window to = target();
    capable_ = to != 0 && !ownWindowOnGuiThread(to);
    if (!capable_)
        return;
    Display *display = connection_->display();
    if (byComm_) {
        // Tk reads the property once for all the notices it has queued: one
        // message at a time, or an answer could be taken for a later one.
        const int open = openMessage(to);
        if (open >= 0) {
            if (now < pings_[static_cast<size_t>(open)].sentAt + kPongTimeout)
                return;
            pings_.erase(pings_.begin() + open);
        }
        // The application may have ended since the window was found, and its
        // id gone to another program's window.
        if (!isTkCommWindow(to)) {
            target_ = 0;
            byComm_ = commAnswered_ = capable_ = false;
            return;
        }
        pings_.push_back({nextSerial_++, now, to, NextRequest(display)});
        XChangeProperty(display, to, commAtom_, XA_STRING, 8, PropModeAppend, nullptr, 0);
        XFlush(display);
        return;
    }
    XEvent ev;
    std::memset(&ev, 0, sizeof ev);
    ev.xclient.type = ClientMessage;
    ev.xclient.window = to;
    ev.xclient.message_type = wmProtocols_;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(netWmPing_);
    ev.xclient.data.l[1] = nextSerial_;
    ev.xclient.data.l[2] = static_cast<long>(to);
    // Everything we sent before now precedes the ping in the client's queue.
    pings_.push_back({nextSerial_++, now});
    if (pings_.size() > 16)
        pings_.erase(pings_.begin());
    XSendEvent(display, to, False, NoEventMask, &ev);
    XFlush(display);
}

unsigned long FocusedClientSync::target() {
    Display *display = connection_->display();
    const Window root = connection_->root();
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    if (focus == PointerRoot || focus == None) {
        // Keys go to the window under the pointer.
        Window rootReturn = None;
        int rootX = 0, rootY = 0, winX = 0, winY = 0;
        unsigned mask = 0;
        focus = None;
        XQueryPointer(display, root, &rootReturn, &focus, &rootX, &rootY, &winX, &winY, &mask);
    }
    if (focus == None || focus == root)
        return 0;
    if (focus == focus_)
        return target_;
    focus_ = focus;
    target_ = 0;
    byComm_ = commAnswered_ = false;
    // The top-level above the focus that takes part in _NET_WM_PING.
    for (Window w = focus; w != None && w != root;) {
        Atom *protocols = nullptr;
        int count = 0;
        if (XGetWMProtocols(display, w, &protocols, &count)) {
            const bool pings =
                std::find(protocols, protocols + count, netWmPing_) != protocols + count;
            XFree(protocols);
            if (pings) {
                target_ = w;
                break;
            }
        }
        Window rootReturn = None, parent = None, *children = nullptr;
        unsigned childCount = 0;
        if (!XQueryTree(display, w, &rootReturn, &parent, &children, &childCount))
            break;
        if (children)
            XFree(children);
        w = parent;
    }
    if (!target_) {
        target_ = tkCommWindow(focus);
        byComm_ = target_ != 0;
        if (byComm_)
            XSelectInput(display, target_, PropertyChangeMask);
    }
    return target_;
}

unsigned long FocusedClientSync::tkCommWindow(unsigned long window) {
    // Every Tk application lists its comm window on the root, as "<hex id>
    // <name>" entries ending in NUL; the one whose ids share the window's
    // client part is its own.
    Display *display = connection_->display();
    const Atom registry = XInternAtom(display, "InterpRegistry", True);
    if (registry == None)
        return 0;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(display, connection_->root(), registry, 0, 1 << 16, False, XA_STRING,
                           &type, &format, &count, &after, &data) != Success ||
        !data)
        return 0;
    const std::string entries(reinterpret_cast<const char *>(data), count);
    XFree(data);
    for (size_t at = 0; at < entries.size();) {
        size_t end = entries.find('\0', at);
        if (end == std::string::npos)
            end = entries.size();
        const std::string entry = entries.substr(at, end - at);
        at = end + 1;
        char *rest = nullptr;
        const unsigned long comm = std::strtoul(entry.c_str(), &rest, 16);
        if (comm == 0 || rest == entry.c_str() || *rest != ' ' ||
            (comm & clientBits_) != (window & clientBits_))
            continue;
        // Entries outlive applications that died, and anyone can write one.
        commName_ = std::string(rest + 1);
        if (isTkCommWindow(comm))
            return comm;
    }
    commName_.clear();
    return 0;
}

bool FocusedClientSync::isTkCommWindow(unsigned long commWindow) const {
    Display *display = connection_->display();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    // A window that is gone answers BadWindow, which our error handler keeps.
    if (XGetWindowProperty(display, commWindow, appNameAtom_, 0, 1 << 16, False, XA_STRING, &type,
                           &format, &count, &after, &data) != Success)
        return false;
    bool named = false;
    if (data) {
        named =
            type == XA_STRING && format == 8 &&
            tclListContains(std::string(reinterpret_cast<const char *>(data), count), commName_);
        XFree(data);
    }
    return named;
}

void FocusedClientSync::probe() {
    const Window to = target();
    if (to && byComm_ && !commAnswered_ && openMessage(to) < 0)
        ask(Clock::now());
}

int FocusedClientSync::openMessage(unsigned long commWindow) const {
    for (size_t i = 0; i < pings_.size(); ++i)
        if (pings_[i].commWindow == commWindow)
            return static_cast<int>(i);
    return -1;
}

void FocusedClientSync::onCommTaken(unsigned long commWindow, unsigned long eventSerial) {
    const int open = openMessage(commWindow);
    if (open < 0)
        return; // Tk's own traffic, or a message we gave up on
    // A deletion the server made before it had our message took someone
    // else's: ours is still unread.
    if (eventSerial < pings_[static_cast<size_t>(open)].requestSerial)
        return;
    if (byComm_ && commWindow == target_)
        commAnswered_ = true;
    onPong(pings_[static_cast<size_t>(open)].serial);
}

void FocusedClientSync::onPong(long serial) {
    for (size_t i = 0; i < pings_.size(); ++i)
        if (pings_[i].serial == serial) {
            caughtUpTo_ = std::max(caughtUpTo_, pings_[i].sentAt);
            pings_.erase(pings_.begin(), pings_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            return;
        }
}

} // namespace platform::x11
