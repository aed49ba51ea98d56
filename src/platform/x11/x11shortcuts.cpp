#include "x11shortcuts.h"

#include "x11input.h"
#include "x11keytable.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include <X11/Xlib.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace platform::x11 {
namespace {

xcb_connection_t *qtConnection() {
    // qGuiApp would be a bad cast under a plain QCoreApplication.
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return nullptr;
    auto *x11 = app->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

class X11Shortcuts::Filter final : public QAbstractNativeEventFilter {
public:
    explicit Filter(X11Shortcuts &owner) : owner_(owner) {}
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override {
        if (!message || eventType != "xcb_generic_event_t")
            return false;
        return owner_.onKeyPress(message);
    }

private:
    X11Shortcuts &owner_;
};

X11Shortcuts::X11Shortcuts(X11Input &input)
    : input_(input), context_(std::make_unique<QObject>()),
      filter_(std::make_unique<Filter>(*this)) {
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installNativeEventFilter(filter_.get());
}

X11Shortcuts::~X11Shortcuts() {
    if (QCoreApplication *app = QCoreApplication::instance())
        app->removeNativeEventFilter(filter_.get());
    for (const Grab &g : grabs_)
        ungrab(g);
    grabs_.clear();
}

bool X11Shortcuts::add(Shortcut id, Chord chord, std::function<void()> callback) {
    remove(id);
    Grab g;
    g.id = id;
    g.chord = chord;
    g.callback = std::move(callback);
    if (!grab(g))
        return false;
    grabs_.push_back(std::move(g));
    return true;
}

void X11Shortcuts::remove(Shortcut id) {
    auto it =
        std::find_if(grabs_.begin(), grabs_.end(), [id](const Grab &g) { return g.id == id; });
    if (it == grabs_.end())
        return;
    ungrab(*it);
    grabs_.erase(it);
}

unsigned long X11Shortcuts::lastError() {
    return lastError_.load();
}

bool X11Shortcuts::grab(Grab &g) {
    xcb_connection_t *connection = qtConnection();
    if (!connection) {
        lastError_ = X11Input::kErrorNoConnection;
        qCWarning(lcX11Input) << "No X connection of Qt's own for the hot key";
        return false;
    }
    const X11Input::ShortcutKey key = input_.shortcutKey(g.chord.modifiers, g.chord.vk);
    if (!key.keycode) {
        lastError_ = X11Input::kErrorNoKey;
        return false;
    }
    g.keycode = key.keycode;
    g.mods = key.mods;
    g.ignored = key.ignored;
    g.root = static_cast<std::uint32_t>(key.root);
    g.variants.clear();
    // The same key with Caps Lock and Num Lock on must fire too.
    std::vector<unsigned> variants{0, LockMask};
    if (g.ignored != LockMask) {
        variants.push_back(g.ignored & ~static_cast<unsigned>(LockMask));
        variants.push_back(g.ignored);
    }
    std::vector<xcb_void_cookie_t> cookies;
    for (unsigned v : variants)
        cookies.push_back(xcb_grab_key_checked(
            connection, 0, g.root, static_cast<std::uint16_t>(g.mods | v),
            static_cast<xcb_keycode_t>(g.keycode), XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    unsigned errorCode = 0;
    for (size_t i = 0; i < cookies.size(); ++i) {
        if (xcb_generic_error_t *error = xcb_request_check(connection, cookies[i])) {
            errorCode = error->error_code;
            std::free(error);
        } else {
            g.variants.push_back(variants[i]);
        }
    }
    if (errorCode) {
        // Someone else holds the combination (BadAccess): undo our part.
        ungrab(g);
        g.variants.clear();
        lastError_ = errorCode;
        return false;
    }
    return true;
}

void X11Shortcuts::ungrab(const Grab &g) {
    xcb_connection_t *connection = qtConnection();
    if (!connection || g.variants.empty())
        return;
    for (unsigned v : g.variants)
        xcb_ungrab_key(connection, static_cast<xcb_keycode_t>(g.keycode), g.root,
                       static_cast<std::uint16_t>(g.mods | v));
    xcb_flush(connection);
}

void X11Shortcuts::regrabLater() {
    stale_ = true;
    QMetaObject::invokeMethod(
        context_.get(), [this] { regrab(); }, Qt::QueuedConnection);
}

void X11Shortcuts::regrab() {
    if (!stale_.exchange(false))
        return;
    for (Grab &g : grabs_) {
        ungrab(g);
        g.variants.clear();
        if (!grab(g))
            qCWarning(lcX11Input) << "The hot key could not be grabbed again after a layout change";
    }
    // One that could not be had again stays listed (so that remove() and a
    // later map change still know it) but holds no grab.
}

bool X11Shortcuts::onKeyPress(const void *message) {
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS)
        return false;
    const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
    for (const Grab &g : grabs_) {
        // Pressed on the root (our grab), not typed into one of our windows,
        // with exactly the modifiers asked for, whatever the lock keys.
        const unsigned mods = press->state & 0xFFu & ~g.ignored;
        if (!g.variants.empty() && press->event == g.root && press->detail == g.keycode &&
            mods == g.mods) {
            // Never inside the native event dispatch: from the event loop.
            const Shortcut id = g.id;
            QMetaObject::invokeMethod(
                context_.get(), [this, id] { fire(id); }, Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}

void X11Shortcuts::fire(Shortcut id) {
    auto it =
        std::find_if(grabs_.begin(), grabs_.end(), [id](const Grab &g) { return g.id == id; });
    if (it == grabs_.end() || !it->callback)
        return;
    // The callback may remove or replace its own shortcut.
    const std::function<void()> callback = it->callback;
    callback();
}

// The synthesis layer's side: its keyboard map knows the keys.
X11Input::ShortcutKey X11Input::shortcutKey(unsigned modifiers, int vk) {
    ShortcutKey key;
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return key;
    pumpLocked();
    const KeyMap &map = keyMapLocked();
    key.keycode = map.keycodeForLetterVk(vk);
    if (!key.keycode)
        key.keycode = map.keycodeFor(keysymForVk(vk));
    if (modifiers & kModAlt)
        key.mods |= map.altMask();
    if (modifiers & kModControl)
        key.mods |= ControlMask;
    if (modifiers & kModShift)
        key.mods |= ShiftMask;
    if (modifiers & kModWin)
        key.mods |= map.superMask();
    key.ignored = LockMask | map.numLockMask();
    key.root = root_;
    return key;
}

void X11Input::regrabHotKeysLater() {
    // Under mutex_, from whichever thread noticed the new map.
    if (shortcuts_)
        shortcuts_->regrabLater();
}

} // namespace platform::x11
