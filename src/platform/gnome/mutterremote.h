#pragma once

// One remote-desktop session of mutter's own D-Bus API
// (org.gnome.Mutter.RemoteDesktop, with a ScreenCast session of the primary
// monitor beside it, whose stream absolute pointer positions count on): the
// keys, buttons and pointer of the GNOME backend, and the clipboard through
// which it pastes what the user's layout cannot type. The API is private to
// GNOME and promises nothing between versions, so open() checks the versions
// it was written for. A connection of its own, since mutter takes input only
// from the session's creator; a thread of its own hears the session's
// signals. Any thread may call. No GLib types here.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform::gnome {

// The versions of mutter's interfaces this was written for.
inline constexpr int kRemoteDesktopVersion = 1;
inline constexpr int kScreenCastVersion = 4;

// The stream's place in the desktop's layout, in logical pixels.
struct StreamArea {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class MutterRemote {
public:
    MutterRemote();
    ~MutterRemote(); // stops the session
    MutterRemote(const MutterRemote &) = delete;
    MutterRemote &operator=(const MutterRemote &) = delete;

    // Whether mutter's remote desktop answers on the session bus
    // (DBUS_SESSION_BUS_ADDRESS) in the versions we know; `error` says why
    // not. Asks on a connection of its own, briefly.
    static bool available(std::string &error);

    // Connects, makes the sessions and starts them; false with a reason.
    bool open(std::string &error);
    // False once mutter closed the session or went away.
    bool alive() const;
    // Why the session ended, once it has.
    std::string closedReason() const;

    StreamArea area() const;
    // The PipeWire node of the monitor's stream; 0 before open.
    std::uint32_t pipewireNode() const;

    // Each false when the call failed (the session is gone).
    bool keycode(unsigned evdevCode, bool down);
    bool keysym(std::uint32_t keysym, bool down);
    bool button(int evdevButton, bool down);
    bool axisDiscrete(unsigned axis, int steps);
    // A position in the layout (logical pixels), on the monitor's stream.
    bool motionAbsolute(double x, double y);

    // The clipboard. What it holds now, by MIME type (empty: nothing, or it
    // could not be read).
    std::map<std::string, std::string> readSelection();
    // Offers `data` (by MIME type) as the clipboard's content until the next
    // offer; the transfers are answered on the signal thread.
    bool offerSelection(const std::map<std::string, std::string> &data);
    // How many transfers of our offers have been answered so far.
    std::uint64_t transfersServed() const;
    // Waits until more than `served` have been, or `timeoutMs` passed.
    bool waitTransfer(std::uint64_t served, int timeoutMs);
    // Waits until no transfer of our offers has come for `quietMs` (GNOME's
    // clipboard manager copies each new content, and a copy finishing late
    // would put it back over a newer one), at most `timeoutMs`.
    void waitTransfersQuiet(int quietMs, int timeoutMs);
    // True while the clipboard holds an offer of ours.
    bool ownsSelection() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace platform::gnome
