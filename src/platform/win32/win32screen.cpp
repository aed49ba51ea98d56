#include "win32screen.h"

#include "platform/win32/leanwindows.h"
#include "win32duplication.h"

#include <cstdint>
#include <cstring>
#include <mutex>

namespace platform::win32 {
namespace {

class Win32ScreenReader final : public ScreenReader {
public:
    ~Win32ScreenReader() override {
        std::lock_guard<std::mutex> lock(mutex_);
        dropLocked();
    }

    bool bounds(Rect &rect) override {
        rect = Rect{GetSystemMetrics(SM_XVIRTUALSCREEN), GetSystemMetrics(SM_YVIRTUALSCREEN),
                    GetSystemMetrics(SM_CXVIRTUALSCREEN), GetSystemMetrics(SM_CYVIRTUALSCREEN)};
        return rect.width > 0 && rect.height > 0;
    }

    // Where desktop duplication is to be had; a new virtual screen voids
    // what was told.
    bool changesSince(std::uint64_t &token, std::vector<Rect> &changed) override {
        Rect now;
        const bool sized = bounds(now);
        std::lock_guard<std::mutex> lock(mutex_);
        if (!sized || now.x != told_.x || now.y != told_.y || now.width != told_.width ||
            now.height != told_.height) {
            told_ = now;
            history_.restart();
        }
        if (!sized || !duplication_.collect(history_)) {
            token = 0;
            changed.clear();
            return false;
        }
        return history_.since(token, changed);
    }

    // Programs that draw through the GPU (browsers, games, some terminals)
    // come out black in a copy of the screen; such a window is asked to draw
    // its client area itself, the whole of it at once.
    bool windowRegion(std::uint64_t window, const Rect &rect, ScreenImage &image) override {
        if (!region(rect, image))
            return false;
        if (!uniformlyBlack(image))
            return true;
        HWND hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window));
        RECT client;
        POINT origin{0, 0};
        if (!IsWindow(hwnd) || !GetClientRect(hwnd, &client) || !ClientToScreen(hwnd, &origin))
            return true; // the black copy is all there is
        const int width = client.right - client.left;
        const int height = client.bottom - client.top;
        const int dx = rect.x - origin.x;
        const int dy = rect.y - origin.y;
        if (width <= 0 || height <= 0 || dx < 0 || dy < 0 || dx > width - rect.width ||
            dy > height - rect.height)
            return true;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ensureLocked(width, height))
            return true;
        // PW_CLIENTONLY | PW_RENDERFULLCONTENT; the latter is missing from
        // older mingw headers.
        constexpr UINT kClientFullContent = 0x1 | 0x2;
        if (!PrintWindow(hwnd, memory_, kClientFullContent))
            return true;
        GdiFlush();
        const size_t row = static_cast<size_t>(width) * 4;
        const size_t out = static_cast<size_t>(image.stride);
        for (int y = 0; y < rect.height; ++y)
            std::memcpy(image.bytes.data() + out * y,
                        static_cast<const std::uint8_t *>(bits_) + row * (dy + y) + size_t(dx) * 4,
                        out);
        return true;
    }

    bool region(const Rect &rect, ScreenImage &image) override {
        const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
        const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
        const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
        const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
        using Wide = long long; // the virtual screen's origin may be far below zero
        if (rect.width <= 0 || rect.height <= 0 || rect.x < left || rect.y < top ||
            Wide(rect.x) - left > Wide(width) - rect.width ||
            Wide(rect.y) - top > Wide(height) - rect.height)
            return false;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!ensureLocked(rect.width, rect.height))
            return false;
        HDC screen = GetDC(nullptr);
        if (!screen)
            return false;
        // CAPTUREBLT takes layered (translucent) windows too.
        const BOOL copied = BitBlt(memory_, 0, 0, rect.width, rect.height, screen, rect.x, rect.y,
                                   SRCCOPY | CAPTUREBLT);
        ReleaseDC(nullptr, screen);
        if (!copied)
            return false;
        GdiFlush(); // the DIB's bits are ours only after GDI has finished with them
        image.width = rect.width;
        image.height = rect.height;
        image.stride = rect.width * 4;
        const size_t row = static_cast<size_t>(image.stride);
        image.bytes.resize(row * rect.height);
        for (int y = 0; y < rect.height; ++y)
            std::memcpy(image.bytes.data() + row * y,
                        static_cast<const std::uint8_t *>(bits_) + row * y, row);
        return true;
    }

private:
    static bool uniformlyBlack(const ScreenImage &image) {
        for (int y = 0; y < image.height; ++y) {
            const std::uint8_t *row = image.bytes.data() + size_t(image.stride) * y;
            for (int x = 0; x < image.width; ++x) {
                if (row[4 * x] | row[4 * x + 1] | row[4 * x + 2])
                    return false;
            }
        }
        return true;
    }

    // A DIB section of exactly the size asked (its rows are the pixels, top
    // first), kept for the next read of the same size.
    bool ensureLocked(int width, int height) {
        if (bitmap_ && width_ == width && height_ == height)
            return true;
        dropLocked();
        BITMAPINFO info;
        ZeroMemory(&info, sizeof info);
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height; // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        memory_ = CreateCompatibleDC(nullptr);
        if (!memory_)
            return false;
        bitmap_ = CreateDIBSection(memory_, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        if (!bitmap_ || !bits_) {
            dropLocked();
            return false;
        }
        previous_ = SelectObject(memory_, bitmap_);
        width_ = width;
        height_ = height;
        return true;
    }

    void dropLocked() {
        if (memory_ && previous_)
            SelectObject(memory_, previous_);
        if (bitmap_)
            DeleteObject(bitmap_);
        if (memory_)
            DeleteDC(memory_);
        memory_ = nullptr;
        bitmap_ = nullptr;
        previous_ = nullptr;
        bits_ = nullptr;
        width_ = height_ = 0;
    }

    std::mutex mutex_;
    DesktopDuplication duplication_;
    DamageHistory history_;
    Rect told_; // the virtual screen the history is about
    HDC memory_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    void *bits_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

} // namespace

std::unique_ptr<ScreenReader> createScreenReader() {
    return std::make_unique<Win32ScreenReader>();
}

} // namespace platform::win32
