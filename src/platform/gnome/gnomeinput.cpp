#include "gnomeinput.h"

#include "gnomelayout.h"
#include "mutterremote.h"
#include "platform/desktop/pasteroute.h"
#include "platform/wayland/waylandkeymap.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <chrono>
#include <cstdio>
#include <thread>

namespace platform::gnome {
namespace {

constexpr unsigned kEnterCode = 28;
constexpr int kBtnLeft = 0x110;
constexpr int kBtnRight = 0x111;
// A paste the target has not asked the clipboard for within this time is
// taken as ignored.
constexpr int kPasteTimeoutMs = 2000;
// After a paste is taken, the target still has to handle its keys; a new
// clipboard content sooner loses pastes (measured: about 30 ms).
constexpr auto kPastePause = std::chrono::milliseconds(30);
// GNOME passes keys on to the focused client without waiting for it; a
// client that falls behind fills its socket and is dropped (GTK: "Lost
// connection to Wayland compositor"), so typed characters keep a pace.
constexpr auto kTypedPause = std::chrono::microseconds(1000);

int buttonCode(MouseButton button) {
    return button == MouseButton::Left ? kBtnLeft : kBtnRight;
}

// The evdev code of a key in a paste chord, at its US position.
unsigned chordCode(std::uint32_t keysym) {
    switch (keysym) {
    case XKB_KEY_Control_L:
        return 29;
    case XKB_KEY_Shift_L:
        return 42;
    case XKB_KEY_v:
    case XKB_KEY_V:
        return 47;
    default:
        return 0;
    }
}

} // namespace

GnomeInput::GnomeInput(MutterRemote &remote, std::unique_ptr<LayoutKeys> layout,
                       std::function<std::string()> focusedProgram)
    : remote_(remote), layout_(std::move(layout)), focusedProgram_(std::move(focusedProgram)) {}

GnomeInput::~GnomeInput() {
    releaseAll();
}

void GnomeInput::fault(const std::string &what) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fault_ = what;
    }
    std::fprintf(stderr, "tarnwick: %s\n", what.c_str());
}

std::string GnomeInput::lastFault() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fault_;
}

void GnomeInput::keyDown(int vk) {
    const unsigned code = wayland::evdevForVk(vk);
    if (!code)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        heldKeys_.insert(code);
    }
    if (!remote_.keycode(code, true))
        fault("GNOME's remote-desktop session is gone: " + remote_.closedReason());
}

void GnomeInput::keyUp(int vk) {
    const unsigned code = wayland::evdevForVk(vk);
    if (!code)
        return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        heldKeys_.erase(code);
    }
    remote_.keycode(code, false);
}

void GnomeInput::textAhead(const char16_t *units, std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::thread::id me = std::this_thread::get_id();
    sessions_.of(me).announce(units, count);
    pastedAhead_.erase(me);
    sessions_.endIfIdle(me);
}

void GnomeInput::unicodeDown(char16_t unit) {
    const std::thread::id me = std::this_thread::get_id();
    char32_t cp = 0;
    std::u32string run;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        desktop::TypingSession &session = sessions_.of(me);
        if (!session.take(unit, cp)) {
            sessions_.endIfIdle(me);
            return;
        }
        session.follow(cp);
        // Pasted already with the first of its run.
        std::u32string &pasted = pastedAhead_[me];
        if (!pasted.empty() && pasted.front() == cp) {
            pasted.erase(0, 1);
            sessions_.endIfIdle(me);
            return;
        }
        pasted.clear();
        if (layout_ && layout_->typable(cp)) {
            cp = cp == U'\n' ? U'\r' : cp;
        } else {
            // This character and those announced after it that the layout
            // lacks too go in one paste.
            run.push_back(cp);
            const std::u32string &ahead = session.ahead();
            if (session.typed() > 0 && session.typed() <= ahead.size() &&
                ahead[session.typed() - 1] == cp) {
                const auto split =
                    desktop::splitByLayout(ahead.substr(session.typed() - 1), [this](char32_t c) {
                        return layout_ && layout_->typable(c);
                    });
                if (!split.empty() && split.front().paste)
                    run = split.front().text;
            }
            pasted = run.substr(1);
        }
        sessions_.endIfIdle(me);
    }
    if (!run.empty())
        paste(run);
    else
        typeChar(cp);
}

void GnomeInput::unicodeUp(char16_t unit) {
    (void)unit;
    // Each character went down and up at once; what is left is to put the
    // clipboard back once the thread's text is all typed.
    bool idle;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        const std::thread::id me = std::this_thread::get_id();
        sessions_.endIfIdle(me);
        auto it = pastedAhead_.find(me);
        idle = it == pastedAhead_.end() || it->second.empty();
        if (idle && it != pastedAhead_.end())
            pastedAhead_.erase(it);
    }
    if (idle)
        restoreClipboard();
}

void GnomeInput::typeChar(char32_t cp) {
    bool ok;
    if (cp == U'\r') {
        ok = remote_.keycode(kEnterCode, true) && remote_.keycode(kEnterCode, false);
    } else {
        const std::uint32_t sym = LayoutKeys::keysymFor(cp);
        ok = remote_.keysym(sym, true) && remote_.keysym(sym, false);
    }
    if (!ok)
        fault("GNOME's remote-desktop session is gone: " + remote_.closedReason());
    std::this_thread::sleep_for(kTypedPause);
}

void GnomeInput::paste(const std::u32string &text) {
    std::lock_guard<std::mutex> lock(clipboardMutex_);
    // What the user had, unless what the clipboard holds is ours already
    // (then the saved content is still theirs).
    if (!saved_ && !remote_.ownsSelection())
        savedClipboard_ = remote_.readSelection();
    saved_ = true;
    const std::string utf8 = desktop::utf8FromUtf32(text);
    const std::map<std::string, std::string> offer = {
        {"text/plain;charset=utf-8", utf8},
        {"text/plain", utf8},
    };
    const std::uint64_t served = remote_.transfersServed();
    if (!remote_.offerSelection(offer)) {
        fault("GNOME's remote-desktop session is gone: " + remote_.closedReason());
        return;
    }
    const std::vector<std::uint32_t> chord =
        desktop::pasteChordFor(focusedProgram_ ? focusedProgram_() : std::string());
    for (std::uint32_t sym : chord)
        remote_.keycode(chordCode(sym), true);
    for (auto it = chord.rbegin(); it != chord.rend(); ++it)
        remote_.keycode(chordCode(*it), false);
    if (!remote_.waitTransfer(served, kPasteTimeoutMs)) {
        fault(remote_.alive()
                  ? "the focused window did not take the pasted text"
                  : "GNOME's remote-desktop session is gone: " + remote_.closedReason());
        return;
    }
    std::this_thread::sleep_for(kPastePause);
}

void GnomeInput::restoreClipboard() {
    std::lock_guard<std::mutex> lock(clipboardMutex_);
    if (!saved_)
        return;
    saved_ = false;
    // An empty clipboard cannot be given back: the last paste stays.
    if (savedClipboard_.empty())
        return;
    remote_.waitTransfersQuiet(100, 1000);
    remote_.offerSelection(savedClipboard_);
}

void GnomeInput::mouseDown(MouseButton button) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        heldButtons_.insert(buttonCode(button));
    }
    if (!remote_.button(buttonCode(button), true))
        fault("GNOME's remote-desktop session is gone: " + remote_.closedReason());
}

void GnomeInput::mouseUp(MouseButton button) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        heldButtons_.erase(buttonCode(button));
    }
    remote_.button(buttonCode(button), false);
}

Point GnomeInput::cursorPos() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cursor_;
}

void GnomeInput::setCursorPos(int x, int y) {
    const StreamArea a = remote_.area();
    // Absolute motion reaches only the stream's monitor.
    if (a.width > 0 && a.height > 0) {
        x = std::min(std::max(x, a.x), a.x + a.width - 1);
        y = std::min(std::max(y, a.y), a.y + a.height - 1);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cursor_ = Point{x, y};
    }
    if (!remote_.motionAbsolute(x, y))
        fault("GNOME's remote-desktop session is gone: " + remote_.closedReason());
}

bool GnomeInput::isDown(int vk) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (vk == kVkLButton)
        return heldButtons_.count(kBtnLeft) != 0;
    if (vk == kVkRButton)
        return heldButtons_.count(kBtnRight) != 0;
    const unsigned code = wayland::evdevForVk(vk);
    return code && heldKeys_.count(code) != 0;
}

void GnomeInput::releaseAll() {
    std::set<unsigned> keys;
    std::set<int> buttons;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        keys.swap(heldKeys_);
        buttons.swap(heldButtons_);
        pastedAhead_.clear();
    }
    for (unsigned code : keys)
        remote_.keycode(code, false);
    for (int button : buttons)
        remote_.button(button, false);
    restoreClipboard();
}

} // namespace platform::gnome
