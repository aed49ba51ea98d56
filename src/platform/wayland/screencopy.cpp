#include "screencopy.h"

#include "waylandconnection.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace platform::wayland {
namespace {

// One capture's progress, as the frame's events tell it.
struct Capture {
    bool offered = false; // a wl_shm buffer was described
    std::uint32_t format = 0, width = 0, height = 0, stride = 0;
    std::uint32_t flags = 0;
    bool ready = false;
    bool failed = false;
};

Capture *capture(void *data) {
    return static_cast<Capture *>(data);
}

void onFrameBuffer(void *data, zwlr_screencopy_frame_v1 *, uint32_t format, uint32_t width,
                   uint32_t height, uint32_t stride) {
    Capture *c = capture(data);
    c->offered = true;
    c->format = format;
    c->width = width;
    c->height = height;
    c->stride = stride;
}
void onFrameFlags(void *data, zwlr_screencopy_frame_v1 *, uint32_t flags) {
    capture(data)->flags = flags;
}
void onFrameReady(void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {
    capture(data)->ready = true;
}
void onFrameFailed(void *data, zwlr_screencopy_frame_v1 *) {
    capture(data)->failed = true;
}
void onFrameDamage(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onFrameDmabuf(void *, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {}
void onFrameBufferDone(void *, zwlr_screencopy_frame_v1 *) {}

const zwlr_screencopy_frame_v1_listener kFrameListener = {
    onFrameBuffer, onFrameFlags,  onFrameReady,     onFrameFailed,
    onFrameDamage, onFrameDmabuf, onFrameBufferDone};

} // namespace

struct ScreenCopy::Watch {
    std::uint32_t outputName = 0;
    Rect box; // the output's, in the layout
    wl_shm *shm = nullptr;
    zwlr_screencopy_frame_v1 *frame = nullptr;
    // The buffer the copies go to, kept while the output keeps its size:
    // its pixels are never read.
    int fd = -1;
    void *data = MAP_FAILED;
    std::size_t size = 0;
    wl_shm_pool *pool = nullptr;
    wl_buffer *buffer = nullptr;
    std::uint32_t format = 0, width = 0, height = 0, stride = 0;
    std::uint32_t flags = 0;
    std::vector<Rect> damage; // in the buffer's pixels
    bool ready = false;
    bool failed = false;

    ~Watch() {
        if (frame)
            zwlr_screencopy_frame_v1_destroy(frame);
        dropBuffer();
    }

    void dropBuffer() {
        if (buffer)
            wl_buffer_destroy(buffer);
        if (pool)
            wl_shm_pool_destroy(pool);
        if (data != MAP_FAILED)
            munmap(data, size);
        if (fd >= 0)
            close(fd);
        buffer = nullptr;
        pool = nullptr;
        data = MAP_FAILED;
        fd = -1;
        size = 0;
    }

    // The buffer the compositor described, made where it is not there yet.
    bool makeBuffer(std::uint32_t f, std::uint32_t w, std::uint32_t h, std::uint32_t s) {
        if (buffer && f == format && w == width && h == height && s == stride)
            return true;
        dropBuffer();
        format = f;
        width = w;
        height = h;
        stride = s;
        size = std::size_t(s) * h;
        if (size == 0)
            return false;
        fd = memfd_create("tarnwick-damage", MFD_CLOEXEC);
        if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0)
            return false;
        data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED)
            return false;
        pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, static_cast<std::int32_t>(w),
                                           static_cast<std::int32_t>(h),
                                           static_cast<std::int32_t>(s), f);
        return true;
    }

    // The damage in layout coordinates: buffer pixels scaled to the box
    // (outwards), flipped where the buffer is upside down. A buffer that is
    // not the box's shape (a rotated output) counts as changed everywhere.
    std::vector<Rect> damageInLayout() const {
        std::vector<Rect> out;
        const bool sameShape =
            width > 0 && height > 0 &&
            std::abs(double(box.width) / box.height - double(width) / height) < 0.02;
        for (Rect d : damage) {
            if (!sameShape) {
                out.push_back(box);
                break;
            }
            if (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT)
                d.y = int(height) - d.y - d.height;
            const long long left = (long long)d.x * box.width / width;
            const long long top = (long long)d.y * box.height / height;
            const long long right = ((long long)(d.x + d.width) * box.width + width - 1) / width;
            const long long bottom =
                ((long long)(d.y + d.height) * box.height + height - 1) / height;
            Rect r{box.x + int(left), box.y + int(top), int(right - left), int(bottom - top)};
            // Clipped to the output.
            const int x1 = std::min(r.x + r.width, box.x + box.width);
            const int y1 = std::min(r.y + r.height, box.y + box.height);
            r.x = std::max(r.x, box.x);
            r.y = std::max(r.y, box.y);
            r.width = x1 - r.x;
            r.height = y1 - r.y;
            if (r.width > 0 && r.height > 0)
                out.push_back(r);
        }
        return out;
    }
};

namespace {

ScreenCopy::Watch *watch(void *data) {
    return static_cast<ScreenCopy::Watch *>(data);
}

void onWatchBuffer(void *data, zwlr_screencopy_frame_v1 *frame, uint32_t format, uint32_t width,
                   uint32_t height, uint32_t stride) {
    // Copied as soon as described: the copy then waits for damage.
    if (watch(data)->makeBuffer(format, width, height, stride))
        zwlr_screencopy_frame_v1_copy_with_damage(frame, watch(data)->buffer);
    else
        watch(data)->failed = true;
}
void onWatchFlags(void *data, zwlr_screencopy_frame_v1 *, uint32_t flags) {
    watch(data)->flags = flags;
}
void onWatchReady(void *data, zwlr_screencopy_frame_v1 *, uint32_t, uint32_t, uint32_t) {
    watch(data)->ready = true;
}
void onWatchFailed(void *data, zwlr_screencopy_frame_v1 *) {
    watch(data)->failed = true;
}
void onWatchDamage(void *data, zwlr_screencopy_frame_v1 *, uint32_t x, uint32_t y, uint32_t width,
                   uint32_t height) {
    watch(data)->damage.push_back(Rect{int(x), int(y), int(width), int(height)});
}

const zwlr_screencopy_frame_v1_listener kWatchListener = {
    onWatchBuffer, onWatchFlags,  onWatchReady,     onWatchFailed,
    onWatchDamage, onFrameDmabuf, onFrameBufferDone};

bool sameBoxes(const std::vector<Rect> &a, const std::vector<Rect> &b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Rect &p, const Rect &q) {
        return p.x == q.x && p.y == q.y && p.width == q.width && p.height == q.height;
    });
}

} // namespace

ScreenCopy::ScreenCopy(WaylandConnection &connection) : connection_(connection) {}

ScreenCopy::~ScreenCopy() {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    watches_.clear();
}

bool ScreenCopy::changesSince(std::uint64_t &token, std::vector<Rect> &changed) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    collectLocked();
    if (!watching_) {
        token = 0;
        changed.clear();
        return false;
    }
    return history_.since(token, changed);
}

void ScreenCopy::collectLocked() {
    connection_.pumpLocked();
    zwlr_screencopy_manager_v1 *screencopy = connection_.screencopy();
    if (!connection_.usableLocked() || !screencopy || connection_.screencopyVersion() < 2 ||
        !connection_.shm()) {
        watches_.clear();
        watching_ = false;
        return;
    }
    // Outputs that came, went, moved or changed size void what was told.
    const std::vector<Rect> boxes = connection_.outputs().boxes();
    if (!watching_ || !sameBoxes(boxes, boxes_)) {
        boxes_ = boxes;
        watches_.clear();
        history_.restart();
    }
    watching_ = true;
    for (auto it = watches_.begin(); it != watches_.end();) {
        Watch &w = **it;
        if (w.failed) {
            // What it would have told is lost.
            history_.restart();
            it = watches_.erase(it);
            continue;
        }
        if (w.ready) {
            for (const Rect &r : w.damageInLayout())
                history_.add(r);
            w.damage.clear();
            w.ready = false;
            zwlr_screencopy_frame_v1_destroy(w.frame);
            w.frame = nullptr;
        }
        ++it;
    }
    for (const auto &o : connection_.outputs().all()) {
        auto it = std::find_if(watches_.begin(), watches_.end(),
                               [&](const auto &w) { return w->outputName == o->name; });
        if (it == watches_.end()) {
            auto w = std::make_unique<Watch>();
            w->outputName = o->name;
            w->box = boxOf(*o);
            w->shm = connection_.shm();
            it = watches_.insert(watches_.end(), std::move(w));
        }
        Watch &w = **it;
        if (w.frame)
            continue;
        w.frame = zwlr_screencopy_manager_v1_capture_output(screencopy, 0, o->output);
        zwlr_screencopy_frame_v1_add_listener(w.frame, &kWatchListener, &w);
    }
    connection_.flushLocked();
}

bool ScreenCopy::available() {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    return connection_.screencopy() && connection_.shm();
}

bool ScreenCopy::capture(const Rect &rect, ScreenImage &image) {
    std::lock_guard<std::mutex> lock(connection_.mutex());
    connection_.pumpLocked();
    wl_shm *shm = connection_.shm();
    zwlr_screencopy_manager_v1 *screencopy = connection_.screencopy();
    if (!connection_.usableLocked() || !screencopy || !shm || rect.width <= 0 || rect.height <= 0)
        return false;
    // The output that holds the whole rectangle.
    const Output *on = connection_.outputs().holding(rect);
    if (!on)
        return false;
    const Rect box = boxOf(*on);
    const int ox = box.x, oy = box.y;
    Capture state;
    zwlr_screencopy_frame_v1 *frame = zwlr_screencopy_manager_v1_capture_output_region(
        screencopy, 0, on->output, rect.x - ox, rect.y - oy, rect.width, rect.height);
    zwlr_screencopy_frame_v1_add_listener(frame, &kFrameListener, &state);
    // The buffer's description comes at once; the copy once the output is
    // drawn next.
    auto waitFor = [&](const bool &done) {
        for (int i = 0; i < 50 && !done && !state.failed; ++i) {
            if (!connection_.roundtripLocked())
                return false;
            if (!done && !state.failed) {
                pollfd p{wl_display_get_fd(connection_.display()), POLLIN, 0};
                poll(&p, 1, 20);
            }
        }
        return done && !state.failed;
    };
    bool ok = waitFor(state.offered);
    // XRGB/ARGB are B, G, R, X in memory, as ScreenImage; XBGR/ABGR swap.
    const bool bgr =
        state.format == WL_SHM_FORMAT_XRGB8888 || state.format == WL_SHM_FORMAT_ARGB8888;
    const bool rgb =
        state.format == WL_SHM_FORMAT_XBGR8888 || state.format == WL_SHM_FORMAT_ABGR8888;
    ok = ok && (bgr || rgb) && state.width > 0 && state.height > 0 &&
         state.stride >= state.width * 4;
    const std::size_t size = static_cast<std::size_t>(state.stride) * state.height;
    int fd = -1;
    void *data = MAP_FAILED;
    wl_shm_pool *pool = nullptr;
    wl_buffer *buffer = nullptr;
    if (ok) {
        fd = memfd_create("tarnwick-screen", MFD_CLOEXEC);
        ok = fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) == 0;
    }
    if (ok) {
        data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ok = data != MAP_FAILED;
    }
    if (ok) {
        pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size));
        buffer = wl_shm_pool_create_buffer(pool, 0, static_cast<std::int32_t>(state.width),
                                           static_cast<std::int32_t>(state.height),
                                           static_cast<std::int32_t>(state.stride), state.format);
        zwlr_screencopy_frame_v1_copy(frame, buffer);
        ok = waitFor(state.ready);
    }
    if (ok) {
        image.width = rect.width;
        image.height = rect.height;
        image.stride = rect.width * 4;
        image.bytes.assign(static_cast<std::size_t>(image.stride) * rect.height, 0);
        const auto *src = static_cast<const std::uint8_t *>(data);
        const bool flipped = state.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
        for (int y = 0; y < rect.height; ++y) {
            // A scaled output's buffer has more pixels than the rectangle:
            // each logical pixel takes the sample at its top left.
            std::uint32_t sy = static_cast<std::uint32_t>(y) * state.height /
                               static_cast<std::uint32_t>(rect.height);
            if (flipped)
                sy = state.height - 1 - sy;
            for (int x = 0; x < rect.width; ++x) {
                const std::uint32_t sx = static_cast<std::uint32_t>(x) * state.width /
                                         static_cast<std::uint32_t>(rect.width);
                const std::uint8_t *p = src + static_cast<std::size_t>(sy) * state.stride + sx * 4;
                std::uint8_t *q = image.bytes.data() + static_cast<std::size_t>(y) * image.stride +
                                  static_cast<std::size_t>(x) * 4;
                q[0] = rgb ? p[2] : p[0];
                q[1] = p[1];
                q[2] = rgb ? p[0] : p[2];
                q[3] = 0;
            }
        }
    }
    if (buffer)
        wl_buffer_destroy(buffer);
    if (pool)
        wl_shm_pool_destroy(pool);
    if (data != MAP_FAILED)
        munmap(data, size);
    if (fd >= 0)
        close(fd);
    zwlr_screencopy_frame_v1_destroy(frame);
    connection_.flushLocked();
    return ok;
}

} // namespace platform::wayland
