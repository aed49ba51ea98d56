#include "screencopy.h"

#include "waylandconnection.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

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

ScreenCopy::ScreenCopy(WaylandConnection &connection) : connection_(connection) {}

ScreenCopy::~ScreenCopy() = default;

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
