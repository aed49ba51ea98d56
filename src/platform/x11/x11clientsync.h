#pragma once

// Whether the focused client has read what we sent it. Clients answer in the
// order of their events, so an answer to a question sent after a key means
// the key was read. The question is _NET_WM_PING on the client's top-level
// or, for Tk, which has no ping, an empty message on its `send` channel (Tk
// reads and deletes it in turn with its other events). A comm window is used
// only while it is what the registry says, as Tk itself checks: alive and
// carrying the registered name, so a window that took a dead application's
// id, or a forged entry, gets nothing from us. A client that cannot be asked
// is given kReuseAge, one that does not answer kPongTimeout.
// Called with the layer's mutex held.

#include "x11keybinder.h"

#include <chrono>
#include <string>
#include <vector>

namespace platform::x11 {

class X11Connection;

class FocusedClientSync final : public ClientSync {
public:
    static constexpr std::chrono::milliseconds kReuseAge{150};
    static constexpr std::chrono::milliseconds kPongTimeout{2000};

    // Subscribes to the answers on `connection`.
    void open(X11Connection &connection);

    Clock::time_point safeFrom(Clock::time_point lastUse) const override;
    void ask(Clock::time_point lastUse) override;
    void probe() override;
    void poll() override;

private:
    struct Ping {
        long serial;
        Clock::time_point sentAt;
        unsigned long commWindow = 0;    // where a message to Tk went
        unsigned long requestSerial = 0; // the X request that appended it
    };
    // The window that takes the question for the focused client, 0: none;
    // sets byComm_.
    unsigned long target();
    // A Tk application's comm window, when `window` belongs to one; sets
    // commName_.
    unsigned long tkCommWindow(unsigned long window);
    // Whether `commWindow` exists and names the application commName_.
    bool isTkCommWindow(unsigned long commWindow) const;
    // The index in pings_ of the open message on a comm window, -1: none.
    int openMessage(unsigned long commWindow) const;
    void onPong(long serial);
    void onCommTaken(unsigned long commWindow, unsigned long eventSerial);

    X11Connection *connection_ = nullptr;
    unsigned long wmProtocols_ = 0;
    unsigned long netWmPing_ = 0;
    unsigned long commAtom_ = 0;
    unsigned long appNameAtom_ = 0; // TK_APPLICATION: the names a comm window serves
    unsigned long clientBits_ = 0;  // the part of a resource id that names its client
    unsigned long focus_ = 0;       // the focus window the target was found for
    unsigned long target_ = 0;      // its top-level that answers pings, 0: none
    bool capable_ = false;
    std::string commName_;      // the registry's name for target_'s application
    bool byComm_ = false;       // target_ is a Tk comm window
    bool commAnswered_ = false; // and it has answered once: its silence means busy
    Clock::time_point lastAttempt_{};
    long nextSerial_ = 1;
    std::vector<Ping> pings_;        // sent and not answered, oldest first
    Clock::time_point caughtUpTo_{}; // the client has read all we sent before this
};

} // namespace platform::x11
