#pragma once

// Windows tests: a plain Win32 window of the test's own (CreateWindowEx, no
// Qt), on a thread of its own with its own message loop, like another
// program's window. It notes every key, character and button message it
// receives, so a test can compare exactly what arrived.

#if defined(_WIN32)

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

struct TargetMessage {
    unsigned message = 0;
    std::uintptr_t wParam = 0;
    int x = 0; // client position of a button message
    int y = 0;
};

class Win32TargetWindow {
public:
    Win32TargetWindow() = default;
    Win32TargetWindow(const Win32TargetWindow &) = delete;
    Win32TargetWindow &operator=(const Win32TargetWindow &) = delete;
    ~Win32TargetWindow() { close(); }

    // Opens the window at a screen position in physical pixels; false if
    // it could not be made.
    bool open(int x, int y, int width, int height);
    void close();
    void *handle() const { return window_; }

    // Makes it the foreground window and waits until the system says so.
    bool activate();
    // Screen position (physical pixels) of a point of the client area.
    void clientToScreen(int &x, int &y) const;

    std::vector<TargetMessage> messages() const;
    // The WM_CHAR code units received, in order.
    std::u16string text() const;
    // Messages of one kind, in order.
    std::vector<TargetMessage> messagesOf(unsigned message) const;
    void clear();

    // Called by the window procedure on the window's thread.
    void note(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

private:
    void *window_ = nullptr;
    unsigned long threadId_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<TargetMessage> messages_;
};

} // namespace testsupport

#endif
