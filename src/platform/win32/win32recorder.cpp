// Recording on Windows: the low-level keyboard and mouse hooks, installed on a
// thread of their own that runs the message loop they need (a busy GUI thread
// would make Windows skip them). They pass every event on unchanged.
//
// Keys typed while the focused control is a password edit (ES_PASSWORD) are
// kept back, their releases too: the listener only hears that something was.
// Password fields drawn by a program itself (web browsers') cannot be told
// from any other window.

#include "platform/inputlayer.h"
#include "platform/win32/win32backend.h"

#include "platform/win32/leanwindows.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <cwchar>
#include <mutex>
#include <set>
#include <thread>

namespace platform {
namespace {

constexpr UINT kToUnicodeKeepState = 4; // ToUnicodeEx must not disturb dead keys
constexpr int kVkPacket = 0xE7;         // characters sent as Unicode by SendInput

class Win32Recorder;
// The hook procedures have no context argument: one recording at a time.
std::atomic<Win32Recorder *> activeRecorder{nullptr};

class Win32Recorder final : public InputRecorder {
public:
    ~Win32Recorder() override { stop(); }

    bool start(RawInputListener *listener, std::string &error) override {
        stop();
        Win32Recorder *expected = nullptr;
        if (!listener || !activeRecorder.compare_exchange_strong(expected, this)) {
            error = "Another recording is already listening.";
            return false;
        }
        listener_ = listener;
        startState();
        startTick_ = GetTickCount();
        startTick64_ = GetTickCount64();
        haveTime_ = true;
        lastTime_ = startTick_;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ready_ = false;
            failed_ = 0;
        }
        thread_ = std::thread([this] { loop(); });
        std::unique_lock<std::mutex> lock(mutex_);
        ready_cv_.wait(lock, [this] { return ready_; });
        if (failed_) {
            lock.unlock();
            thread_.join();
            activeRecorder.store(nullptr);
            error = "The keyboard and mouse hooks could not be installed (error " +
                    std::to_string(failed_) + ").";
            return false;
        }
        return true;
    }

    void stop() override {
        if (!thread_.joinable())
            return;
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
        Win32Recorder *self = this;
        activeRecorder.compare_exchange_strong(self, nullptr);
    }

    // Hook times count from the same tick as GetTickCount.
    std::int64_t now() const override {
        return std::int64_t(startTick_) + std::int64_t(GetTickCount64() - startTick64_);
    }

    static LRESULT CALLBACK keyboardProc(int code, WPARAM message, LPARAM data) {
        Win32Recorder *recorder = activeRecorder.load();
        if (code == HC_ACTION && recorder)
            recorder->onKey(message, *reinterpret_cast<const KBDLLHOOKSTRUCT *>(data));
        return CallNextHookEx(nullptr, code, message, data);
    }

    static LRESULT CALLBACK mouseProc(int code, WPARAM message, LPARAM data) {
        Win32Recorder *recorder = activeRecorder.load();
        if (code == HC_ACTION && recorder)
            recorder->onMouse(message, *reinterpret_cast<const MSLLHOOKSTRUCT *>(data));
        return CallNextHookEx(nullptr, code, message, data);
    }

private:
    void loop() {
        threadId_ = GetCurrentThreadId();
        MSG msg;
        // Makes the thread's message queue exist before anyone posts to it.
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        HINSTANCE module = GetModuleHandleW(nullptr);
        HHOOK keyboard = SetWindowsHookExW(WH_KEYBOARD_LL, keyboardProc, module, 0);
        HHOOK mouse = keyboard ? SetWindowsHookExW(WH_MOUSE_LL, mouseProc, module, 0) : nullptr;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!keyboard || !mouse)
                failed_ = GetLastError() ? GetLastError() : 1;
            ready_ = true;
        }
        ready_cv_.notify_all();
        if (keyboard && mouse) {
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        if (mouse)
            UnhookWindowsHookEx(mouse);
        if (keyboard)
            UnhookWindowsHookEx(keyboard);
    }

    // The keyboard state ToUnicodeEx reads, kept from the events themselves
    // (GetKeyboardState would be that of this thread, not the user's).
    void startState() {
        std::memset(state_, 0, sizeof state_);
        if (GetKeyState(VK_CAPITAL) & 1)
            state_[VK_CAPITAL] = 1;
        if (GetKeyState(VK_NUMLOCK) & 1)
            state_[VK_NUMLOCK] = 1;
        haveTime_ = false;
        epoch_ = 0;
        withheldKeys_.clear();
    }

    // Whether keys go to a password edit now: the focused control of the
    // foreground thread, an edit or rich edit with ES_PASSWORD.
    static bool passwordFocused() {
        HWND foreground = GetForegroundWindow();
        if (!foreground)
            return false;
        GUITHREADINFO info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(foreground, nullptr), &info) ||
            !info.hwndFocus)
            return false;
        if (!(GetWindowLongW(info.hwndFocus, GWL_STYLE) & ES_PASSWORD))
            return false;
        wchar_t name[64] = {};
        if (!RealGetWindowClassW(info.hwndFocus, name, 64))
            return false;
        return _wcsicmp(name, L"Edit") == 0 || _wcsnicmp(name, L"RichEdit", 8) == 0 ||
               _wcsnicmp(name, L"RICHEDIT", 8) == 0;
    }

    bool held(int vk) const { return (state_[vk] & 0x80) != 0; }

    void setHeld(int vk, bool down) {
        if (down && !held(vk) && (vk == VK_CAPITAL || vk == VK_NUMLOCK))
            state_[vk] ^= 1; // the lock toggles on the press
        state_[vk] = static_cast<BYTE>((state_[vk] & 1) | (down ? 0x80 : 0));
        // The generic modifier codes are down while either side is.
        const auto either = [this](int generic, int left, int right) {
            state_[generic] = (held(left) || held(right)) ? 0x80 : 0;
        };
        either(VK_SHIFT, VK_LSHIFT, VK_RSHIFT);
        either(VK_CONTROL, VK_LCONTROL, VK_RCONTROL);
        either(VK_MENU, VK_LMENU, VK_RMENU);
    }

    // Printable characters only; keys with Ctrl, Alt or Win type none,
    // except Ctrl+Alt, which is AltGr.
    std::u16string textFor(const KBDLLHOOKSTRUCT &k) const {
        std::u16string text;
        const bool ctrl = held(VK_CONTROL), alt = held(VK_MENU);
        if (held(VK_LWIN) || held(VK_RWIN) || ctrl != alt)
            return text;
        if (k.vkCode == kVkPacket) {
            text += static_cast<char16_t>(k.scanCode);
            return text;
        }
        HWND foreground = GetForegroundWindow();
        HKL layout =
            GetKeyboardLayout(foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0);
        wchar_t buffer[8] = {};
        const int n =
            ToUnicodeEx(k.vkCode, k.scanCode, state_, buffer, 8, kToUnicodeKeepState, layout);
        for (int i = 0; i < n; ++i) {
            const auto unit = static_cast<char16_t>(buffer[i]);
            if (unit >= 0x20 && unit != 0x7F)
                text += unit;
        }
        return text;
    }

    // Hook times are 32-bit milliseconds that wrap after 49 days.
    std::int64_t unwrap(DWORD time) {
        if (haveTime_ && time < lastTime_ && lastTime_ - time > 0x80000000u)
            epoch_ += std::int64_t(1) << 32;
        haveTime_ = true;
        lastTime_ = time;
        return epoch_ + time;
    }

    void onKey(WPARAM message, const KBDLLHOOKSTRUCT &k) {
        const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        if (!down && message != WM_KEYUP && message != WM_SYSKEYUP)
            return;
        RawInputEvent event;
        event.type = down ? RawInputEvent::Type::KeyDown : RawInputEvent::Type::KeyUp;
        event.vk = static_cast<int>(k.vkCode);
        event.timeMs = unwrap(k.time);
        // The state still follows a kept-back key, so that later text is right.
        const bool withheld = down ? passwordFocused() : withheldKeys_.count(event.vk) != 0;
        if (down && !withheld) {
            event.text = textFor(k);
            withheldKeys_.erase(event.vk);
        }
        if (event.vk > 0 && event.vk < 256)
            setHeld(event.vk, down);
        if (withheld) {
            if (down)
                withheldKeys_.insert(event.vk);
            else
                withheldKeys_.erase(event.vk);
            listener_->onInputWithheld(event.timeMs);
            return;
        }
        listener_->onRawInput(event);
    }

    void onMouse(WPARAM message, const MSLLHOOKSTRUCT &m) {
        RawInputEvent event;
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            event.type = RawInputEvent::Type::ButtonDown;
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
            event.type = RawInputEvent::Type::ButtonUp;
            break;
        default:
            return; // movement, the wheel and other buttons are not recorded
        }
        event.button = (message == WM_LBUTTONDOWN || message == WM_LBUTTONUP) ? MouseButton::Left
                                                                              : MouseButton::Right;
        event.pos = {m.pt.x, m.pt.y};
        event.timeMs = unwrap(m.time);
        listener_->onRawInput(event);
    }

    RawInputListener *listener_ = nullptr;
    std::thread thread_;
    DWORD threadId_ = 0;
    std::mutex mutex_;
    std::condition_variable ready_cv_;
    bool ready_ = false;
    unsigned long failed_ = 0;
    BYTE state_[256] = {};
    bool haveTime_ = false;
    DWORD lastTime_ = 0;
    std::int64_t epoch_ = 0;
    DWORD startTick_ = 0;
    ULONGLONG startTick64_ = 0;
    std::set<int> withheldKeys_; // pressed into a password edit: their releases stay back
};

} // namespace

std::unique_ptr<InputRecorder> win32::createRecorder() {
    return std::make_unique<Win32Recorder>();
}

} // namespace platform
