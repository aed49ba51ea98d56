#pragma once

// The input layer on wlroots compositors (sway, Hyprland, river, labwc,
// Wayfire): a Wayland connection of its own (never the GUI toolkit's), a
// virtual keyboard (zwp_virtual_keyboard_manager_v1) with a keymap of our
// own (waylandkeymap.h) and a virtual pointer
// (zwlr_virtual_pointer_manager_v1) moved in absolute positions over the
// output layout. Every call takes the one mutex, so the run's threads may
// call at once.
//
// Text: every character is typed through a key of the character block. A
// character the uploaded keymap lacks makes a new keymap holding it and the
// characters announced after it (textAhead); keys still held keep their
// characters in it. The compositor hands the new keymap to the focused
// client before the keys that follow, so nothing is lost and nothing of the
// user's keyboard is touched.
//
// What Wayland does not let a client know: the pointer's position (the last
// one we set is answered) and keys pressed by anyone else (isDown answers
// for our own keys and buttons).

#include "platform/desktop/typingsession.h"
#include "platform/inputlayer.h"
#include "platform/screenreader.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_output;
struct wl_shm;
struct zwlr_screencopy_manager_v1;
struct zxdg_output_manager_v1;
struct zxdg_output_v1;
struct zwp_virtual_keyboard_manager_v1;
struct zwp_virtual_keyboard_v1;
struct zwlr_virtual_pointer_manager_v1;
struct zwlr_virtual_pointer_v1;
struct xkb_context;
struct xkb_keymap;
struct xkb_state;

namespace platform::wayland {

// The output layout's extent in the compositor's (logical) coordinates.
struct LayoutBox {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

class WaylandInput final : public InputLayer {
public:
    // Connects to the compositor named by WAYLAND_DISPLAY; on failure
    // returns null and says why in `error`.
    static std::unique_ptr<WaylandInput> create(std::string &error);
    ~WaylandInput() override;

    void keyDown(int vk) override;
    void keyUp(int vk) override;
    void unicodeDown(char16_t unit) override;
    void unicodeUp(char16_t unit) override;
    void textAhead(const char16_t *units, std::size_t count) override;
    void mouseDown(MouseButton button) override;
    void mouseUp(MouseButton button) override;
    Point cursorPos() override;
    void setCursorPos(int x, int y) override;
    bool isDown(int vk) override;
    void releaseAll() override;

    // The layout as last heard from the compositor.
    LayoutBox layout();

    // The screen through zwlr_screencopy_manager_v1, where the compositor
    // offers it: `rect` in layout coordinates, within one output; the image
    // in the same (logical) pixels, one sample each on a scaled output.
    bool canCapture();
    bool capture(const Rect &rect, ScreenImage &image);
    // Each output's box in the layout.
    std::vector<Rect> outputBoxes();
    // How many keymaps were uploaded (the first included): for tests and the
    // benchmark.
    std::uint64_t keymapUploads();
    // Returns once the compositor has handled everything sent so far (it
    // has then passed the keys on to the focused client); false when the
    // connection is lost.
    bool sync();

    // Output bookkeeping, public for the protocol listeners only.
    struct Output {
        std::uint32_t name = 0;
        wl_output *output = nullptr;
        zxdg_output_v1 *xdgOutput = nullptr;
        // wl_output's own view, used where xdg-output is missing.
        int x = 0, y = 0, modeWidth = 0, modeHeight = 0, scale = 1;
        // xdg-output's logical view.
        bool logical = false;
        int lx = 0, ly = 0, lwidth = 0, lheight = 0;
    };
    void addGlobal(wl_registry *registry, std::uint32_t name, const char *interface,
                   std::uint32_t version);
    void removeGlobal(std::uint32_t name);
    void attachXdgOutput(Output &output);

private:
    static Rect boxOf(const Output &output);
    struct HeldChar {
        std::thread::id thread;
        char32_t cp;
        std::size_t slot;
        // The press waits in the buffer since write `write`: the release
        // may wait with it.
        bool waiting;
        std::uint64_t write;
    };

    WaylandInput() = default;
    bool open(std::string &error);

    // All below with mutex_ held.
    bool usableLocked();
    // Reads and dispatches what the compositor sent, without waiting.
    void pumpLocked();
    void flushLocked();
    std::uint32_t nowMs() const;
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
    void sendButtonLocked(MouseButton button, bool down);

    std::mutex mutex_;
    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    wl_seat *seat_ = nullptr;
    std::uint32_t seatName_ = 0;
    zxdg_output_manager_v1 *xdgOutputManager_ = nullptr;
    zwp_virtual_keyboard_manager_v1 *keyboardManager_ = nullptr;
    zwlr_virtual_pointer_manager_v1 *pointerManager_ = nullptr;
    zwp_virtual_keyboard_v1 *keyboard_ = nullptr;
    zwlr_virtual_pointer_v1 *pointer_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;
    wl_shm *shm_ = nullptr;
    zwlr_screencopy_manager_v1 *screencopy_ = nullptr;

    xkb_context *xkb_ = nullptr;
    xkb_keymap *keymap_ = nullptr;
    xkb_state *state_ = nullptr;
    std::uint32_t sentMods_[4] = {0, 0, 0, 0};
    std::vector<char32_t> block_;      // the uploaded block, slot by slot
    std::vector<int> slotHolds_;       // presses of each slot not yet released
    std::map<unsigned, int> heldKeys_; // evdev code -> presses not yet released
    std::vector<HeldChar> heldChars_;
    std::map<MouseButton, bool> heldButtons_;
    desktop::TypingSessions typing_;
    Point cursor_;
    std::uint64_t uploads_ = 0;
    unsigned unflushedKeys_ = 0;
    std::uint64_t writes_ = 0;
    std::chrono::steady_clock::time_point lastCharUp_;
    bool lost_ = false;
};

// The layout box of `outputs` (empty when there are none).
LayoutBox layoutOf(const std::vector<std::unique_ptr<WaylandInput::Output>> &outputs);

} // namespace platform::wayland
