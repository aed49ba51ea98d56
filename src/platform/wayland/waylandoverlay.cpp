#include "waylandoverlay.h"

#include "waylandbackend.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <wayland-client.h>
#include <wayland-cursor.h>

// The generated header names an argument "namespace", a C++ keyword; what it
// includes is in already.
#define namespace namespace_
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace platform::wayland {
namespace {

constexpr char kNamespace[] = "tarnwick-pick";
// No output is larger; a bigger configure is not believed.
constexpr std::uint32_t kMaxSide = 32768;
constexpr int kCursorSize = 24;

struct Session;

// One output and the layer over it.
struct Layer {
    Session *session = nullptr;
    std::uint32_t name = 0;
    wl_output *output = nullptr;
    zxdg_output_v1 *xdgOutput = nullptr;
    // wl_output's view, used where xdg-output is missing.
    int x = 0, y = 0, scale = 1;
    // xdg-output's logical view.
    bool logical = false;
    int lx = 0, ly = 0;
    wl_surface *surface = nullptr;
    zwlr_layer_surface_v1 *layerSurface = nullptr;
    wl_buffer *buffer = nullptr;
    std::uint32_t width = 0, height = 0; // of the buffer
    bool configured = false;
    bool closed = false;

    int originX() const { return logical ? lx : x; }
    int originY() const { return logical ? ly : y; }
};

struct Session {
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_compositor *compositor = nullptr;
    std::uint32_t compositorVersion = 0;
    wl_shm *shm = nullptr;
    wl_seat *seat = nullptr;
    zwlr_layer_shell_v1 *layerShell = nullptr;
    zxdg_output_manager_v1 *xdgOutputManager = nullptr;
    std::vector<std::unique_ptr<Layer>> layers;
    bool layersMade = false; // outputs that come later get no layer

    wl_pointer *pointer = nullptr;
    wl_keyboard *keyboard = nullptr;
    Layer *under = nullptr; // the layer the pointer is over
    double sx = 0, sy = 0;  // where on it
    wl_cursor_theme *cursorTheme = nullptr;
    wl_cursor_image *cursorImage = nullptr;
    wl_surface *cursorSurface = nullptr;
    int cursorScale = 1;

    // A left press on a layer, and the pick once it is released.
    bool pressed = false;
    Point pressedAt;
    bool escapeDown = false;
    bool ended = false;
    PickOutcome outcome = PickOutcome::Failed;
    Point point;

    void end(PickOutcome o) {
        if (ended)
            return;
        ended = true;
        outcome = o;
    }
};

template <typename T>
T *bind(wl_registry *registry, std::uint32_t name, const wl_interface *interface,
        std::uint32_t offered, std::uint32_t wanted) {
    return static_cast<T *>(wl_registry_bind(registry, name, interface, std::min(offered, wanted)));
}

Layer *layerOf(void *data) {
    return static_cast<Layer *>(data);
}

// --- outputs -----------------------------------------------------------------

void onGeometry(void *data, wl_output *, int32_t x, int32_t y, int32_t, int32_t, int32_t,
                const char *, const char *, int32_t) {
    layerOf(data)->x = x;
    layerOf(data)->y = y;
}

void onMode(void *, wl_output *, uint32_t, int32_t, int32_t, int32_t) {}
void onOutputDone(void *, wl_output *) {}

void onScale(void *data, wl_output *, int32_t factor) {
    layerOf(data)->scale = factor > 0 ? factor : 1;
}

void onLogicalPosition(void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
    layerOf(data)->lx = x;
    layerOf(data)->ly = y;
    layerOf(data)->logical = true;
}

void onLogicalSize(void *, zxdg_output_v1 *, int32_t, int32_t) {}
void onXdgDone(void *, zxdg_output_v1 *) {}
void onXdgName(void *, zxdg_output_v1 *, const char *) {}
void onXdgDescription(void *, zxdg_output_v1 *, const char *) {}

const zxdg_output_v1_listener kXdgOutputListener = {onLogicalPosition, onLogicalSize, onXdgDone,
                                                    onXdgName, onXdgDescription};

wl_output_listener outputListener() {
    // Bound as version 2: the later events never come.
    wl_output_listener l{};
    l.geometry = onGeometry;
    l.mode = onMode;
    l.done = onOutputDone;
    l.scale = onScale;
    return l;
}
const wl_output_listener kOutputListener = outputListener();

void attachXdgOutput(Session &s, Layer &l) {
    if (!s.xdgOutputManager || l.xdgOutput)
        return;
    l.xdgOutput = zxdg_output_manager_v1_get_xdg_output(s.xdgOutputManager, l.output);
    zxdg_output_v1_add_listener(l.xdgOutput, &kXdgOutputListener, &l);
}

// --- the layer surfaces --------------------------------------------------------

// A buffer of `width` x `height` pixels, all with alpha 0: a fresh memfd
// reads as zeros, so nothing needs to be written or even mapped.
wl_buffer *transparentBuffer(wl_shm *shm, std::uint32_t width, std::uint32_t height) {
    const std::size_t stride = std::size_t(width) * 4;
    const std::size_t size = stride * height;
    const int fd = memfd_create("tarnwick-overlay", MFD_CLOEXEC);
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        return nullptr;
    }
    wl_shm_pool *pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    wl_buffer *buffer = wl_shm_pool_create_buffer(
        pool, 0, static_cast<int32_t>(width), static_cast<int32_t>(height),
        static_cast<int32_t>(stride), WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool); // the buffer keeps the memory
    close(fd);
    return buffer;
}

void onLayerConfigure(void *data, zwlr_layer_surface_v1 *surface, uint32_t serial, uint32_t width,
                      uint32_t height) {
    Layer &l = *layerOf(data);
    zwlr_layer_surface_v1_ack_configure(surface, serial);
    if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
        l.session->end(PickOutcome::Failed);
        return;
    }
    if (!l.buffer || width != l.width || height != l.height) {
        if (l.buffer)
            wl_buffer_destroy(l.buffer);
        l.buffer = transparentBuffer(l.session->shm, width, height);
        if (!l.buffer) {
            l.session->end(PickOutcome::Failed);
            return;
        }
        l.width = width;
        l.height = height;
    }
    wl_surface_attach(l.surface, l.buffer, 0, 0);
    wl_surface_damage(l.surface, 0, 0, static_cast<int32_t>(width), static_cast<int32_t>(height));
    wl_surface_commit(l.surface);
    l.configured = true;
}

void onLayerClosed(void *data, zwlr_layer_surface_v1 *) {
    // Its output went away; the pick goes on over the others.
    layerOf(data)->closed = true;
}

const zwlr_layer_surface_v1_listener kLayerListener = {onLayerConfigure, onLayerClosed};

void makeLayer(Session &s, Layer &l) {
    l.surface = wl_compositor_create_surface(s.compositor);
    wl_surface_set_user_data(l.surface, &l);
    l.layerSurface = zwlr_layer_shell_v1_get_layer_surface(
        s.layerShell, l.surface, l.output, ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, kNamespace);
    zwlr_layer_surface_v1_add_listener(l.layerSurface, &kLayerListener, &l);
    zwlr_layer_surface_v1_set_anchor(
        l.layerSurface, ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                            ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    // Over panels too, not beside them.
    zwlr_layer_surface_v1_set_exclusive_zone(l.layerSurface, -1);
    // Escape must reach us, wherever the keyboard focus was.
    zwlr_layer_surface_v1_set_keyboard_interactivity(
        l.layerSurface, ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    wl_surface_commit(l.surface);
}

void destroyLayer(Layer &l) {
    if (l.layerSurface)
        zwlr_layer_surface_v1_destroy(l.layerSurface);
    if (l.surface)
        wl_surface_destroy(l.surface);
    if (l.buffer)
        wl_buffer_destroy(l.buffer);
    if (l.xdgOutput)
        zxdg_output_v1_destroy(l.xdgOutput);
    if (l.output)
        wl_output_destroy(l.output);
    l = Layer{};
}

// --- the pointer and the keyboard ------------------------------------------------

Session *sessionOf(void *data) {
    return static_cast<Session *>(data);
}

Layer *ourLayer(Session &s, wl_surface *surface) {
    if (!surface)
        return nullptr;
    for (auto &l : s.layers)
        if (l->surface == surface)
            return l.get();
    return nullptr;
}

void onPointerEnter(void *data, wl_pointer *pointer, uint32_t serial, wl_surface *surface,
                    wl_fixed_t sx, wl_fixed_t sy) {
    Session &s = *sessionOf(data);
    s.under = ourLayer(s, surface);
    s.sx = wl_fixed_to_double(sx);
    s.sy = wl_fixed_to_double(sy);
    if (s.cursorImage && s.cursorSurface)
        wl_pointer_set_cursor(pointer, serial, s.cursorSurface,
                              static_cast<int32_t>(s.cursorImage->hotspot_x) / s.cursorScale,
                              static_cast<int32_t>(s.cursorImage->hotspot_y) / s.cursorScale);
}

void onPointerLeave(void *data, wl_pointer *, uint32_t, wl_surface *) {
    sessionOf(data)->under = nullptr;
}

void onPointerMotion(void *data, wl_pointer *, uint32_t, wl_fixed_t sx, wl_fixed_t sy) {
    Session &s = *sessionOf(data);
    s.sx = wl_fixed_to_double(sx);
    s.sy = wl_fixed_to_double(sy);
}

void onPointerButton(void *data, wl_pointer *, uint32_t, uint32_t, uint32_t button,
                     uint32_t state) {
    Session &s = *sessionOf(data);
    if (button != BTN_LEFT)
        return;
    if (state == WL_POINTER_BUTTON_STATE_PRESSED) {
        if (!s.under)
            return;
        // The pixel the pointer is in, in the layout.
        s.pressed = true;
        s.pressedAt = {s.under->originX() + static_cast<int>(std::floor(s.sx)),
                       s.under->originY() + static_cast<int>(std::floor(s.sy))};
    } else if (s.pressed) {
        // Ended on the release, so the window underneath never gets a release
        // without its press.
        s.point = s.pressedAt;
        s.end(PickOutcome::Picked);
    }
}

void onPointerAxis(void *, wl_pointer *, uint32_t, uint32_t, wl_fixed_t) {}

wl_pointer_listener pointerListener() {
    // The seat is bound as version 1: the later events never come.
    wl_pointer_listener l{};
    l.enter = onPointerEnter;
    l.leave = onPointerLeave;
    l.motion = onPointerMotion;
    l.button = onPointerButton;
    l.axis = onPointerAxis;
    return l;
}
const wl_pointer_listener kPointerListener = pointerListener();

void onKeymap(void *, wl_keyboard *, uint32_t, int32_t fd, uint32_t) {
    close(fd); // Escape is known by its code; no keymap is needed
}

void onKeyboardEnter(void *, wl_keyboard *, uint32_t, wl_surface *, wl_array *) {}
void onKeyboardLeave(void *, wl_keyboard *, uint32_t, wl_surface *) {}

void onKey(void *data, wl_keyboard *, uint32_t, uint32_t, uint32_t key, uint32_t state) {
    Session &s = *sessionOf(data);
    if (key != KEY_ESC)
        return;
    // Press and release both here: an Escape already held when the layer
    // came up is not a cancel, and the window underneath gets no lone release.
    if (state == WL_KEYBOARD_KEY_STATE_PRESSED)
        s.escapeDown = true;
    else if (s.escapeDown)
        s.end(PickOutcome::Cancelled);
}

void onModifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}

wl_keyboard_listener keyboardListener() {
    wl_keyboard_listener l{};
    l.keymap = onKeymap;
    l.enter = onKeyboardEnter;
    l.leave = onKeyboardLeave;
    l.key = onKey;
    l.modifiers = onModifiers;
    return l;
}
const wl_keyboard_listener kKeyboardListener = keyboardListener();

void onCapabilities(void *data, wl_seat *seat, uint32_t caps) {
    // A seat without devices gets them later (a virtual pointer, a keyboard
    // plugged in).
    Session &s = *sessionOf(data);
    if ((caps & WL_SEAT_CAPABILITY_POINTER) && !s.pointer) {
        s.pointer = wl_seat_get_pointer(seat);
        wl_pointer_add_listener(s.pointer, &kPointerListener, &s);
    }
    if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !s.keyboard) {
        s.keyboard = wl_seat_get_keyboard(seat);
        wl_keyboard_add_listener(s.keyboard, &kKeyboardListener, &s);
    }
}

wl_seat_listener seatListener() {
    wl_seat_listener l{};
    l.capabilities = onCapabilities;
    return l;
}
const wl_seat_listener kSeatListener = seatListener();

// --- the registry ------------------------------------------------------------------

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version) {
    Session &s = *sessionOf(data);
    if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        s.compositorVersion = std::min(version, 4u);
        s.compositor = bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        s.shm = bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
    } else if (std::strcmp(interface, wl_seat_interface.name) == 0) {
        if (!s.seat) { // the first seat: the one a desktop of one user has
            s.seat = bind<wl_seat>(registry, name, &wl_seat_interface, version, 1);
            wl_seat_add_listener(s.seat, &kSeatListener, &s);
        }
    } else if (std::strcmp(interface, zwlr_layer_shell_v1_interface.name) == 0) {
        s.layerShell =
            bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version, 1);
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        s.xdgOutputManager = bind<zxdg_output_manager_v1>(
            registry, name, &zxdg_output_manager_v1_interface, version, 2);
        for (auto &l : s.layers)
            attachXdgOutput(s, *l);
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && !s.layersMade) {
        auto l = std::make_unique<Layer>();
        l->session = &s;
        l->name = name;
        l->output = bind<wl_output>(registry, name, &wl_output_interface, version, 2);
        wl_output_add_listener(l->output, &kOutputListener, l.get());
        attachXdgOutput(s, *l);
        s.layers.push_back(std::move(l));
    }
}

void onGlobalRemove(void *data, wl_registry *, uint32_t name) {
    Session &s = *sessionOf(data);
    for (auto &l : s.layers)
        if (l->name == name) {
            if (s.under == l.get())
                s.under = nullptr;
            destroyLayer(*l);
            l->closed = true;
        }
}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void loadCursor(Session &s) {
    int scale = 1;
    for (const auto &l : s.layers)
        scale = std::max(scale, l->scale);
    // One image for every output: drawn at the largest scale, shown at its
    // logical size on all of them.
    if (s.compositorVersion < 3)
        scale = 1;
    int size = kCursorSize;
    if (const char *env = std::getenv("XCURSOR_SIZE")) {
        const int asked = std::atoi(env);
        if (asked > 0 && asked <= 256)
            size = asked;
    }
    s.cursorTheme = wl_cursor_theme_load(std::getenv("XCURSOR_THEME"), size * scale, s.shm);
    if (!s.cursorTheme)
        return;
    wl_cursor *cursor = nullptr;
    for (const char *name : {"crosshair", "cross", "tcross", "left_ptr"})
        if ((cursor = wl_cursor_theme_get_cursor(s.cursorTheme, name)))
            break;
    if (!cursor || cursor->image_count == 0)
        return;
    wl_cursor_image *image = cursor->images[0];
    wl_buffer *buffer = wl_cursor_image_get_buffer(image);
    if (!buffer)
        return;
    if (image->width % scale != 0 || image->height % scale != 0)
        scale = 1;
    s.cursorImage = image;
    s.cursorScale = scale;
    s.cursorSurface = wl_compositor_create_surface(s.compositor);
    if (scale > 1)
        wl_surface_set_buffer_scale(s.cursorSurface, scale);
    wl_surface_attach(s.cursorSurface, buffer, 0, 0);
    wl_surface_commit(s.cursorSurface);
}

void closeSession(Session &s) {
    for (auto &l : s.layers)
        destroyLayer(*l);
    s.layers.clear();
    if (s.pointer)
        wl_pointer_destroy(s.pointer);
    if (s.keyboard)
        wl_keyboard_destroy(s.keyboard);
    if (s.cursorSurface)
        wl_surface_destroy(s.cursorSurface);
    if (s.cursorTheme)
        wl_cursor_theme_destroy(s.cursorTheme);
    if (s.seat)
        wl_seat_destroy(s.seat);
    if (s.xdgOutputManager)
        zxdg_output_manager_v1_destroy(s.xdgOutputManager);
    if (s.layerShell)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(s.layerShell));
    if (s.shm)
        wl_shm_destroy(s.shm);
    if (s.compositor)
        wl_compositor_destroy(s.compositor);
    if (s.registry)
        wl_registry_destroy(s.registry);
    wl_display_flush(s.display);
    wl_display_disconnect(s.display);
}

bool allConfigured(const Session &s) {
    bool any = false;
    for (const auto &l : s.layers) {
        if (l->closed)
            continue;
        if (!l->configured)
            return false;
        any = true;
    }
    return any;
}

bool anyOpen(const Session &s) {
    return std::any_of(s.layers.begin(), s.layers.end(), [](const auto &l) { return !l->closed; });
}

// Waits for the compositor or `wakeFd`; dispatches what came. False when the
// connection failed; `woken` says whether wakeFd was written.
bool dispatchOnce(wl_display *display, int wakeFd, bool &woken) {
    woken = false;
    while (wl_display_prepare_read(display) != 0)
        if (wl_display_dispatch_pending(display) < 0)
            return false;
    if (wl_display_flush(display) < 0 && errno != EAGAIN) {
        wl_display_cancel_read(display);
        return false;
    }
    pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
    int n;
    do
        n = poll(fds, 2, -1);
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        wl_display_cancel_read(display);
        return false;
    }
    if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) {
        if (wl_display_read_events(display) < 0)
            return false;
    } else {
        wl_display_cancel_read(display);
    }
    woken = (fds[1].revents & POLLIN) != 0;
    return wl_display_dispatch_pending(display) >= 0;
}

void drain(int fd) {
    std::uint64_t count;
    while (read(fd, &count, sizeof count) > 0) {
    }
}

} // namespace

std::unique_ptr<WaylandOverlay> WaylandOverlay::create() {
    std::vector<std::string> globals;
    if (!listGlobals(globals) || std::find(globals.begin(), globals.end(),
                                           zwlr_layer_shell_v1_interface.name) == globals.end())
        return nullptr;
    std::unique_ptr<WaylandOverlay> overlay(new WaylandOverlay);
    overlay->wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (overlay->wakeFd_ < 0)
        return nullptr;
    return overlay;
}

WaylandOverlay::~WaylandOverlay() {
    cancel();
    if (wakeFd_ >= 0)
        close(wakeFd_);
}

bool WaylandOverlay::start(Done done) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_)
        return false;
    // The previous pick has ended; its thread may still be in its `done`.
    if (thread_.joinable())
        thread_.join();
    drain(wakeFd_);
    running_ = true;
    thread_ = std::thread([this, done = std::move(done)] {
        Point point;
        const PickOutcome outcome = run(point);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            running_ = false;
        }
        if (done)
            done(outcome, point);
    });
    return true;
}

void WaylandOverlay::cancel() {
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_) {
            const std::uint64_t one = 1;
            if (write(wakeFd_, &one, sizeof one) < 0) {
                // Only a full counter refuses, and that wakes the pick too.
            }
        }
        thread = std::move(thread_);
    }
    if (!thread.joinable())
        return;
    if (thread.get_id() == std::this_thread::get_id())
        thread.detach(); // called from `done`: the thread is ending anyway
    else
        thread.join();
}

PickOutcome WaylandOverlay::run(Point &point) {
    Session s;
    s.display = wl_display_connect(nullptr);
    if (!s.display)
        return PickOutcome::Failed;
    s.registry = wl_display_get_registry(s.display);
    wl_registry_add_listener(s.registry, &kRegistryListener, &s);
    // The globals, then what the outputs and the seat say about themselves.
    if (wl_display_roundtrip(s.display) < 0 || wl_display_roundtrip(s.display) < 0 ||
        !s.compositor || !s.shm || !s.seat || !s.layerShell || s.layers.empty()) {
        closeSession(s);
        return PickOutcome::Failed;
    }
    s.layersMade = true;
    loadCursor(s);
    for (auto &l : s.layers)
        makeLayer(s, *l);
    bool woken = false;
    while (!s.ended && !woken && !allConfigured(s))
        if (!dispatchOnce(s.display, wakeFd_, woken) || !anyOpen(s))
            s.end(PickOutcome::Failed);
    // Once the compositor has the buffers, a click is ours.
    if (!s.ended && !woken && wl_display_roundtrip(s.display) >= 0)
        shown_ = true;
    while (!s.ended && !woken)
        if (!dispatchOnce(s.display, wakeFd_, woken) || !anyOpen(s))
            s.end(PickOutcome::Failed);
    if (!s.ended)
        s.end(PickOutcome::Cancelled); // woken by cancel()
    shown_ = false;
    closeSession(s);
    point = s.point;
    return s.outcome;
}

} // namespace platform::wayland
