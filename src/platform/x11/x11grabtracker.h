#pragma once

// Whether another client holds the keyboard grab, worked out from what the
// RECORD extension reports, in the order the server did it: the requests
// that grab and ungrab the keyboard (core, XInput 1 and XInput 2), the
// replies that say whether a grab was granted, the requests that unmap or
// destroy a window (a grab ends when its window becomes unviewable) and
// clients that go away. The keyboard's own device events come in the same
// stream, so each is marked with the grab state at the moment the server
// handled it. Password prompts and screen lockers hold the grab while the
// user types into them.
//
// A grab that was held before the stream began is found by a probe: the
// recorder grabs and at once ungrabs the keyboard itself, and the answer
// to that grab, in the stream, says whether someone else held it. Until the
// first answer, and whenever a grab of unknown origin may have ended, the
// keyboard counts as held and a probe is asked for. Some grabs end with no
// request to see (a window manager's key grab ends when its key is let go),
// so while one of unknown origin is held the probe is repeated now and then;
// and a probe whose answer never came is made again.
//
// Knows no X connection: it reads the protocol bytes it is given.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

namespace platform::x11 {

// One key or button event from the stream.
struct RecordedInput {
    bool key = true;
    bool press = true;
    int detail = 0;         // keycode or button
    std::uint32_t time = 0; // server time
    int rootX = 0;
    int rootY = 0;
    bool grabbedByOther = false; // another client held the keyboard then
};

class GrabTracker {
public:
    // `ownClient`: the resource-id base of the connection the probes are made
    // on. `isKeyboard`: whether an XInput device id is a keyboard.
    GrabTracker(std::uint32_t ownClient, int xiOpcode, std::function<bool(int)> isKeyboard);

    // A request as recorded: `client` its resource-id base, `sequence` its
    // sequence number, `swapped` when the client's byte order is not ours.
    void request(std::uint32_t client, std::uint32_t sequence, const unsigned char *data,
                 std::size_t size, bool swapped);
    // A reply, an error or a device event from the server.
    void fromServer(std::uint32_t client, const unsigned char *data, std::size_t size,
                    bool swapped);
    void clientDied(std::uint32_t client);

    bool held() const { return !grabs_.empty() || unknown_ || ownGrab_; }
    // True once when a probe should be made now, `nowMs` on a steady clock.
    bool takeProbeRequest(std::int64_t nowMs);
    // The key and button events seen since the last call.
    std::vector<RecordedInput> takeInput();

private:
    enum class Kind { Core, XInput1, XInput2 };
    struct Grab {
        std::uint32_t client = 0;
        Kind kind = Kind::Core;
        int device = 0;
        std::uint32_t window = 0;
    };
    void granted(const Grab &grab);
    void released(std::uint32_t client, Kind kind, int device);
    void windowGone(std::uint32_t window);
    // Something happened that may have ended a grab we cannot see.
    void mayHaveEnded();

    const std::uint32_t ownClient_;
    const int xiOpcode_;
    std::function<bool(int)> isKeyboard_;
    std::vector<Grab> grabs_;
    // Grab requests waiting for their reply: (client, 16-bit sequence).
    std::map<std::pair<std::uint32_t, std::uint16_t>, Grab> pending_;
    bool unknown_ = true;  // held by a client we did not see grab it
    bool ownGrab_ = false; // our own probe holds it
    bool probeWanted_ = true;
    bool probing_ = false; // a probe was asked for and has not been answered
    std::int64_t probedAt_ = 0;
    std::vector<RecordedInput> input_;
};

} // namespace platform::x11
