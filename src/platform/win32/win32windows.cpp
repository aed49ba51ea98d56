#include "win32windows.h"

#include "platform/win32/leanwindows.h"

#include <chrono>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

namespace platform::win32 {
namespace {

using Clock = std::chrono::steady_clock;

// An unassigned virtual-key code: tapped while Alt is down, it keeps the
// Alt tap from opening the foreground window's menu.
constexpr WORD kVkUnassigned = 0xE8;

HWND toHandle(std::uint64_t id) {
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id));
}

std::uint64_t toId(HWND window) {
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(window));
}

std::u16string fromWide(const wchar_t *s, size_t n) {
    std::u16string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i)
        out.push_back(static_cast<char16_t>(s[i]));
    return out;
}

// The window list leaves these out: invisible, tool and owned windows
// (dialogs, palettes) are no program's main window.
bool isListed(HWND window) {
    if (!IsWindowVisible(window))
        return false;
    if (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)
        return false;
    return GetWindow(window, GW_OWNER) == nullptr;
}

std::u16string programOf(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return {};
    wchar_t path[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(sizeof path / sizeof path[0]);
    std::u16string name;
    if (QueryFullProcessImageNameW(process, 0, path, &size)) {
        size_t start = 0;
        for (DWORD i = 0; i < size; ++i)
            if (path[i] == L'\\' || path[i] == L'/')
                start = i + 1;
        name = fromWide(path + start, size - start);
    }
    CloseHandle(process);
    return name;
}

// Fills `out`; false when the window is gone. Program names are looked up
// once per process through `programs`.
bool read(HWND window, WindowInfo &out, std::map<DWORD, std::u16string> &programs) {
    if (!IsWindow(window))
        return false;
    WindowInfo info;
    info.id = toId(window);
    // Never WM_GETTEXT: it waits on the window's thread, which may be hung
    // or be our own GUI thread waiting on the caller.
    wchar_t title[1024];
    const int length = InternalGetWindowText(window, title, 1024);
    info.title = fromWide(title, length > 0 ? static_cast<size_t>(length) : 0);
    DWORD pid = 0;
    if (!GetWindowThreadProcessId(window, &pid))
        return false;
    info.pid = pid;
    auto known = programs.find(pid);
    if (known == programs.end())
        known = programs.emplace(pid, programOf(pid)).first;
    info.program = known->second;
    RECT client;
    POINT origin{0, 0};
    if (!GetClientRect(window, &client) || !ClientToScreen(window, &origin))
        return false;
    info.client = Rect{static_cast<int>(origin.x), static_cast<int>(origin.y),
                       static_cast<int>(client.right - client.left),
                       static_cast<int>(client.bottom - client.top)};
    out = std::move(info);
    return true;
}

BOOL CALLBACK collectWindow(HWND window, LPARAM list) {
    if (isListed(window))
        reinterpret_cast<std::vector<HWND> *>(list)->push_back(window);
    return TRUE;
}

// Alt down, an unassigned key, Alt up, in one call: the system takes it as
// the user's input to our process, which may then set the foreground. Not
// when Alt is already down (the user's or the run's): releasing it would
// take it from them.
void tapAlt() {
    if (GetAsyncKeyState(VK_MENU) & 0x8000)
        return;
    INPUT in[4];
    std::memset(in, 0, sizeof in);
    const WORD keys[4] = {VK_MENU, kVkUnassigned, kVkUnassigned, VK_MENU};
    for (int i = 0; i < 4; ++i) {
        in[i].type = INPUT_KEYBOARD;
        in[i].ki.wVk = keys[i];
        in[i].ki.dwFlags = (i == 2 || i == 3) ? KEYEVENTF_KEYUP : 0;
    }
    const UINT sent = SendInput(4, in, sizeof(INPUT));
    // Whatever was cut off (another thread's input blocked it) is released.
    if (sent >= 1 && sent < 4) {
        INPUT up;
        std::memset(&up, 0, sizeof up);
        up.type = INPUT_KEYBOARD;
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        if (sent < 3) {
            up.ki.wVk = kVkUnassigned;
            SendInput(1, &up, sizeof(INPUT));
        }
        up.ki.wVk = VK_MENU;
        SendInput(1, &up, sizeof(INPUT));
    }
}

bool waitForeground(HWND window, std::chrono::milliseconds within) {
    const auto until = Clock::now() + within;
    for (;;) {
        if (GetForegroundWindow() == window)
            return true;
        if (Clock::now() >= until)
            return false;
        Sleep(1);
    }
}

// Above every other visible window of its band (topmost windows stay above
// the others whatever we do).
bool onTop(HWND window) {
    const bool topmost = (GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == window)
            return true;
        if (!IsWindowVisible(w))
            continue;
        if (!topmost && (GetWindowLongPtrW(w, GWL_EXSTYLE) & WS_EX_TOPMOST))
            continue;
        return false;
    }
    return false;
}

class Win32Windows final : public WindowAccess {
public:
    std::vector<WindowInfo> windows() override {
        std::vector<HWND> handles;
        EnumWindows(&collectWindow, reinterpret_cast<LPARAM>(&handles));
        std::vector<WindowInfo> found;
        found.reserve(handles.size());
        std::map<DWORD, std::u16string> programs;
        for (HWND window : handles) {
            WindowInfo info;
            if (read(window, info, programs))
                found.push_back(std::move(info));
        }
        return found;
    }

    bool info(std::uint64_t id, WindowInfo &out) override {
        if (!id)
            return false;
        std::map<DWORD, std::u16string> programs;
        return read(toHandle(id), out, programs);
    }

    std::uint64_t activeWindow() override { return toId(GetForegroundWindow()); }

    std::uint64_t windowAt(int x, int y) override {
        HWND window = WindowFromPoint(POINT{x, y});
        if (!window)
            return 0;
        return toId(GetAncestor(window, GA_ROOT));
    }

    // Each round escalates: plain, with the input threads attached, after
    // an Alt tap; rounds repeat until the deadline.
    bool activate(std::uint64_t id) override {
        HWND window = toHandle(id);
        if (!id || !IsWindow(window))
            return false;
        if (IsIconic(window))
            ShowWindowAsync(window, SW_RESTORE);
        // To the top of the stacking order first, which the foreground alone
        // does not bring everywhere (Wine), and which, done afterwards, takes
        // the foreground away again for a moment there. Posted, so a hung
        // window cannot hold us.
        if (!onTop(window)) {
            SetWindowPos(window, HWND_TOP, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_ASYNCWINDOWPOS);
            const auto raised = Clock::now() + std::chrono::milliseconds(200);
            while (!onTop(window) && Clock::now() < raised)
                Sleep(1);
        }
        const auto deadline = Clock::now() + std::chrono::milliseconds(kActivateTimeoutMs);
        const std::chrono::milliseconds step(50);
        for (int round = 0;; ++round) {
            if (!IsWindow(window))
                return false;
            if (GetForegroundWindow() == window)
                return true;
            switch (round % 3) {
            case 0:
                SetForegroundWindow(window);
                break;
            case 1:
                attachedSetForeground(window);
                break;
            default:
                tapAlt();
                SetForegroundWindow(window);
                break;
            }
            if (waitForeground(window, step))
                return true;
            if (Clock::now() >= deadline)
                return GetForegroundWindow() == window;
        }
    }

private:
    // The foreground's input thread shares its state with ours for the
    // moment: the system then lets us hand the foreground on.
    static void attachedSetForeground(HWND window) {
        const DWORD self = GetCurrentThreadId();
        HWND foreground = GetForegroundWindow();
        const DWORD foregroundThread =
            foreground ? GetWindowThreadProcessId(foreground, nullptr) : 0;
        const DWORD targetThread = GetWindowThreadProcessId(window, nullptr);
        const bool attachedForeground = foregroundThread && foregroundThread != self &&
                                        AttachThreadInput(self, foregroundThread, TRUE);
        const bool attachedTarget = targetThread && targetThread != self &&
                                    targetThread != foregroundThread &&
                                    AttachThreadInput(self, targetThread, TRUE);
        BringWindowToTop(window);
        SetForegroundWindow(window);
        if (attachedTarget)
            AttachThreadInput(self, targetThread, FALSE);
        if (attachedForeground)
            AttachThreadInput(self, foregroundThread, FALSE);
    }
};

} // namespace

std::unique_ptr<WindowAccess> createWindowAccess() {
    return std::make_unique<Win32Windows>();
}

} // namespace platform::win32
