#pragma once

// The desktop's key events on X11. They come as XInput2 raw key events on
// the root window of a connection of their own, read by a socket notifier on
// the GUI thread, opened with the first listener and closed with the last.
// Raw events cannot be kept from the windows, so while a listener swallows,
// the connection also holds an active keyboard grab: the focused window then
// receives nothing. The server does not send raw events to the client that
// holds the grab; the grab's own key events report the keys instead. The
// left and right buttons come the same way, as raw button events, mapped as
// the core pointer maps them.

#include "platform/keyevents.h"

#include <atomic>
#include <memory>
#include <vector>

struct _XDisplay;
class QSocketNotifier;

namespace platform::x11 {

class X11Input;

class X11KeyEvents final : public KeyEvents {
public:
    // `input` (which must outlive this) names the keys.
    explicit X11KeyEvents(X11Input &input);
    ~X11KeyEvents() override;

    bool addListener(KeyListener *listener) override;
    void removeListener(KeyListener *listener) override;
    void setSwallowing(KeyListener *listener, bool active) override;
    bool addButtonListener(ButtonListener *listener) override;
    void removeButtonListener(ButtonListener *listener) override;
    unsigned long lastError() override;

    // From Xlib's I/O error path: records the loss when `display` is ours
    // and says so. Never calls into Xlib.
    bool noteLost(_XDisplay *display);
    // GUI thread: lets go of the connection (after a loss, without using it).
    void closeConnection();

private:
    struct Entry {
        KeyListener *listener; // null: removed while dispatching
        bool swallow;
    };
    bool openConnection();
    void readEvents();
    void dispatch(int keycode, bool down, unsigned long time);
    void dispatchButton(int button, bool down, unsigned long time);
    // Closes the connection once nobody listens any more.
    void closeIfUnused();
    void updateGrab();
    bool swallowWanted() const;

    X11Input &input_;
    _XDisplay *display_ = nullptr;
    int xiOpcode_ = -1;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::vector<Entry> listeners_;
    std::vector<ButtonListener *> buttonListeners_; // null: removed while dispatching
    bool grabbed_ = false;
    bool dispatching_ = false;
    bool closePending_ = false;
    std::atomic<bool> lost_{false};
    std::atomic<unsigned long> lastError_{0};
};

} // namespace platform::x11
