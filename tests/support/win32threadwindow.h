#pragma once

// Windows tests: a borderless topmost window of the test's own, drawn by the
// test's window procedure, on a thread of its own with its message loop, as
// another program's window would be. The screen tests look at what it
// paints.

#if defined(_WIN32)

#include "platform/win32/leanwindows.h"

#include <atomic>
#include <thread>

namespace testsupport {

class Win32ThreadWindow {
public:
    Win32ThreadWindow() = default;
    Win32ThreadWindow(const Win32ThreadWindow &) = delete;
    Win32ThreadWindow &operator=(const Win32ThreadWindow &) = delete;
    ~Win32ThreadWindow() {
        if (thread_.joinable()) {
            PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
            thread_.join();
        }
    }

    // Opens it at a screen position in physical pixels, shown and painted
    // once; false if it could not be made. `exStyle` joins WS_EX_TOPMOST.
    bool open(const wchar_t *className, WNDPROC proc, DWORD exStyle, const wchar_t *title, int x,
              int y, int width, int height) {
        std::atomic<int> state{0}; // 1: made, -1: failed
        thread_ = std::thread([&, className, proc, exStyle, title, x, y, width, height] {
            WNDCLASSEXW wc;
            ZeroMemory(&wc, sizeof wc);
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = proc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = className;
            RegisterClassExW(&wc);
            window_ =
                CreateWindowExW(WS_EX_TOPMOST | exStyle, className, title, WS_POPUP | WS_VISIBLE, x,
                                y, width, height, nullptr, nullptr, wc.hInstance, nullptr);
            threadId_ = GetCurrentThreadId();
            state = window_ ? 1 : -1;
            if (!window_)
                return;
            UpdateWindow(window_);
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            DestroyWindow(window_);
        });
        while (state == 0)
            std::this_thread::yield();
        return state == 1;
    }

    void repaint() { RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW); }
    void moveTo(int x, int y) {
        SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The client area's origin on the screen.
    POINT origin() const {
        POINT p{0, 0};
        ClientToScreen(window_, &p);
        return p;
    }

private:
    std::thread thread_;
    HWND window_ = nullptr;
    DWORD threadId_ = 0;
};

} // namespace testsupport

#endif
