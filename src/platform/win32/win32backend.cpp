// The Win32 backend's key events and shortcuts, and the backend itself.
// Both are called from the GUI thread's message loop (Qt's event dispatcher
// dispatches every message of the thread): the low-level hook's procedure
// runs while the thread waits for messages, and WM_HOTKEY reaches our
// message-only window's procedure.

#include "win32backend.h"

#include "platform/backend.h"
#include "platform/win32/leanwindows.h"
#include "win32input.h"
#include "win32screen.h"
#include "win32windows.h"

#include <algorithm>
#include <atomic>
#include <map>
#include <vector>

namespace platform::win32 {
namespace {

class Win32KeyEvents final : public KeyEvents {
public:
    ~Win32KeyEvents() override {
        listeners_.clear();
        buttonListeners_.clear();
        unhook();
        unhookMouse();
    }

    bool addListener(KeyListener *listener) override {
        if (!listener)
            return false;
        for (const KeyListener *l : listeners_)
            if (l == listener)
                return true;
        if (!hook_) {
            Win32KeyEvents *expected = nullptr;
            if (!hooked_.compare_exchange_strong(expected, this)) {
                lastError_ = ERROR_ALREADY_EXISTS; // another backend listens
                return false;
            }
            hook_ = SetWindowsHookExW(WH_KEYBOARD_LL, &hookProc, GetModuleHandleW(nullptr), 0);
            if (!hook_) {
                lastError_ = GetLastError();
                hooked_ = nullptr;
                return false;
            }
        }
        listeners_.push_back(listener);
        return true;
    }

    void removeListener(KeyListener *listener) override {
        std::replace(listeners_.begin(), listeners_.end(), listener,
                     static_cast<KeyListener *>(nullptr));
        if (!dispatching_)
            compact();
        if (std::none_of(listeners_.begin(), listeners_.end(),
                         [](const KeyListener *l) { return l != nullptr; }))
            unhook();
    }

    // The listener keeps each event itself by returning true.
    void setSwallowing(KeyListener *, bool) override {}

    // The buttons come through a low-level mouse hook of their own, there
    // only while someone listens: every pointer move passes through it.
    bool addButtonListener(ButtonListener *listener) override {
        if (!listener)
            return false;
        if (std::find(buttonListeners_.begin(), buttonListeners_.end(), listener) !=
            buttonListeners_.end())
            return true;
        if (!mouseHook_) {
            Win32KeyEvents *expected = nullptr;
            if (!mouseHooked_.compare_exchange_strong(expected, this)) {
                lastError_ = ERROR_ALREADY_EXISTS;
                return false;
            }
            mouseHook_ = SetWindowsHookExW(WH_MOUSE_LL, &mouseProc, GetModuleHandleW(nullptr), 0);
            if (!mouseHook_) {
                lastError_ = GetLastError();
                mouseHooked_ = nullptr;
                return false;
            }
        }
        buttonListeners_.push_back(listener);
        return true;
    }

    void removeButtonListener(ButtonListener *listener) override {
        std::replace(buttonListeners_.begin(), buttonListeners_.end(), listener,
                     static_cast<ButtonListener *>(nullptr));
        if (!dispatching_)
            compact();
        if (std::none_of(buttonListeners_.begin(), buttonListeners_.end(),
                         [](const ButtonListener *l) { return l != nullptr; }))
            unhookMouse();
    }

    unsigned long lastError() override { return lastError_; }

private:
    static LRESULT CALLBACK hookProc(int code, WPARAM message, LPARAM data) {
        Win32KeyEvents *self = hooked_.load();
        if (code == HC_ACTION && data && self && self->deliver(message, data))
            return 1;
        return CallNextHookEx(nullptr, code, message, data);
    }

    static LRESULT CALLBACK mouseProc(int code, WPARAM message, LPARAM data) {
        Win32KeyEvents *self = mouseHooked_.load();
        if (code == HC_ACTION && data && self)
            self->deliverButton(message, data);
        return CallNextHookEx(nullptr, code, message, data);
    }

    void deliverButton(WPARAM message, LPARAM data) {
        ButtonEvent event;
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
            event.vk = kVkLButton;
            break;
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            event.vk = kVkRButton;
            break;
        default:
            return; // moves, the wheel and other buttons
        }
        event.down = message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN;
        event.timeMs =
            static_cast<std::int64_t>(reinterpret_cast<const MSLLHOOKSTRUCT *>(data)->time);
        dispatching_ = true;
        for (size_t i = buttonListeners_.size(); i-- > 0;)
            if (ButtonListener *listener = buttonListeners_[i])
                listener->onButton(event);
        dispatching_ = false;
        compact();
    }

    bool deliver(WPARAM message, LPARAM data) {
        const auto *hook = reinterpret_cast<const KBDLLHOOKSTRUCT *>(data);
        KeyEvent event;
        event.vk = static_cast<int>(hook->vkCode);
        event.down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
        if (!event.down && message != WM_KEYUP && message != WM_SYSKEYUP)
            return false;
        event.timeMs = static_cast<std::int64_t>(hook->time);
        bool taken = false;
        dispatching_ = true;
        // Newest first; a listener added from inside onKey waits for the next key.
        for (size_t i = listeners_.size(); i-- > 0 && !taken;)
            if (KeyListener *listener = listeners_[i])
                taken = listener->onKey(event);
        dispatching_ = false;
        compact();
        return taken;
    }

    void compact() {
        listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), nullptr),
                         listeners_.end());
        buttonListeners_.erase(
            std::remove(buttonListeners_.begin(), buttonListeners_.end(), nullptr),
            buttonListeners_.end());
    }

    void unhook() {
        if (!hook_)
            return;
        UnhookWindowsHookEx(hook_);
        hook_ = nullptr;
        Win32KeyEvents *expected = this;
        hooked_.compare_exchange_strong(expected, nullptr);
    }

    void unhookMouse() {
        if (!mouseHook_)
            return;
        UnhookWindowsHookEx(mouseHook_);
        mouseHook_ = nullptr;
        Win32KeyEvents *expected = this;
        mouseHooked_.compare_exchange_strong(expected, nullptr);
    }

    // A hook procedure has no context pointer: the one instance that hooks.
    static std::atomic<Win32KeyEvents *> hooked_;
    static std::atomic<Win32KeyEvents *> mouseHooked_;
    HHOOK hook_ = nullptr;
    HHOOK mouseHook_ = nullptr;
    std::vector<KeyListener *> listeners_;          // null: removed while dispatching
    std::vector<ButtonListener *> buttonListeners_; // the same
    bool dispatching_ = false;
    unsigned long lastError_ = 0;
};

std::atomic<Win32KeyEvents *> Win32KeyEvents::hooked_{nullptr};
std::atomic<Win32KeyEvents *> Win32KeyEvents::mouseHooked_{nullptr};

class Win32Shortcuts final : public GlobalShortcuts {
public:
    // The id RegisterHotKey knows a shortcut by (the program's range is
    // below 0xC000).
    static int hotKeyId(Shortcut shortcut) { return 1001 + static_cast<int>(shortcut); }

    ~Win32Shortcuts() override {
        if (!window_)
            return;
        for (const auto &entry : callbacks_)
            UnregisterHotKey(window_, entry.first);
        callbacks_.clear();
        DestroyWindow(window_);
    }

    bool add(Shortcut shortcut, Chord chord, std::function<void()> callback) override {
        remove(shortcut);
        const int id = hotKeyId(shortcut);
        if (!window_ && !createWindow())
            return false;
        if (!RegisterHotKey(window_, id, chord.modifiers, static_cast<UINT>(chord.vk))) {
            lastError_ = GetLastError();
            return false;
        }
        callbacks_[id] = std::move(callback);
        return true;
    }

    void remove(Shortcut shortcut) override {
        const int id = hotKeyId(shortcut);
        auto it = callbacks_.find(id);
        if (it == callbacks_.end())
            return;
        UnregisterHotKey(window_, id);
        callbacks_.erase(it);
    }

    unsigned long lastError() override { return lastError_; }

private:
    static constexpr const wchar_t *kClassName = L"TarnwickShortcuts";

    bool createWindow() {
        WNDCLASSEXW wc;
        ZeroMemory(&wc, sizeof wc);
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = &windowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClassName;
        // A second backend finds the class there already.
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            lastError_ = GetLastError();
            return false;
        }
        window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        if (!window_) {
            lastError_ = GetLastError();
            return false;
        }
        SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        return true;
    }

    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_HOTKEY) {
            auto *self =
                reinterpret_cast<Win32Shortcuts *>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (self)
                self->fire(static_cast<int>(wParam));
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void fire(int id) {
        auto it = callbacks_.find(id);
        if (it == callbacks_.end() || !it->second)
            return;
        // The callback may remove or replace its own shortcut.
        const std::function<void()> callback = it->second;
        callback();
    }

    HWND window_ = nullptr;
    std::map<int, std::function<void()>> callbacks_;
    unsigned long lastError_ = 0;
};

class Win32Backend final : public Backend {
public:
    Win32Backend()
        : input_(createWin32Input()), windows_(createWindowAccess()),
          screen_(createScreenReader()) {}

    Capabilities capabilities() const override {
        Capabilities c = desktopInputCapabilities("win32");
        c.windowAccess = true;
        c.windowGeometry = true;
        c.screenReading = true;
        return c;
    }
    InputLayer *synthesis() override { return input_.get(); }
    KeyEvents *keyEvents() override { return &keyEvents_; }
    GlobalShortcuts *shortcuts() override { return &shortcuts_; }
    WindowAccess *windowAccess() override { return windows_.get(); }
    ScreenReader *screenReader() override { return screen_.get(); }
    RunKeys *runKeys() override { return &runKeys_; }
    std::unique_ptr<InputRecorder> createRecorder() override { return win32::createRecorder(); }

private:
    std::unique_ptr<InputLayer> input_;
    std::unique_ptr<WindowAccess> windows_;
    std::unique_ptr<ScreenReader> screen_;
    Win32KeyEvents keyEvents_;
    Win32Shortcuts shortcuts_;
    DesktopRunKeys runKeys_{RunKeyWay::Heard, nullptr};
};

} // namespace

std::unique_ptr<Backend> createBackend(std::string &) {
    return std::make_unique<Win32Backend>();
}

} // namespace platform::win32
