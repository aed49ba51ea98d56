#pragma once

// The input layer on KWin (KDE Plasma on Wayland): a Wayland connection of
// its own, read by a thread of its own, with KWin's fake input
// (org_kde_kwin_fake_input, offered only to a program an installed .desktop
// file authorises) for the pointer, the buttons and keys by code, and
// wlroots' data control for the clipboard.
//
// Keys go by code, so characters are the compositor's layout's: a character
// is typed by the key (and Shift or AltGr) that types it there, read from the
// keymap the compositor sends our keyboard (kdelayoutkeys.h). Characters the
// layout lacks are pasted: the clipboard is saved, set to them, the focused
// program's paste keys pressed, and once the program has read it, put back
// as it was. The run of such characters announced ahead (textAhead) goes in
// one paste.

#include "kdelayoutkeys.h"
#include "platform/desktop/typingsession.h"
#include "platform/inputlayer.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct wl_keyboard;
struct wl_output;
struct org_kde_kwin_fake_input;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace platform::kde {

// The global KWin offers authorised programs.
inline constexpr const char *kFakeInputGlobal = "org_kde_kwin_fake_input";

// What the clipboard held: each type's bytes, in the order offered.
struct ClipboardContent {
    bool empty = true;
    std::vector<std::pair<std::string, std::string>> types; // MIME type, bytes
};

class KdeInput final : public InputLayer {
public:
    // Connects to the compositor of WAYLAND_DISPLAY; on failure returns null
    // and says why in `error` (without fake input: how to get it).
    static std::unique_ptr<KdeInput> create(std::string &error);
    ~KdeInput() override;

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

    // Who has the focus, for the paste keys (a terminal takes Ctrl+Shift+V):
    // the focused window's program, asked before each paste; unset: Ctrl+V.
    void setFocusedProgram(std::function<std::string()> focusedProgram);
    // The layout box of the outputs (logical pixels).
    Rect layout();
    // How many pastes typed text took (for tests and the benchmark), and
    // whether the compositor is still there.
    std::uint64_t pastes();
    bool connected();
    // The clipboard now (tests: that a paste put it back).
    bool readClipboard(ClipboardContent &content);
    // Sets the clipboard to `content` as the user's programs would (tests).
    bool writeClipboard(const ClipboardContent &content);
    // Why the last paste went wrong (empty when it did not).
    std::string lastPasteFault();

    // Protocol bookkeeping, public for the listeners only.
    struct Output {
        std::uint32_t name = 0;
        wl_output *output = nullptr;
        int x = 0, y = 0, width = 0, height = 0, scale = 1;
    };
    struct Source;
    struct Offer {
        zwlr_data_control_offer_v1 *offer = nullptr;
        std::vector<std::string> types;
    };
    void onGlobal(wl_registry *registry, std::uint32_t name, const char *interface,
                  std::uint32_t version);
    void onGlobalRemove(std::uint32_t name);
    void onKeymap(int fd, std::uint32_t size);
    void onSeatCapabilities(std::uint32_t caps);
    void onDataOffer(zwlr_data_control_offer_v1 *offer);
    void onOfferType(zwlr_data_control_offer_v1 *offer, const char *type);
    void onSelection(zwlr_data_control_offer_v1 *offer);
    void onSourceSend(Source *source, const char *type, int fd);
    void onSourceCancelled(Source *source);
    Output *outputOf(wl_output *output);
    std::mutex &stateMutex() { return state_; }

private:
    KdeInput() = default;
    bool open(std::string &error);
    void readLoop();
    // Waits until the compositor has handled what was sent; false when lost.
    bool roundtrip();
    // Sends what is buffered, waiting while the connection is full.
    void flush();

    // With input_ held.
    void sendKey(unsigned code, bool down);
    void pressStroke(const KeyStroke &stroke, bool down);
    bool pasteLocked(const std::u32string &text);
    bool receiveLocked(ClipboardContent &content);
    // Sets the clipboard to `content` through a source of ours (null source
    // for an empty one); returns the source (null for empty or failure).
    Source *offerLocked(const ClipboardContent &content, bool holdsPipes = false);

    std::mutex input_; // one synthesis call at a time
    std::mutex state_; // what the reading thread updates
    std::condition_variable changed_;

    wl_display *display_ = nullptr;
    wl_registry *registry_ = nullptr;
    wl_seat *seat_ = nullptr;
    wl_keyboard *keyboard_ = nullptr;
    org_kde_kwin_fake_input *fake_ = nullptr;
    zwlr_data_control_manager_v1 *dataControl_ = nullptr;
    zwlr_data_control_device_v1 *dataDevice_ = nullptr;
    std::vector<std::unique_ptr<Output>> outputs_;
    std::thread reader_;
    int wake_[2] = {-1, -1};

    // state_ guards these.
    LayoutKeys keys_;
    std::uint64_t keymaps_ = 0;
    std::vector<Offer> offers_;
    Offer selection_;
    std::uint64_t selections_ = 0;
    std::vector<std::unique_ptr<Source>> sources_;
    Source *own_ = nullptr; // the last source we set, while it holds the clipboard
    bool lost_ = false;

    // input_ guards these.
    desktop::TypingSessions typing_;
    std::map<std::thread::id, std::size_t> pastedAhead_; // characters a paste typed already
    std::map<std::thread::id, std::vector<KeyStroke>> heldChars_;
    std::map<unsigned, int> heldKeys_; // evdev code -> presses not yet released
    std::map<MouseButton, bool> heldButtons_;
    Point cursor_;
    std::uint64_t pastes_ = 0;
    unsigned unsynced_ = 0; // keys sent since the last round trip
    std::string pasteFault_;
    std::function<std::string()> focusedProgram_;
};

} // namespace platform::kde
