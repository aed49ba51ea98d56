#pragma once

// The virtual keyboard (zwp_virtual_keyboard_manager_v1) on the backend's
// connection, with a keymap of our own (waylandkeymap.h).
//
// Text: every character is typed through a key of the character block. A
// character the uploaded keymap lacks makes a new keymap holding it and the
// characters announced after it (textAhead); keys still held keep their
// characters in it. The compositor hands the new keymap to the focused
// client before the keys that follow, so nothing is lost and nothing of the
// user's keyboard is touched. Every call takes the connection's mutex.

#include "platform/desktop/typingsession.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

struct zwp_virtual_keyboard_v1;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform::wayland {

class WaylandConnection;

class VirtualKeyboard {
public:
    explicit VirtualKeyboard(WaylandConnection &connection);
    ~VirtualKeyboard();
    // Makes the keyboard and uploads the first keymap; false and why in
    // `error` where that fails.
    bool start(std::string &error);

    void keyDown(int vk);
    void keyUp(int vk);
    void unicodeDown(char16_t unit);
    void unicodeUp(char16_t unit);
    void textAhead(const char16_t *units, std::size_t count);
    // Our own keys: Wayland tells no client of anyone else's.
    bool isDown(int vk);
    // Lets go of every key and character held.
    void releaseAll();
    // How many keymaps were uploaded (the first included).
    std::uint64_t keymapUploads();

private:
    struct HeldChar {
        std::thread::id thread;
        char32_t cp;
        std::size_t slot;
        // The press waits in the buffer since write `write`: the release
        // may wait with it.
        bool waiting;
        std::uint64_t write;
    };

    // All below with the connection's mutex held.
    // Sends the key and, when they changed, the modifiers it makes; with
    // `mayWait` it may wait in the buffer for the keys that follow (see
    // pressCodePointLocked). Returns whether it waits.
    bool sendKeyLocked(unsigned code, bool down, bool mayWait = false);
    void sendModifiersLocked(bool always);
    // Makes the keymap hold `cp` (with the text ahead of the session);
    // returns its slot, or -1.
    long slotForLocked(char32_t cp, const desktop::TypingSession &session);
    bool uploadKeymapLocked(const std::vector<char32_t> &block);
    void pressCodePointLocked(const desktop::TypingSession &session, char32_t cp);
    // Makes the block's keys type their characters of `group`.
    void selectGroupLocked(unsigned group);

    WaylandConnection &connection_;
    zwp_virtual_keyboard_v1 *keyboard_ = nullptr;
    xkb_context *xkb_ = nullptr;
    xkb_keymap *keymap_ = nullptr;
    xkb_state *state_ = nullptr;
    std::uint32_t sentMods_[4] = {0, 0, 0, 0};
    std::vector<char32_t> block_;      // the uploaded block, slot by slot
    std::vector<int> slotHolds_;       // presses of each slot not yet released
    std::map<unsigned, int> heldKeys_; // evdev code -> presses not yet released
    std::vector<HeldChar> heldChars_;
    desktop::TypingSessions typing_;
    std::uint64_t uploads_ = 0;
    std::chrono::steady_clock::time_point lastCharUp_;
};

// Milliseconds on the clock the virtual devices' events carry.
std::uint32_t eventTimeMs();

} // namespace platform::wayland
