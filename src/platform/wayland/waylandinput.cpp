#include "waylandinput.h"

#include "waylandkeymap.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"
#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace platform::wayland {
namespace {

WaylandInput *self(void *data) {
    return static_cast<WaylandInput *>(data);
}

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version) {
    self(data)->addGlobal(registry, name, interface, version);
}

void onGlobalRemove(void *data, wl_registry *, uint32_t name) {
    self(data)->removeGlobal(name);
}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

WaylandInput::Output *output(void *data) {
    return static_cast<WaylandInput::Output *>(data);
}

void onGeometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                const char *, const char *, int32_t) {
    output(data)->x = x;
    output(data)->y = y;
}

void onMode(void *data, wl_output *, uint32_t flags, int32_t width, int32_t height, int32_t) {
    if (flags & WL_OUTPUT_MODE_CURRENT) {
        output(data)->modeWidth = width;
        output(data)->modeHeight = height;
    }
}

void onOutputDone(void *, wl_output *) {}

void onScale(void *data, wl_output *, int32_t factor) {
    output(data)->scale = factor > 0 ? factor : 1;
}

void onOutputName(void *, wl_output *, const char *) {}
void onOutputDescription(void *, wl_output *, const char *) {}

const wl_output_listener kOutputListener = {onGeometry, onMode,       onOutputDone,
                                            onScale,    onOutputName, onOutputDescription};

void onLogicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
    output(data)->lx = x;
    output(data)->ly = y;
    output(data)->logical = true;
}

void onLogicalSize(void *data, zxdg_output_v1 *, int32_t width, int32_t height) {
    output(data)->lwidth = width;
    output(data)->lheight = height;
    output(data)->logical = true;
}

void onXdgDone(void *, zxdg_output_v1 *) {}
void onXdgName(void *, zxdg_output_v1 *, const char *) {}
void onXdgDescription(void *, zxdg_output_v1 *, const char *) {}

// One capture's progress, as the frame's events tell it.
struct Capture {
    bool offered = false; // a wl_shm buffer was described
    std::uint32_t format = 0, width = 0, height = 0, stride = 0;
    std::uint32_t flags = 0;
    bool ready = false;
    bool failed = false;
};

Capture *capture(void *data) {
    return static_cast<Capture *>(data);
}

void onFrameBuffer(void *data, zwlr_screencopy_frame_v1 *, uint32_t format, uint32_t width,
                   uint32_t height, uint32_t stride) {
    Capture *c = capture(data);
    c->offered = true;
    c->format = format;
    c->width = width;
    c->height = height;
    c->stride = stride;
}
void onFrameFlags(void *data, zwlr_screencopy_frame_v1 *, uint32_t flags) {
    capture(data)->flags = flags;
}
void onFrameReady(void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {
    capture(data)->ready = true;
}
void onFrameFailed(void *data, zwlr_screencopy_frame_v1 *) {
    capture(data)->failed = true;
}
void onFrameDamage(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onFrameDmabuf(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {}
void onFrameBufferDone(void *, zwlr_screencopy_frame_v1 *) {}

const zwlr_screencopy_frame_v1_listener kFrameListener = {
    onFrameBuffer, onFrameFlags,  onFrameReady,     onFrameFailed,
    onFrameDamage, onFrameDmabuf, onFrameBufferDone};

const zxdg_output_v1_listener kXdgOutputListener = {onLogicalPosition, onLogicalSize, onXdgDone,
                                                    onXdgName, onXdgDescription};

template <typename T>
T *bind(wl_registry *registry, uint32_t name, const wl_interface *interface, uint32_t offered,
        uint32_t wanted) {
    return static_cast<T *>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

constexpr std::uint32_t kButtonCodes[] = {BTN_LEFT, BTN_RIGHT};

// A key and its modifiers take at most about 60 bytes of libwayland's 4 KiB
// buffer, which must not fill between writes.
constexpr unsigned kKeysPerWrite = 48;

std::uint32_t buttonCode(MouseButton button) {
    return kButtonCodes[button == MouseButton::Left ? 0 : 1];
}

} // namespace

LayoutBox layoutOf(const std::vector<std::unique_ptr<WaylandInput::Output>> &outputs) {
    bool any = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    for (const auto &o : outputs) {
        int x = o->x, y = o->y;
        int w = o->scale > 0 ? o->modeWidth / o->scale : o->modeWidth;
        int h = o->scale > 0 ? o->modeHeight / o->scale : o->modeHeight;
        if (o->logical) {
            x = o->lx;
            y = o->ly;
            w = o->lwidth;
            h = o->lheight;
        }
        if (w <= 0 || h <= 0)
            continue;
        if (!any) {
            left = x;
            top = y;
            right = x + w;
            bottom = y + h;
            any = true;
        } else {
            left = std::min(left, x);
            top = std::min(top, y);
            right = std::max(right, x + w);
            bottom = std::max(bottom, y + h);
        }
    }
    LayoutBox box;
    if (any) {
        box.x = left;
        box.y = top;
        box.width = right - left;
        box.height = bottom - top;
    }
    return box;
}

std::unique_ptr<WaylandInput> WaylandInput::create(std::string &error) {
    std::unique_ptr<WaylandInput> input(new WaylandInput);
    if (!input->open(error))
        return nullptr;
    return input;
}

void WaylandInput::addGlobal(wl_registry *registry, uint32_t name, const char *interface,
                             uint32_t version) {
    if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        if (!seat_) { // the first seat: the one a desktop of one user has
            seat_ = bind<wl_seat>(registry, name, &wl_seat_interface, version, 1);
            seatName_ = name;
        }
    } else if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto o = std::make_unique<Output>();
        o->name = name;
        o->output = bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(o->output, &kOutputListener, o.get());
        attachXdgOutput(*o);
        outputs_.push_back(std::move(o));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        xdgOutputManager_ = bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, 2);
        for (auto &o : outputs_)
            attachXdgOutput(*o);
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        keyboardManager_ = bind<zwp_virtual_keyboard_manager_v1>(
            registry, name, &zwp_virtual_keyboard_manager_v1_interface, version, 1);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        shm_ = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
        screencopy_ = bind<zwlr_screencopy_manager_v1>(
            registry, name, &zwlr_screencopy_manager_v1_interface, version, 1);
    } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        pointerManager_ = bind<zwlr_virtual_pointer_manager_v1>(
            registry, name, &zwlr_virtual_pointer_manager_v1_interface, version, 1);
    }
}

void WaylandInput::attachXdgOutput(Output &o) {
    if (!xdgOutputManager_ || o.xdgOutput)
        return;
    o.xdgOutput = zxdg_output_manager_v1_get_xdg_output(xdgOutputManager_, o.output);
    zxdg_output_v1_add_listener(o.xdgOutput, &kXdgOutputListener, &o);
}

void WaylandInput::removeGlobal(uint32_t name) {
    auto it = std::find_if(outputs_.begin(), outputs_.end(),
                           [name](const auto &o) { return o->name == name; });
    if (it == outputs_.end())
        return;
    if ((*it)->xdgOutput)
        zxdg_output_v1_destroy((*it)->xdgOutput);
    wl_output_destroy((*it)->output);
    outputs_.erase(it);
}

bool WaylandInput::open(std::string &error) {
    display_ = wl_display_connect(nullptr);
    if (!display_) {
        error = "cannot connect to the Wayland compositor (WAYLAND_DISPLAY)";
        return false;
    }
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistryListener, this);
    // The globals, then what the outputs say about themselves.
    if (wl_display_roundtrip(display_) < 0 || wl_display_roundtrip(display_) < 0) {
        error = "the Wayland compositor closed the connection";
        return false;
    }
    if (!seat_ || !keyboardManager_ || !pointerManager_) {
        error = "this Wayland compositor offers no virtual keyboard and pointer "
                "(zwp_virtual_keyboard_manager_v1, zwlr_virtual_pointer_manager_v1)";
        return false;
    }
    xkb_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!xkb_) {
        error = "libxkbcommon could not start";
        return false;
    }
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(keyboardManager_, seat_);
    pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(pointerManager_, seat_);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!uploadKeymapLocked({})) {
        error = "the keyboard map could not be made";
        return false;
    }
    if (wl_display_roundtrip(display_) < 0) {
        error = "the Wayland compositor refused the virtual keyboard or pointer";
        return false;
    }
    const LayoutBox box = layoutOf(outputs_);
    cursor_ = {box.x + box.width / 2, box.y + box.height / 2};
    return true;
}

WaylandInput::~WaylandInput() {
    releaseAll();
    std::lock_guard<std::mutex> lock(mutex_);
    if (state_)
        xkb_state_unref(state_);
    if (keymap_)
        xkb_keymap_unref(keymap_);
    if (xkb_)
        xkb_context_unref(xkb_);
    if (!display_)
        return;
    if (keyboard_)
        zwp_virtual_keyboard_v1_destroy(keyboard_);
    if (pointer_)
        zwlr_virtual_pointer_v1_destroy(pointer_);
    if (pointerManager_)
        zwlr_virtual_pointer_manager_v1_destroy(pointerManager_);
    if (keyboardManager_)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(keyboardManager_));
    for (auto &o : outputs_) {
        if (o->xdgOutput)
            zxdg_output_v1_destroy(o->xdgOutput);
        wl_output_destroy(o->output);
    }
    if (xdgOutputManager_)
        zxdg_output_manager_v1_destroy(xdgOutputManager_);
    if (screencopy_)
        zwlr_screencopy_manager_v1_destroy(screencopy_);
    if (shm_)
        wl_shm_destroy(shm_);
    if (seat_)
        wl_seat_destroy(seat_);
    if (registry_)
        wl_registry_destroy(registry_);
    wl_display_flush(display_);
    wl_display_disconnect(display_);
}

bool WaylandInput::usableLocked() {
    if (!display_ || lost_)
        return false;
    if (wl_display_get_error(display_) != 0) {
        lost_ = true;
        return false;
    }
    return true;
}

void WaylandInput::flushLocked() {
    unflushedKeys_ = 0;
    ++writes_;
    // The requests wait in a small buffer: a full one that cannot be written
    // would end the connection, so it is written out while the compositor
    // keeps up.
    while (wl_display_flush(display_) < 0) {
        if (errno != EAGAIN) {
            lost_ = true;
            return;
        }
        pollfd p{wl_display_get_fd(display_), POLLOUT, 0};
        if (poll(&p, 1, 5000) <= 0) {
            lost_ = true;
            return;
        }
    }
}

void WaylandInput::pumpLocked() {
    if (!usableLocked())
        return;
    while (wl_display_prepare_read(display_) != 0)
        wl_display_dispatch_pending(display_);
    flushLocked();
    pollfd p{wl_display_get_fd(display_), POLLIN, 0};
    if (poll(&p, 1, 0) > 0)
        wl_display_read_events(display_);
    else
        wl_display_cancel_read(display_);
    wl_display_dispatch_pending(display_);
}

std::uint32_t WaylandInput::nowMs() const {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool WaylandInput::uploadKeymapLocked(const std::vector<char32_t> &block) {
    const std::string text = keymapText(block);
    xkb_keymap *keymap = xkb_keymap_new_from_string(xkb_, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    if (!keymap)
        return false;
    xkb_state *state = xkb_state_new(keymap);
    if (!state) {
        xkb_keymap_unref(keymap);
        return false;
    }
    // Held keys stay held in the new state; locks stay locked.
    for (const auto &[code, count] : heldKeys_)
        if (count > 0)
            xkb_state_update_key(state, code + 8, XKB_KEY_DOWN);
    if (state_) {
        const xkb_mod_mask_t locked = xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED);
        xkb_state_update_mask(state, xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED), 0,
                              locked, 0, 0, 0);
        xkb_state_unref(state_);
    }
    if (keymap_)
        xkb_keymap_unref(keymap_);
    keymap_ = keymap;
    state_ = state;

    const int fd = memfd_create("tarnwick-keymap", MFD_CLOEXEC);
    if (fd < 0)
        return false;
    const std::size_t size = text.size() + 1; // with its NUL, as the compositor reads it
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, text.c_str() + written, size - written);
        if (n <= 0) {
            close(fd);
            return false;
        }
        written += static_cast<std::size_t>(n);
    }
    // The request carries a copy of the descriptor.
    zwp_virtual_keyboard_v1_keymap(keyboard_, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(size));
    close(fd);
    block_ = block;
    block_.resize(blockSize(), 0);
    slotHolds_.resize(block_.size(), 0);
    ++uploads_;
    // A new keymap starts the clients' state afresh: they hear the
    // modifiers again.
    sendModifiersLocked(true);
    flushLocked();
    return true;
}

void WaylandInput::sendModifiersLocked(bool always) {
    const std::uint32_t mods[4] = {xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                                   xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                                   xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                                   xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE)};
    if (!always && std::equal(mods, mods + 4, sentMods_))
        return;
    std::copy(mods, mods + 4, sentMods_);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, mods[0], mods[1], mods[2], mods[3]);
}

bool WaylandInput::sendKeyLocked(unsigned code, bool down, bool mayWait) {
    zwp_virtual_keyboard_v1_key(keyboard_, nowMs(), code,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state_, code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    sendModifiersLocked(false);
    if (mayWait && ++unflushedKeys_ < kKeysPerWrite)
        return true;
    flushLocked();
    return false;
}

void WaylandInput::keyDown(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned code = evdevForVk(vk);
    if (!code || !usableLocked())
        return;
    if (heldKeys_[code]++ == 0) {
        // Shortcuts are pressed in the first group, the keyboard's own
        // layout: a client that matches them by group sees no other.
        selectGroupLocked(0);
        sendKeyLocked(code, true);
    }
}

void WaylandInput::keyUp(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned code = evdevForVk(vk);
    auto it = heldKeys_.find(code);
    if (!code || it == heldKeys_.end())
        return;
    if (--it->second > 0)
        return;
    heldKeys_.erase(it);
    if (usableLocked())
        sendKeyLocked(code, false);
}

void WaylandInput::textAhead(const char16_t *units, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::thread::id me = std::this_thread::get_id();
    typing_.of(me).announce(units, count);
    typing_.endIfIdle(me);
}

void WaylandInput::unicodeDown(char16_t unit) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::thread::id me = std::this_thread::get_id();
    desktop::TypingSession &session = typing_.of(me);
    char32_t cp = 0;
    if (session.take(unit, cp)) {
        session.follow(cp);
        pressCodePointLocked(session, cp);
    }
    typing_.endIfIdle(me);
}

long WaylandInput::slotForLocked(char32_t cp, const desktop::TypingSession &session) {
    for (std::size_t i = 0; i < block_.size(); ++i)
        if (block_[i] == cp)
            return static_cast<long>(i);
    if (keysymNameFor(cp).empty())
        return -1;
    // A new block: the characters still held keep their keys, then this one
    // and as many of those announced after it as fit.
    std::vector<char32_t> next(block_.size(), 0);
    for (std::size_t i = 0; i < block_.size(); ++i)
        if (slotHolds_[i] > 0)
            next[i] = block_[i];
    std::size_t freeAt = 0;
    auto place = [&](char32_t c) {
        if (keysymNameFor(c).empty() || std::find(next.begin(), next.end(), c) != next.end())
            return true;
        while (freeAt < next.size() && next[freeAt] != 0)
            ++freeAt;
        if (freeAt == next.size())
            return false;
        next[freeAt] = c;
        return true;
    };
    if (!place(cp))
        return -1; // every key holds a character still held
    const std::u32string &ahead = session.ahead();
    for (std::size_t i = session.typed(); i < ahead.size(); ++i)
        if (!place(ahead[i]))
            break;
    // The keys typed so far reach the compositor first, so a slow client
    // cannot fall too far behind.
    if (wl_display_roundtrip(display_) < 0) {
        lost_ = true;
        return -1;
    }
    if (!uploadKeymapLocked(next))
        return -1;
    const auto it = std::find(block_.begin(), block_.end(), cp);
    return it == block_.end() ? -1 : static_cast<long>(it - block_.begin());
}

void WaylandInput::pressCodePointLocked(const desktop::TypingSession &session, char32_t cp) {
    if (!usableLocked())
        return;
    const long slot = slotForLocked(cp, session);
    if (slot < 0 || !usableLocked())
        return;
    const auto index = static_cast<std::size_t>(slot);
    ++slotHolds_[index];
    // Text typed as fast as it comes goes out in writes of many keys: the
    // compositor then passes each write on to the client as one message. A
    // message per key fills the client's socket with small buffers the
    // kernel counts at far more than their size, and a compositor that
    // cannot write to a client which fell behind drops it (GTK's clients
    // were dropped so). A press waits only when more of the announced text
    // follows and the character before came up less than a millisecond ago
    // (slow typing is never held back), and a release only with its press
    // (no key looks held for longer than it was).
    const bool more = session.typed() < session.ahead().size();
    const bool mayWait =
        more && std::chrono::steady_clock::now() - lastCharUp_ < std::chrono::milliseconds(1);
    const BlockKey key = blockKey(index);
    selectGroupLocked(key.group);
    const bool waiting = sendKeyLocked(key.code, true, mayWait);
    heldChars_.push_back({std::this_thread::get_id(), cp, index, waiting, writes_});
}

void WaylandInput::selectGroupLocked(unsigned group) {
    if (xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE) == group)
        return;
    xkb_state_update_mask(state_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                          xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                          xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED), 0, 0, group);
    sendModifiersLocked(false);
}

void WaylandInput::unicodeUp(char16_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF)
        return; // the first half of a pair: its character comes up with the second
    std::lock_guard<std::mutex> lock(mutex_);
    const std::thread::id me = std::this_thread::get_id();
    auto it = std::find_if(heldChars_.begin(), heldChars_.end(), [&](const HeldChar &h) {
        if (h.thread != me)
            return false;
        if (h.cp >= 0x10000)
            return unit >= 0xDC00 && unit <= 0xDFFF &&
                   (0xDC00 + ((h.cp - 0x10000) & 0x3FF)) == unit;
        return h.cp == unit;
    });
    if (it == heldChars_.end())
        return;
    const std::size_t slot = it->slot;
    const bool mayWait = it->waiting && it->write == writes_;
    heldChars_.erase(it);
    lastCharUp_ = std::chrono::steady_clock::now();
    if (--slotHolds_[slot] > 0 || !usableLocked())
        return;
    if (sendKeyLocked(blockKey(slot).code, false, mayWait) || !heldChars_.empty())
        return;
    // Typing paused or done: back to the first group, so a window focused
    // next or a layout indicator sees the keyboard's own layout.
    selectGroupLocked(0);
    flushLocked();
}

void WaylandInput::sendButtonLocked(MouseButton button, bool down) {
    zwlr_virtual_pointer_v1_button(pointer_, nowMs(), buttonCode(button),
                                   down ? WL_POINTER_BUTTON_STATE_PRESSED
                                        : WL_POINTER_BUTTON_STATE_RELEASED);
    zwlr_virtual_pointer_v1_frame(pointer_);
    flushLocked();
}

void WaylandInput::mouseDown(MouseButton button) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked() || heldButtons_[button])
        return;
    heldButtons_[button] = true;
    sendButtonLocked(button, true);
}

void WaylandInput::mouseUp(MouseButton button) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!heldButtons_[button])
        return;
    heldButtons_[button] = false;
    if (usableLocked())
        sendButtonLocked(button, false);
}

Point WaylandInput::cursorPos() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cursor_;
}

void WaylandInput::setCursorPos(int x, int y) {
    std::lock_guard<std::mutex> lock(mutex_);
    pumpLocked(); // outputs come and go
    if (!usableLocked())
        return;
    const LayoutBox box = layoutOf(outputs_);
    if (box.width <= 0 || box.height <= 0)
        return;
    // The extent is the layout's size, so a position lands on exactly that
    // point of the layout.
    const int cx = std::clamp(x, box.x, box.x + box.width - 1);
    const int cy = std::clamp(y, box.y, box.y + box.height - 1);
    zwlr_virtual_pointer_v1_motion_absolute(
        pointer_, nowMs(), static_cast<std::uint32_t>(cx - box.x),
        static_cast<std::uint32_t>(cy - box.y), static_cast<std::uint32_t>(box.width),
        static_cast<std::uint32_t>(box.height));
    zwlr_virtual_pointer_v1_frame(pointer_);
    flushLocked();
    cursor_ = {cx, cy};
}

bool WaylandInput::isDown(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (vk == kVkLButton)
        return heldButtons_[MouseButton::Left];
    if (vk == kVkRButton)
        return heldButtons_[MouseButton::Right];
    unsigned codes[4];
    const int n = evdevsForVk(vk, codes, 4);
    for (int i = 0; i < n; ++i) {
        auto it = heldKeys_.find(codes[i]);
        if (it != heldKeys_.end() && it->second > 0)
            return true;
    }
    return false;
}

void WaylandInput::releaseAll() {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool usable = usableLocked();
    for (std::size_t slot = 0; slot < slotHolds_.size(); ++slot) {
        if (slotHolds_[slot] > 0 && usable)
            sendKeyLocked(blockKey(slot).code, false);
        slotHolds_[slot] = 0;
    }
    heldChars_.clear();
    for (const auto &[code, count] : heldKeys_)
        if (count > 0 && usable)
            sendKeyLocked(code, false);
    heldKeys_.clear();
    for (auto &[button, down] : heldButtons_) {
        if (down && usable)
            sendButtonLocked(button, false);
        down = false;
    }
    if (usable && wl_display_roundtrip(display_) < 0)
        lost_ = true;
}

bool WaylandInput::canCapture() {
    std::lock_guard<std::mutex> lock(mutex_);
    return screencopy_ && shm_;
}

Rect WaylandInput::boxOf(const Output &o) {
    if (o.logical)
        return Rect{o.lx, o.ly, o.lwidth, o.lheight};
    const int scale = std::max(1, o.scale);
    return Rect{o.x, o.y, o.modeWidth / scale, o.modeHeight / scale};
}

std::vector<Rect> WaylandInput::outputBoxes() {
    std::lock_guard<std::mutex> lock(mutex_);
    pumpLocked();
    std::vector<Rect> boxes;
    for (const auto &o : outputs_)
        boxes.push_back(boxOf(*o));
    return boxes;
}

bool WaylandInput::capture(const Rect &rect, ScreenImage &image) {
    std::lock_guard<std::mutex> lock(mutex_);
    pumpLocked();
    if (!usableLocked() || !screencopy_ || !shm_ || rect.width <= 0 || rect.height <= 0)
        return false;
    // The output that holds the whole rectangle.
    const Output *on = nullptr;
    int ox = 0, oy = 0;
    for (const auto &o : outputs_) {
        const Rect box = boxOf(*o);
        if (rect.x >= box.x && rect.y >= box.y && rect.x + rect.width <= box.x + box.width &&
            rect.y + rect.height <= box.y + box.height) {
            on = o.get();
            ox = box.x;
            oy = box.y;
            break;
        }
    }
    if (!on)
        return false;
    Capture state;
    zwlr_screencopy_frame_v1 *frame = zwlr_screencopy_manager_v1_capture_output_region(
        screencopy_, 0, on->output, rect.x - ox, rect.y - oy, rect.width, rect.height);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &state);
    // The buffer's description comes at once; the copy once the output is
    // drawn next.
    auto waitFor = [&](const bool &done) {
        for (int i = 0; i < 50 && !done && !state.failed; ++i) {
            if (wl_display_roundtrip(display_) < 0)
                return false;
            if (!done && !state.failed) {
                pollfd p{wl_display_get_fd(display_), POLLIN, 0};
                poll(&p, 1, 20);
            }
        }
        return done && !state.failed;
    };
    bool ok = waitFor(state.offered);
    // XRGB/ARGB are B, G, R, X in memory, as ScreenImage; XBGR/ABGR swap.
    const bool bgr =
        state.format == WL_SHM_FORMAT_XRGB8888 || state.format == WL_SHM_FORMAT_ARGB8888;
    const bool rgb =
        state.format == WL_SHM_FORMAT_XBGR8888 || state.format == WL_SHM_FORMAT_ABGR8888;
    ok = ok && (bgr || rgb) && state.width > 0 && state.height > 0 &&
         state.stride >= state.width * 4;
    const std::size_t size = static_cast<std::size_t>(state.stride) * state.height;
    int fd = -1;
    void *data = MAP_FAILED;
    wl_shm_pool *pool = nullptr;
    wl_buffer *buffer = nullptr;
    if (ok) {
        fd = memfd_create("tarnwick-screen", MFD_CLOEXEC);
        ok = fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) == 0;
    }
    if (ok) {
        data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ok = data != MAP_FAILED;
    }
    if (ok) {
        pool = wl_shm_create_pool(shm_, fd, static_cast<std::int32_t>(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, static_cast<std::int32_t>(state.width),
                                           static_cast<std::int32_t>(state.height),
                                           static_cast<std::int32_t>(state.stride), state.format);
        zwlr_screencopy_frame_v1_copy(frame, buffer);
        ok = waitFor(state.ready);
    }
    if (ok) {
        image.width = rect.width;
        image.height = rect.height;
        image.stride = rect.width * 4;
        image.bytes.assign(static_cast<std::size_t>(image.stride) * rect.height, 0);
        const auto *src = static_cast<const std::uint8_t *>(data);
        const bool flipped = state.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
        for (int y = 0; y < rect.height; ++y) {
            // A scaled output's buffer has more pixels than the rectangle:
            // each logical pixel takes the sample at its top left.
            std::uint32_t sy = static_cast<std::uint32_t>(y) * state.height /
                               static_cast<std::uint32_t>(rect.height);
            if (flipped)
                sy = state.height - 1 - sy;
            for (int x = 0; x < rect.width; ++x) {
                const std::uint32_t sx = static_cast<std::uint32_t>(x) * state.width /
                                         static_cast<std::uint32_t>(rect.width);
                const std::uint8_t *p = src + static_cast<std::size_t>(sy) * state.stride + sx * 4;
                std::uint8_t *q = image.bytes.data() + static_cast<std::size_t>(y) * image.stride +
                                  static_cast<std::size_t>(x) * 4;
                q[0] = rgb ? p[2] : p[0];
                q[1] = p[1];
                q[2] = rgb ? p[0] : p[2];
                q[3] = 0;
            }
        }
    }
    if (buffer)
        wl_buffer_destroy(buffer);
    if (pool)
        wl_shm_pool_destroy(pool);
    if (data != MAP_FAILED)
        munmap(data, size);
    if (fd >= 0)
        close(fd);
    zwlr_screencopy_frame_v1_destroy(frame);
    flushLocked();
    return ok;
}

LayoutBox WaylandInput::layout() {
    std::lock_guard<std::mutex> lock(mutex_);
    pumpLocked();
    return layoutOf(outputs_);
}

bool WaylandInput::sync() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!usableLocked())
        return false;
    if (wl_display_roundtrip(display_) < 0)
        lost_ = true;
    return !lost_;
}

std::uint64_t WaylandInput::keymapUploads() {
    std::lock_guard<std::mutex> lock(mutex_);
    return uploads_;
}

} // namespace platform::wayland
