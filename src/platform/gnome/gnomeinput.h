#pragma once

// Input synthesis on GNOME through mutter's remote desktop (mutterremote.h):
// keys by their evdev codes, the pointer at absolute positions, buttons, and
// text by keysym where the user's layout has the character (gnomelayout.h),
// else pasted through the clipboard, whose content is saved before the
// first paste and put back once the text is typed (and at releaseAll). A
// text's characters arrive in order, whichever way each goes. No Qt here.

#include "platform/desktop/typingsession.h"
#include "platform/inputlayer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace platform::gnome {

class LayoutKeys;
class MutterRemote;

class GnomeInput final : public InputLayer {
public:
    // `focusedProgram` names the program with the keyboard focus (for its
    // paste keys); it may answer empty.
    GnomeInput(MutterRemote &remote, std::unique_ptr<LayoutKeys> layout,
               std::function<std::string()> focusedProgram);
    ~GnomeInput() override;

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

    // The last thing that went wrong (a paste not taken, the session gone);
    // empty when nothing did.
    std::string lastFault() const;

private:
    void typeChar(char32_t cp);
    void paste(const std::u32string &text);
    void restoreClipboard();
    void fault(const std::string &what);

    MutterRemote &remote_;
    std::unique_ptr<LayoutKeys> layout_;
    std::function<std::string()> focusedProgram_;

    mutable std::mutex mutex_;
    desktop::TypingSessions sessions_;
    // Per typing thread: the characters of a pasted run still to come, which
    // were pasted with its first.
    std::map<std::thread::id, std::u32string> pastedAhead_;
    std::set<unsigned> heldKeys_;
    std::set<int> heldButtons_;
    Point cursor_;
    std::string fault_;

    std::mutex clipboardMutex_; // one paste at a time, and the restore
    bool saved_ = false;
    std::map<std::string, std::string> savedClipboard_;
};

} // namespace platform::gnome
