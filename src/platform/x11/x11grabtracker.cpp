#include "x11grabtracker.h"

#include <algorithm>
#include <cstring>

namespace platform::x11 {
namespace {

// Core protocol and XInput opcodes and event types (X11/Xproto.h,
// X11/extensions/XIproto.h, XI2proto.h), spelled out so that this unit needs
// no X headers.
constexpr int kReply = 1;
constexpr int kError = 0;
constexpr int kKeyPress = 2;
constexpr int kButtonRelease = 5;
constexpr int kDestroyWindow = 4;
constexpr int kUnmapWindow = 10;
constexpr int kGrabKeyboard = 31;
constexpr int kUngrabKeyboard = 32;
constexpr int kXiGrabDevice = 13;
constexpr int kXiUngrabDevice = 14;
constexpr int kXi2GrabDevice = 51;
constexpr int kXi2UngrabDevice = 52;
constexpr int kGrabSuccess = 0;

// Often enough that keys are not kept back long after an unseen end; a
// probe that fails costs the holder of the grab nothing.
constexpr std::int64_t kUnknownReprobeMs = 500;
// Far longer than any round trip: an answer this late is taken as lost.
constexpr std::int64_t kLostProbeMs = 2000;

bool hostIsBigEndian() {
    const std::uint16_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 0;
}

// Fields in the recorded client's byte order; `swapped` says it is not ours.
std::uint16_t card16(const unsigned char *p, bool swapped) {
    if (hostIsBigEndian() != swapped)
        return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
    return static_cast<std::uint16_t>(p[1] << 8 | p[0]);
}

std::uint32_t card32(const unsigned char *p, bool swapped) {
    const std::uint32_t a = p[0], b = p[1], c = p[2], d = p[3];
    if (hostIsBigEndian() != swapped)
        return a << 24 | b << 16 | c << 8 | d;
    return d << 24 | c << 16 | b << 8 | a;
}

} // namespace

GrabTracker::GrabTracker(std::uint32_t ownClient, int xiOpcode, std::function<bool(int)> isKeyboard)
    : ownClient_(ownClient), xiOpcode_(xiOpcode), isKeyboard_(std::move(isKeyboard)) {}

void GrabTracker::request(std::uint32_t client, std::uint32_t sequence, const unsigned char *data,
                          std::size_t size, bool swapped) {
    if (size < 4)
        return;
    const auto seq = static_cast<std::uint16_t>(sequence);
    const int opcode = data[0];
    if (opcode == kGrabKeyboard && size >= 8) {
        pending_[{client, seq}] = Grab{client, Kind::Core, 0, card32(data + 4, swapped)};
    } else if (opcode == kUngrabKeyboard) {
        if (client == ownClient_)
            ownGrab_ = false;
        else
            released(client, Kind::Core, 0);
    } else if ((opcode == kDestroyWindow || opcode == kUnmapWindow) && size >= 8) {
        windowGone(card32(data + 4, swapped));
    } else if (opcode == xiOpcode_) {
        const int minor = data[1];
        if (minor == kXiGrabDevice && size >= 20)
            pending_[{client, seq}] =
                Grab{client, Kind::XInput1, data[17], card32(data + 4, swapped)};
        else if (minor == kXi2GrabDevice && size >= 20)
            pending_[{client, seq}] =
                Grab{client, Kind::XInput2, card16(data + 16, swapped), card32(data + 4, swapped)};
        else if (minor == kXiUngrabDevice && size >= 12)
            released(client, Kind::XInput1, data[8]);
        else if (minor == kXi2UngrabDevice && size >= 12)
            released(client, Kind::XInput2, card16(data + 8, swapped));
    }
}

void GrabTracker::fromServer(std::uint32_t client, const unsigned char *data, std::size_t size,
                             bool swapped) {
    if (size < 8)
        return;
    const int type = data[0] & 0x7F;
    if (type == kReply || type == kError) {
        const auto it = pending_.find({client, card16(data + 2, swapped)});
        if (it == pending_.end())
            return;
        const Grab grab = it->second;
        pending_.erase(it);
        // The status: byte 1 of a core reply, byte 8 of an XInput one.
        const int status = grab.kind == Kind::Core ? data[1] : size > 8 ? data[8] : -1;
        const bool granted = type == kReply && status == kGrabSuccess;
        if (client == ownClient_ && grab.kind == Kind::Core) {
            // The answer to a probe.
            probing_ = false;
            if (granted) {
                // Nobody else held it: whatever we thought held is gone.
                grabs_.clear();
                unknown_ = false;
                ownGrab_ = true;
            } else {
                unknown_ = grabs_.empty();
            }
            return;
        }
        if (granted && (grab.kind == Kind::Core || isKeyboard_(grab.device)))
            this->granted(grab);
        return;
    }
    if (type >= kKeyPress && type <= kButtonRelease && size >= 32) {
        RecordedInput in;
        in.key = type <= kKeyPress + 1;
        in.press = type == kKeyPress || type == kKeyPress + 2;
        in.detail = data[1];
        in.time = card32(data + 4, swapped);
        in.rootX = static_cast<std::int16_t>(card16(data + 20, swapped));
        in.rootY = static_cast<std::int16_t>(card16(data + 22, swapped));
        in.grabbedByOther = held();
        input_.push_back(in);
    }
}

void GrabTracker::clientDied(std::uint32_t client) {
    grabs_.erase(std::remove_if(grabs_.begin(), grabs_.end(),
                                [&](const Grab &g) { return g.client == client; }),
                 grabs_.end());
    for (auto it = pending_.begin(); it != pending_.end();)
        it = it->first.first == client ? pending_.erase(it) : std::next(it);
    mayHaveEnded();
}

bool GrabTracker::takeProbeRequest(std::int64_t nowMs) {
    const std::int64_t since = nowMs - probedAt_;
    if (probing_ ? since >= kLostProbeMs : unknown_ && since >= kUnknownReprobeMs)
        probeWanted_ = true;
    if (!probeWanted_)
        return false;
    probeWanted_ = false;
    probing_ = true;
    probedAt_ = nowMs;
    return true;
}

std::vector<RecordedInput> GrabTracker::takeInput() {
    std::vector<RecordedInput> out;
    out.swap(input_);
    return out;
}

void GrabTracker::granted(const Grab &grab) {
    // A client that grabs again moves its grab to the new window.
    released(grab.client, grab.kind, grab.device);
    grabs_.push_back(grab);
}

void GrabTracker::released(std::uint32_t client, Kind kind, int device) {
    grabs_.erase(std::remove_if(grabs_.begin(), grabs_.end(),
                                [&](const Grab &g) {
                                    return g.client == client && g.kind == kind &&
                                           (kind == Kind::Core || g.device == device);
                                }),
                 grabs_.end());
    mayHaveEnded();
}

void GrabTracker::windowGone(std::uint32_t window) {
    grabs_.erase(std::remove_if(grabs_.begin(), grabs_.end(),
                                [&](const Grab &g) { return g.window == window; }),
                 grabs_.end());
    // A grab also ends when an ancestor of its window is unmapped, which the
    // requests alone do not show: the probe tells.
    mayHaveEnded();
}

void GrabTracker::mayHaveEnded() {
    if ((unknown_ || !grabs_.empty()) && !probing_)
        probeWanted_ = true;
}

} // namespace platform::x11
