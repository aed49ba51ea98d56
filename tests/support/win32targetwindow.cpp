#include "win32targetwindow.h"

#if defined(_WIN32)

#include "platform/win32/leanwindows.h"

#include <chrono>
#include <condition_variable>

namespace testsupport {
namespace {

const wchar_t *const kClassName = L"TarnwickTestTarget";

bool isNoted(unsigned message) {
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
    case WM_CHAR:
    case WM_SYSCHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return true;
    default:
        return false;
    }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto *create = reinterpret_cast<CREATESTRUCTW *>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *self = reinterpret_cast<Win32TargetWindow *>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && isNoted(message))
        self->note(message, wParam, lParam);
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace

void Win32TargetWindow::note(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    TargetMessage m;
    m.message = message;
    m.wParam = wParam;
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) {
        m.x = static_cast<short>(LOWORD(lParam));
        m.y = static_cast<short>(HIWORD(lParam));
    }
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back(m);
}

bool Win32TargetWindow::open(int x, int y, int width, int height) {
    std::mutex readyMutex;
    std::condition_variable ready;
    bool done = false;
    thread_ = std::thread([&, x, y, width, height] {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = windowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kClassName;
        RegisterClassW(&windowClass);
        HWND hwnd =
            CreateWindowExW(0, kClassName, L"target", WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, width,
                            height, nullptr, nullptr, windowClass.hInstance, this);
        {
            std::lock_guard<std::mutex> lock(readyMutex);
            window_ = hwnd;
            threadId_ = GetCurrentThreadId();
            done = true;
        }
        ready.notify_all();
        if (!hwnd)
            return;
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg); // makes the WM_CHARs, as every program does
            DispatchMessageW(&msg);
        }
    });
    std::unique_lock<std::mutex> lock(readyMutex);
    ready.wait(lock, [&] { return done; });
    if (!window_) {
        lock.unlock();
        thread_.join();
        return false;
    }
    return true;
}

void Win32TargetWindow::close() {
    if (!thread_.joinable())
        return;
    if (window_)
        PostMessageW(static_cast<HWND>(window_), WM_CLOSE, 0, 0);
    thread_.join();
    window_ = nullptr;
}

bool Win32TargetWindow::activate() {
    HWND hwnd = static_cast<HWND>(window_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (GetForegroundWindow() == hwnd)
            return true;
        SetForegroundWindow(hwnd);
        Sleep(20);
    }
    return false;
}

void Win32TargetWindow::clientToScreen(int &x, int &y) const {
    POINT p{x, y};
    ClientToScreen(static_cast<HWND>(window_), &p);
    x = p.x;
    y = p.y;
}

std::vector<TargetMessage> Win32TargetWindow::messages() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

std::u16string Win32TargetWindow::text() const {
    std::u16string text;
    for (const TargetMessage &m : messagesOf(WM_CHAR))
        text.push_back(static_cast<char16_t>(m.wParam));
    return text;
}

std::vector<TargetMessage> Win32TargetWindow::messagesOf(unsigned message) const {
    std::vector<TargetMessage> found;
    for (const TargetMessage &m : messages()) {
        if (m.message == message)
            found.push_back(m);
    }
    return found;
}

void Win32TargetWindow::clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
}

} // namespace testsupport

#endif
