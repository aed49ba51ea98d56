// Input synthesis on Windows: the Win32 calls themselves. Compiled without Qt.

#include "win32input.h"

#include "platform/win32/leanwindows.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>

namespace platform {
namespace {

class Win32Input final : public InputLayer {
public:
    ~Win32Input() override { releaseAll(); }

    // Each press or release is sent and recorded in one step, so that a
    // concurrent releaseAll or release never leaves the record and the key
    // out of step (a key down that releaseAll does not know of).
    void keyDown(int vk) override {
        std::lock_guard<std::mutex> lock(mutex_);
        sendKey(vk, 0);
        pressed_.insert(vk);
    }

    void keyUp(int vk) override {
        std::lock_guard<std::mutex> lock(mutex_);
        sendKey(vk, KEYEVENTF_KEYUP);
        pressed_.erase(vk);
    }

    void unicodeDown(char16_t unit) override { sendUnicode(unit, KEYEVENTF_UNICODE); }
    void unicodeUp(char16_t unit) override {
        sendUnicode(unit, KEYEVENTF_UNICODE | KEYEVENTF_KEYUP);
    }

    void mouseDown(MouseButton button) override {
        const bool left = button == MouseButton::Left;
        std::lock_guard<std::mutex> lock(mutex_);
        mouse_event(left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN, 0, 0, 0, 0);
        pressed_.insert(left ? kVkLButton : kVkRButton);
    }

    void mouseUp(MouseButton button) override {
        const bool left = button == MouseButton::Left;
        std::lock_guard<std::mutex> lock(mutex_);
        mouse_event(left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
        pressed_.erase(left ? kVkLButton : kVkRButton);
    }

    Point cursorPos() override {
        POINT p{0, 0};
        GetCursorPos(&p);
        return {static_cast<int>(p.x), static_cast<int>(p.y)};
    }

    // Clamped to the virtual screen, which starts at negative coordinates
    // when a monitor is left of or above the primary one.
    void setCursorPos(int x, int y) override {
        const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        if (width > 0 && height > 0) {
            x = std::clamp(x, left, left + width - 1);
            y = std::clamp(y, top, top + height - 1);
        }
        SetCursorPos(x, y);
    }

    bool isDown(int vk) override { return (GetAsyncKeyState(vk) & 0x8000) != 0; }

    void releaseAll() override {
        std::lock_guard<std::mutex> lock(mutex_);
        std::set<int> keys;
        keys.swap(pressed_);
        for (int vk : keys) {
            if (vk == kVkLButton)
                mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
            else if (vk == kVkRButton)
                mouse_event(MOUSEEVENTF_RIGHTUP, 0, 0, 0, 0);
            else
                sendKey(vk, KEYEVENTF_KEYUP);
        }
    }

private:
    static void sendKey(int vk, DWORD flags) {
        INPUT in;
        std::memset(&in, 0, sizeof in);
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = static_cast<WORD>(vk);
        in.ki.wScan = 0;
        in.ki.dwFlags = flags;
        in.ki.time = 0;
        in.ki.dwExtraInfo = 0;
        SendInput(1, &in, sizeof(INPUT));
    }

    static void sendUnicode(char16_t unit, DWORD flags) {
        INPUT in;
        std::memset(&in, 0, sizeof in);
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = 0;
        in.ki.wScan = static_cast<WORD>(unit);
        in.ki.dwFlags = flags;
        SendInput(1, &in, sizeof(INPUT));
    }

    std::mutex mutex_;
    std::set<int> pressed_;
};

} // namespace

std::unique_ptr<InputLayer> createWin32Input() {
    return std::make_unique<Win32Input>();
}

} // namespace platform
