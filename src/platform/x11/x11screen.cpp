#include "x11screen.h"

#include "platform/damagehistory.h"

#include "x11input.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#ifdef TARNWICK_XDAMAGE
#include <X11/extensions/Xdamage.h>
#include <X11/extensions/Xfixes.h>
#endif
#include <poll.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>

namespace platform::x11 {
namespace {

// Where a channel's mask starts and how wide it is, so that any TrueColor
// layout comes out as 8 bits a channel.
struct Channel {
    int shift = 0;
    int bits = 0;
};

Channel channelOf(unsigned long mask) {
    Channel c;
    if (!mask)
        return c;
    while (!(mask & 1)) {
        mask >>= 1;
        ++c.shift;
    }
    while (mask & 1) {
        mask >>= 1;
        ++c.bits;
    }
    return c;
}

std::uint8_t scaled(unsigned long pixel, Channel c) {
    if (!c.bits)
        return 0;
    const unsigned long max = (1UL << c.bits) - 1;
    const unsigned long value = (pixel >> c.shift) & max;
    return static_cast<std::uint8_t>((value * 255 + max / 2) / max);
}

class X11ScreenReader final : public ScreenReader {
public:
    explicit X11ScreenReader(Display *display) : display_(display) {
        registerDisplay(display_);
        const int screen = DefaultScreen(display_);
        root_ = RootWindow(display_, screen);
        visual_ = DefaultVisual(display_, screen);
        depth_ = DefaultDepth(display_, screen);
        red_ = channelOf(visual_->red_mask);
        green_ = channelOf(visual_->green_mask);
        blue_ = channelOf(visual_->blue_mask);
        // Shared memory needs the server on this machine; a remote one
        // refuses the segment, which the first read notices.
        int major = 0, minor = 0;
        Bool pixmaps = False;
        shmUsable_ = XShmQueryVersion(display_, &major, &minor, &pixmaps);
#ifdef TARNWICK_XDAMAGE
        // Regions of damage need XFixes 2.
        int error = 0;
        damageUsable_ = XDamageQueryExtension(display_, &damageEvent_, &error) &&
                        XDamageQueryVersion(display_, &major, &minor) &&
                        XFixesQueryExtension(display_, &major, &error) &&
                        XFixesQueryVersion(display_, &major, &minor) && major >= 2;
#endif
    }

    ~X11ScreenReader() override {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closedByServer()) {
            // Any request now would run into Xlib's fatal I/O error path.
            freeShmImageLocked();
            if (shmSize_)
                shmdt(shm_.shmaddr);
            unregisterDisplay(display_);
            keepLostDisplay(display_);
            return;
        }
        dropShmLocked();
#ifdef TARNWICK_XDAMAGE
        if (damage_) {
            XDamageDestroy(display_, damage_);
            XFixesDestroyRegion(display_, parts_);
        }
#endif
        unregisterDisplay(display_);
        XCloseDisplay(display_);
    }

    bool region(const Rect &rect, ScreenImage &image) override {
        std::lock_guard<std::mutex> lock(mutex_);
        int width = 0, height = 0;
        if (closedByServer() || !rootSizeLocked(width, height))
            return false;
        // Asking the server for anything outside the root is an error.
        if (rect.width <= 0 || rect.height <= 0 || rect.x < 0 || rect.y < 0 ||
            rect.x > width - rect.width || rect.y > height - rect.height)
            return false;
        // A single pixel costs one round trip either way.
        if (shmUsable_ && rect.width * rect.height > 1) {
            if (XImage *shm = shmImageLocked(rect.width, rect.height)) {
                if (XShmGetImage(display_, root_, shm, rect.x, rect.y, AllPlanes)) {
                    convert(*shm, image);
                    return true;
                }
                // The server would not share memory with us: not again.
                dropShmLocked();
                shmUsable_ = false;
            }
        }
        XImage *plain =
            XGetImage(display_, root_, rect.x, rect.y, static_cast<unsigned>(rect.width),
                      static_cast<unsigned>(rect.height), AllPlanes, ZPixmap);
        if (!plain)
            return false;
        convert(*plain, image);
        XDestroyImage(plain);
        return true;
    }

    bool bounds(Rect &rect) override {
        std::lock_guard<std::mutex> lock(mutex_);
        int width = 0, height = 0;
        if (closedByServer() || !rootSizeLocked(width, height))
            return false;
        rect = Rect{0, 0, width, height};
        return true;
    }

    // Through DAMAGE on the root: the server collects what is drawn between
    // two calls, so a still screen costs a look at the socket. Tracking
    // starts with the first call (which cannot tell yet), so readers that
    // never ask cost the server nothing.
    bool changesSince(std::uint64_t &token, std::vector<Rect> &changed) override {
        changed.clear();
        std::lock_guard<std::mutex> lock(mutex_);
#ifdef TARNWICK_XDAMAGE
        if (!damageUsable_ || closedByServer()) {
            token = 0;
            return false;
        }
        if (!damage_) {
            damage_ = XDamageCreate(display_, root_, XDamageReportNonEmpty);
            parts_ = XFixesCreateRegion(display_, nullptr, 0);
            XSync(display_, False);
            rootSizeLocked(width_, height_);
            history_.restart();
            lastFetch_ = std::chrono::steady_clock::now();
        }
        collectLocked();
        return history_.since(token, changed);
#else
        token = 0;
        return false;
#endif
    }

private:
#ifdef TARNWICK_XDAMAGE
    // Takes what the server collected since the last time into the
    // history. Fetched when the server said something was drawn, and at
    // least once a second, should a notice have been lost.
    void collectLocked() {
        bool drawn = false;
        while (XPending(display_)) {
            XEvent event;
            XNextEvent(display_, &event);
            if (event.type == damageEvent_ + XDamageNotify)
                drawn = true;
        }
        const auto now = std::chrono::steady_clock::now();
        if (!drawn && now - lastFetch_ < std::chrono::seconds(1))
            return;
        lastFetch_ = now;
        // A new size (which draws everything anew) voids what was told.
        int width = 0, height = 0;
        if (!rootSizeLocked(width, height) || width != width_ || height != height_) {
            width_ = width;
            height_ = height;
            history_.restart();
        }
        XDamageSubtract(display_, damage_, None, parts_);
        int count = 0;
        XRectangle *rects = XFixesFetchRegion(display_, parts_, &count);
        if (count > kMaxParts) {
            // Many small parts: their bounds, read in one piece.
            int left = rects[0].x, top = rects[0].y, right = left, bottom = top;
            for (int i = 0; i < count; ++i) {
                left = std::min<int>(left, rects[i].x);
                top = std::min<int>(top, rects[i].y);
                right = std::max(right, rects[i].x + int(rects[i].width));
                bottom = std::max(bottom, rects[i].y + int(rects[i].height));
            }
            history_.add(Rect{left, top, right - left, bottom - top});
        } else {
            for (int i = 0; i < count; ++i)
                history_.add(Rect{rects[i].x, rects[i].y, rects[i].width, rects[i].height});
        }
        if (rects)
            XFree(rects);
    }

    static constexpr int kMaxParts = 64;
    bool damageUsable_ = false;
    int damageEvent_ = 0;
    Damage damage_ = 0;
    XserverRegion parts_ = 0;
    int width_ = 0, height_ = 0; // the root's, when last fetched
    DamageHistory history_;      // what was drawn, by the periods the calls end
    std::chrono::steady_clock::time_point lastFetch_{};
#endif

    // The server closed our connection (xkill, a server going away): the
    // socket reads as ended. Asked without any X request, which Xlib would
    // answer on a closed connection by ending the process.
    bool closedByServer() const {
        pollfd p{XConnectionNumber(display_), POLLIN, 0};
        if (poll(&p, 1, 0) <= 0)
            return false;
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL))
            return true;
        char byte = 0;
        return recv(p.fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
    }

    // The root's size now: it changes with the screen's resolution.
    bool rootSizeLocked(int &width, int &height) {
        Window root = 0;
        int x = 0, y = 0;
        unsigned w = 0, h = 0, border = 0, depth = 0;
        if (!XGetGeometry(display_, root_, &root, &x, &y, &w, &h, &border, &depth))
            return false;
        width = static_cast<int>(w);
        height = static_cast<int>(h);
        return true;
    }

    // An image of exactly this size over our segment; the segment grows
    // when a larger region is asked for and is kept for the next read.
    XImage *shmImageLocked(int width, int height) {
        if (shmImage_ && shmImage_->width == width && shmImage_->height == height)
            return shmImage_;
        freeShmImageLocked();
        XImage *image =
            XShmCreateImage(display_, visual_, static_cast<unsigned>(depth_), ZPixmap, nullptr,
                            &shm_, static_cast<unsigned>(width), static_cast<unsigned>(height));
        if (!image)
            return nullptr;
        const size_t size = static_cast<size_t>(image->bytes_per_line) * image->height;
        if (size > shmSize_ && !attachLocked(size)) {
            XDestroyImage(image);
            return nullptr;
        }
        image->data = shm_.shmaddr;
        shmImage_ = image;
        return image;
    }

    bool attachLocked(size_t size) {
        dropShmLocked();
        const int id = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
        if (id < 0)
            return false;
        void *address = shmat(id, nullptr, 0);
        if (address == reinterpret_cast<void *>(-1)) {
            shmctl(id, IPC_RMID, nullptr);
            return false;
        }
        shm_.shmid = id;
        shm_.shmaddr = static_cast<char *>(address);
        shm_.readOnly = False;
        XShmAttach(display_, &shm_);
        XSync(display_, False);
        // Marked for removal now: it goes when both sides have let go, even
        // if the process dies.
        shmctl(id, IPC_RMID, nullptr);
        shmSize_ = size;
        return true;
    }

    void freeShmImageLocked() {
        if (!shmImage_)
            return;
        shmImage_->data = nullptr; // the segment is not the image's to free
        XDestroyImage(shmImage_);
        shmImage_ = nullptr;
    }

    void dropShmLocked() {
        freeShmImageLocked();
        if (!shmSize_)
            return;
        XShmDetach(display_, &shm_);
        XSync(display_, False);
        shmdt(shm_.shmaddr);
        shm_ = XShmSegmentInfo{};
        shmSize_ = 0;
    }

    void convert(const XImage &from, ScreenImage &to) const {
        to.width = from.width;
        to.height = from.height;
        to.stride = from.width * 4;
        to.bytes.resize(static_cast<size_t>(to.stride) * to.height);
        const bool direct = from.bits_per_pixel == 32 && from.byte_order == LSBFirst &&
                            from.red_mask == 0xff0000 && from.green_mask == 0xff00 &&
                            from.blue_mask == 0xff;
        for (int y = 0; y < from.height; ++y) {
            std::uint8_t *out = to.bytes.data() + static_cast<size_t>(y) * to.stride;
            if (direct) {
                std::memcpy(out, from.data + static_cast<size_t>(y) * from.bytes_per_line,
                            static_cast<size_t>(to.stride));
                continue;
            }
            for (int x = 0; x < from.width; ++x, out += 4) {
                const unsigned long p = XGetPixel(const_cast<XImage *>(&from), x, y);
                out[0] = scaled(p, blue_);
                out[1] = scaled(p, green_);
                out[2] = scaled(p, red_);
                out[3] = 0;
            }
        }
    }

    std::mutex mutex_;
    Display *display_;
    Window root_ = 0;
    Visual *visual_ = nullptr;
    int depth_ = 0;
    Channel red_, green_, blue_;
    bool shmUsable_ = false;
    XShmSegmentInfo shm_{};
    size_t shmSize_ = 0;
    XImage *shmImage_ = nullptr;
};

} // namespace

std::unique_ptr<ScreenReader> createScreenReader(std::string &error) {
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        error = "Cannot open the X display to read the screen.";
        return nullptr;
    }
    return std::make_unique<X11ScreenReader>(display);
}

} // namespace platform::x11
