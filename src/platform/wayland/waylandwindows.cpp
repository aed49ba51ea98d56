#include "waylandwindows.h"

#include "platform/utf8text.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>

namespace platform::wayland {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint32_t kManagerVersion = 3;
// How long a call waits for the compositor to answer a round trip; a
// compositor that is busy for longer is answered for from what it said last.
constexpr auto kSyncTimeout = std::chrono::seconds(2);
constexpr int kFlushTimeoutMs = 2000;

} // namespace

struct WaylandWindows::Connection {
    struct Toplevel {
        Connection *owner = nullptr;
        zwlr_foreign_toplevel_handle_v1 *handle = nullptr;
        std::uint64_t id = 0;
        // As of the last "done", which makes the events before it one change.
        bool known = false;
        std::u16string title;
        std::u16string program;
        bool activated = false;
        // As sent since.
        std::u16string nextTitle;
        std::u16string nextProgram;
        bool nextActivated = false;
    };

    // Guards everything below; the reading thread dispatches with it held,
    // so the listeners run with it held.
    std::mutex mutex;
    // Told after every dispatch.
    std::condition_variable changed;
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    zwlr_foreign_toplevel_manager_v1 *manager = nullptr;
    // By id: oldest first.
    std::map<std::uint64_t, std::unique_ptr<Toplevel>> toplevels;
    std::uint64_t nextId = 1;
    std::uint64_t syncsSent = 0;
    std::uint64_t syncsDone = 0;
    bool lost = false;
    int wakeFd = -1;
    std::thread reader;

    ~Connection();
    bool open(std::string &error);
    void read();
    bool flushLocked();
    // Waits (up to kSyncTimeout) until the compositor has handled what was
    // sent before and we have what it sent back; false when it is gone.
    bool syncLocked(std::unique_lock<std::mutex> &lock);
    const Toplevel *findLocked(std::uint64_t id) const;
};

namespace {

using Connection = WaylandWindows::Connection;
using Toplevel = Connection::Toplevel;

std::u16string textOf(const char *s) {
    return s ? utf16FromUtf8(s, std::strlen(s)) : std::u16string();
}

WindowInfo infoOf(const Toplevel &t) {
    WindowInfo info;
    info.id = t.id;
    info.title = t.title;
    info.program = t.program;
    return info;
}

// ---- a toplevel's events ----

Toplevel *toplevel(void *data) {
    return static_cast<Toplevel *>(data);
}

void onTitle(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *title) {
    toplevel(data)->nextTitle = textOf(title);
}

void onAppId(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId) {
    toplevel(data)->nextProgram = textOf(appId);
}

void onOutput(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}

void onState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states) {
    bool activated = false;
    const auto *state = static_cast<const std::uint32_t *>(states->data);
    for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i)
        activated = activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
    toplevel(data)->nextActivated = activated;
}

void onDone(void *data, zwlr_foreign_toplevel_handle_v1 *) {
    Toplevel *t = toplevel(data);
    t->known = true;
    t->title = t->nextTitle;
    t->program = t->nextProgram;
    t->activated = t->nextActivated;
}

void onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *handle) {
    Toplevel *t = toplevel(data);
    Connection *c = t->owner;
    zwlr_foreign_toplevel_handle_v1_destroy(handle);
    c->toplevels.erase(t->id);
}

void onParent(void *, zwlr_foreign_toplevel_handle_v1 *, zwlr_foreign_toplevel_handle_v1 *) {}

const zwlr_foreign_toplevel_handle_v1_listener kToplevelListener = {
    onTitle, onAppId, onOutput, onOutput, onState, onDone, onClosed, onParent};

// ---- the manager's ----

void onToplevel(void *data, zwlr_foreign_toplevel_manager_v1 *,
                zwlr_foreign_toplevel_handle_v1 *handle) {
    auto *c = static_cast<Connection *>(data);
    auto t = std::make_unique<Toplevel>();
    t->owner = c;
    t->handle = handle;
    t->id = c->nextId++;
    zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, t.get());
    c->toplevels.emplace(t->id, std::move(t));
}

// The compositor stops listing toplevels; the handles it sent stay valid
// until each is closed, but no new window would ever be seen, so the list
// ends here too.
void onFinished(void *data, zwlr_foreign_toplevel_manager_v1 *manager) {
    auto *c = static_cast<Connection *>(data);
    zwlr_foreign_toplevel_manager_v1_destroy(manager);
    c->manager = nullptr;
    c->lost = true;
}

const zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {onToplevel, onFinished};

// ---- the registry ----

void onGlobal(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
              std::uint32_t version) {
    auto *c = static_cast<Connection *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !c->seat) {
        c->seat = static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 &&
               !c->manager) {
        c->manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                             std::min(version, kManagerVersion)));
        zwlr_foreign_toplevel_manager_v1_add_listener(c->manager, &kManagerListener, c);
    }
}

void onGlobalRemove(void *, wl_registry *, std::uint32_t) {}

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onSyncDone(void *data, wl_callback *callback, std::uint32_t) {
    ++static_cast<Connection *>(data)->syncsDone;
    wl_callback_destroy(callback);
}

const wl_callback_listener kSyncListener = {onSyncDone};

} // namespace

bool Connection::open(std::string &error) {
    display = wl_display_connect(nullptr);
    if (!display) {
        error = "cannot connect to the Wayland compositor (WAYLAND_DISPLAY)";
        return false;
    }
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, this);
    // The globals, then the toplevels open now.
    if (wl_display_roundtrip(display) < 0) {
        error = "the Wayland compositor closed the connection";
        return false;
    }
    if (!manager) {
        error = "this Wayland compositor offers no list of windows "
                "(zwlr_foreign_toplevel_manager_v1)";
        return false;
    }
    if (wl_display_roundtrip(display) < 0) {
        error = "the Wayland compositor closed the connection";
        return false;
    }
    wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd < 0) {
        error = std::string("eventfd: ") + std::strerror(errno);
        return false;
    }
    reader = std::thread([this] { read(); });
    return true;
}

Connection::~Connection() {
    if (reader.joinable()) {
        const std::uint64_t one = 1;
        while (write(wakeFd, &one, sizeof one) < 0 && errno == EINTR) {
        }
        reader.join();
    }
    if (wakeFd >= 0)
        close(wakeFd);
    if (!display)
        return;
    for (auto &entry : toplevels)
        zwlr_foreign_toplevel_handle_v1_destroy(entry.second->handle);
    toplevels.clear();
    if (manager)
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
    if (seat)
        wl_seat_destroy(seat);
    if (registry)
        wl_registry_destroy(registry);
    wl_display_disconnect(display);
}

// The one reader of the connection: everything the compositor sends is
// dispatched here, with the mutex held, so callers only send and wait.
void Connection::read() {
    const int fd = wl_display_get_fd(display);
    for (;;) {
        while (wl_display_prepare_read(display) != 0) {
            std::lock_guard<std::mutex> lock(mutex);
            if (wl_display_dispatch_pending(display) < 0) {
                lost = true;
                changed.notify_all();
                return;
            }
            changed.notify_all();
        }
        wl_display_flush(display);
        pollfd fds[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};
        const int n = poll(fds, 2, -1);
        if (n < 0 && errno == EINTR) {
            wl_display_cancel_read(display);
            continue;
        }
        if (n > 0 && fds[1].revents != 0) {
            wl_display_cancel_read(display);
            return;
        }
        bool broken = n < 0;
        if (!broken && (fds[0].revents & POLLIN) != 0) {
            broken = wl_display_read_events(display) < 0;
        } else {
            wl_display_cancel_read(display);
            broken = broken || (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (broken || wl_display_dispatch_pending(display) < 0) {
            lost = true;
            changed.notify_all();
            return;
        }
        changed.notify_all();
    }
}

bool Connection::flushLocked() {
    const auto deadline = Clock::now() + std::chrono::milliseconds(kFlushTimeoutMs);
    while (wl_display_flush(display) < 0) {
        if (errno != EAGAIN || Clock::now() >= deadline)
            return false;
        pollfd p{wl_display_get_fd(display), POLLOUT, 0};
        if (poll(&p, 1, 50) < 0 && errno != EINTR)
            return false;
    }
    return true;
}

bool Connection::syncLocked(std::unique_lock<std::mutex> &lock) {
    if (lost)
        return false;
    wl_callback *callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &kSyncListener, this);
    const std::uint64_t wanted = ++syncsSent;
    if (!flushLocked()) {
        lost = true;
        return false;
    }
    changed.wait_for(lock, kSyncTimeout, [&] { return lost || syncsDone >= wanted; });
    return !lost;
}

const Toplevel *Connection::findLocked(std::uint64_t id) const {
    const auto it = toplevels.find(id);
    return it != toplevels.end() && it->second->known ? it->second.get() : nullptr;
}

// ---- the interface ----

std::unique_ptr<WaylandWindows> WaylandWindows::create(std::string &error) {
    auto c = std::make_unique<Connection>();
    if (!c->open(error))
        return nullptr;
    return std::unique_ptr<WaylandWindows>(new WaylandWindows(std::move(c)));
}

WaylandWindows::WaylandWindows(std::unique_ptr<Connection> connection)
    : c_(std::move(connection)) {}

WaylandWindows::~WaylandWindows() = default;

std::vector<WindowInfo> WaylandWindows::windows() {
    std::unique_lock<std::mutex> lock(c_->mutex);
    std::vector<WindowInfo> out;
    if (!c_->syncLocked(lock))
        return out;
    // No stacking order on Wayland: the activated window, then the newest.
    for (auto it = c_->toplevels.rbegin(); it != c_->toplevels.rend(); ++it) {
        if (it->second->known)
            out.push_back(infoOf(*it->second));
    }
    std::stable_partition(out.begin(), out.end(), [this](const WindowInfo &w) {
        return c_->toplevels.at(w.id)->activated;
    });
    return out;
}

bool WaylandWindows::info(std::uint64_t id, WindowInfo &out) {
    std::unique_lock<std::mutex> lock(c_->mutex);
    if (!c_->syncLocked(lock))
        return false;
    const Toplevel *t = c_->findLocked(id);
    if (!t)
        return false;
    out = infoOf(*t);
    return true;
}

std::uint64_t WaylandWindows::activeWindow() {
    std::unique_lock<std::mutex> lock(c_->mutex);
    if (!c_->syncLocked(lock))
        return 0;
    for (auto it = c_->toplevels.rbegin(); it != c_->toplevels.rend(); ++it) {
        if (it->second->known && it->second->activated)
            return it->first;
    }
    return 0;
}

std::uint64_t WaylandWindows::windowAt(int, int) {
    return 0;
}

bool WaylandWindows::activate(std::uint64_t id) {
    std::unique_lock<std::mutex> lock(c_->mutex);
    if (!c_->syncLocked(lock))
        return false;
    const Toplevel *t = c_->findLocked(id);
    if (!t || !c_->seat)
        return false;
    if (t->activated)
        return true;
    zwlr_foreign_toplevel_handle_v1_activate(t->handle, c_->seat);
    if (!c_->flushLocked())
        return false;
    const auto deadline = Clock::now() + std::chrono::milliseconds(kActivateTimeoutMs);
    Connection &c = *c_;
    const auto settled = [&c, id] {
        const Toplevel *now = c.findLocked(id);
        return c.lost || !now || now->activated;
    };
    c.changed.wait_until(lock, deadline, settled);
    const Toplevel *now = c.findLocked(id);
    return !c.lost && now && now->activated;
}

} // namespace platform::wayland
