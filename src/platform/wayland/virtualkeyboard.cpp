#include "virtualkeyboard.h"

#include "waylandconnection.h"
#include "waylandkeymap.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>

namespace platform::wayland {
namespace {

// A key and its modifiers take at most about 60 bytes of libwayland's 4 KiB
// buffer, which must not fill between writes.
constexpr unsigned kKeysPerWrite = 48;

} // namespace

std::uint32_t eventTimeMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

VirtualKeyboard::VirtualKeyboard(WaylandConnection &connection) : connection_(connection) {}

bool VirtualKeyboard::start(std::string &error) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    xkb_ = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    if (!xkb_) {
        error = "libxkbcommon could not start";
        return false;
    }
    keyboard_ = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        connection_.keyboardManager(), connection_.seat());
    if (!uploadKeymapLocked({})) {
        error = "the keyboard map could not be made";
        return false;
    }
    return true;
}

VirtualKeyboard::~VirtualKeyboard() {
    releaseAll();
    std::lock_guard<std::mutex> lock(connection_.mutex());
    if (state_)
        xkb_state_unref(state_);
    if (keymap_)
        xkb_keymap_unref(keymap_);
    if (xkb_)
        xkb_context_unref(xkb_);
    if (keyboard_)
        zwp_virtual_keyboard_v1_destroy(keyboard_);
}

bool VirtualKeyboard::uploadKeymapLocked(const std::vector<char32_t> &block) {
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
    connection_.flushLocked();
    return true;
}

void VirtualKeyboard::sendModifiersLocked(bool always) {
    const std::uint32_t mods[4] = {xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                                   xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                                   xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED),
                                   xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE)};
    if (!always && std::equal(mods, mods + 4, sentMods_))
        return;
    std::copy(mods, mods + 4, sentMods_);
    zwp_virtual_keyboard_v1_modifiers(keyboard_, mods[0], mods[1], mods[2], mods[3]);
}

bool VirtualKeyboard::sendKeyLocked(unsigned code, bool down, bool mayWait) {
    zwp_virtual_keyboard_v1_key(keyboard_, eventTimeMs(), code,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED
                                     : WL_KEYBOARD_KEY_STATE_RELEASED);
    xkb_state_update_key(state_, code + 8, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    sendModifiersLocked(false);
    if (mayWait && connection_.queuedLocked() < kKeysPerWrite)
        return true;
    connection_.flushLocked();
    return false;
}

void VirtualKeyboard::keyDown(int vk) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    const unsigned code = evdevForVk(vk);
    if (!code || !connection_.usableLocked())
        return;
    if (heldKeys_[code]++ == 0) {
        // Shortcuts are pressed in the first group, the keyboard's own
        // layout: a client that matches them by group sees no other.
        selectGroupLocked(0);
        sendKeyLocked(code, true);
    }
}

void VirtualKeyboard::keyUp(int vk) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    const unsigned code = evdevForVk(vk);
    auto it = heldKeys_.find(code);
    if (!code || it == heldKeys_.end())
        return;
    if (--it->second > 0)
        return;
    heldKeys_.erase(it);
    if (connection_.usableLocked())
        sendKeyLocked(code, false);
}

void VirtualKeyboard::textAhead(const char16_t *units, std::size_t count) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    const std::thread::id me = std::this_thread::get_id();
    typing_.of(me).announce(units, count);
    typing_.endIfIdle(me);
}

void VirtualKeyboard::unicodeDown(char16_t unit) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    const std::thread::id me = std::this_thread::get_id();
    desktop::TypingSession &session = typing_.of(me);
    char32_t cp = 0;
    if (session.take(unit, cp)) {
        session.follow(cp);
        pressCodePointLocked(session, cp);
    }
    typing_.endIfIdle(me);
}

long VirtualKeyboard::slotForLocked(char32_t cp, const desktop::TypingSession &session) {
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
    if (!connection_.roundtripLocked())
        return -1;
    if (!uploadKeymapLocked(next))
        return -1;
    const auto it = std::find(block_.begin(), block_.end(), cp);
    return it == block_.end() ? -1 : static_cast<long>(it - block_.begin());
}

void VirtualKeyboard::pressCodePointLocked(const desktop::TypingSession &session, char32_t cp) {
    if (!connection_.usableLocked())
        return;
    const long slot = slotForLocked(cp, session);
    if (slot < 0 || !connection_.usableLocked())
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
    heldChars_.push_back({std::this_thread::get_id(), cp, index, waiting, connection_.writes()});
}

void VirtualKeyboard::selectGroupLocked(unsigned group) {
    if (xkb_state_serialize_layout(state_, XKB_STATE_LAYOUT_EFFECTIVE) == group)
        return;
    xkb_state_update_mask(state_, xkb_state_serialize_mods(state_, XKB_STATE_MODS_DEPRESSED),
                          xkb_state_serialize_mods(state_, XKB_STATE_MODS_LATCHED),
                          xkb_state_serialize_mods(state_, XKB_STATE_MODS_LOCKED), 0, 0, group);
    sendModifiersLocked(false);
}

void VirtualKeyboard::unicodeUp(char16_t unit) {
    if (unit >= 0xD800 && unit <= 0xDBFF)
        return; // the first half of a pair: its character comes up with the second
    std::lock_guard<std::mutex> lock(connection_.mutex());
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
    const bool mayWait = it->waiting && it->write == connection_.writes();
    heldChars_.erase(it);
    lastCharUp_ = std::chrono::steady_clock::now();
    if (--slotHolds_[slot] > 0 || !connection_.usableLocked())
        return;
    if (sendKeyLocked(blockKey(slot).code, false, mayWait) || !heldChars_.empty())
        return;
    // Typing paused or done: back to the first group, so a window focused
    // next or a layout indicator sees the keyboard's own layout.
    selectGroupLocked(0);
    connection_.flushLocked();
}

bool VirtualKeyboard::isDown(int vk) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    unsigned codes[4];
    const int n = evdevsForVk(vk, codes, 4);
    for (int i = 0; i < n; ++i) {
        auto it = heldKeys_.find(codes[i]);
        if (it != heldKeys_.end() && it->second > 0)
            return true;
    }
    return false;
}

void VirtualKeyboard::releaseAll() {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    const bool usable = connection_.usableLocked() && keyboard_;
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
}

std::uint64_t VirtualKeyboard::keymapUploads() {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    return uploads_;
}

} // namespace platform::wayland
