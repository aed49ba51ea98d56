#include "mutterremote.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace platform::gnome {
namespace {

constexpr char kRemoteDesktopName[] = "org.gnome.Mutter.RemoteDesktop";
constexpr char kRemoteDesktopPath[] = "/org/gnome/Mutter/RemoteDesktop";
constexpr char kRemoteDesktopSession[] = "org.gnome.Mutter.RemoteDesktop.Session";
constexpr char kScreenCastName[] = "org.gnome.Mutter.ScreenCast";
constexpr char kScreenCastPath[] = "/org/gnome/Mutter/ScreenCast";
constexpr char kScreenCastSession[] = "org.gnome.Mutter.ScreenCast.Session";
constexpr char kScreenCastStream[] = "org.gnome.Mutter.ScreenCast.Stream";
constexpr int kCallTimeoutMs = 5000;
// No clipboard content is larger than this in practice; a bound keeps a
// runaway source from eating the memory.
constexpr std::size_t kMaxSelectionBytes = 64u << 20;

std::string takeError(GError *error) {
    std::string text = error ? error->message : "unknown error";
    if (error)
        g_error_free(error);
    return text;
}

GDBusConnection *connectSessionBus(std::string &error) {
    GError *gerror = nullptr;
    gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &gerror);
    if (!address) {
        error = "no session bus: " + takeError(gerror);
        return nullptr;
    }
    GDBusConnection *connection = g_dbus_connection_new_for_address_sync(
        address,
        GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                             G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, &gerror);
    g_free(address);
    if (!connection) {
        error = "the session bus cannot be reached: " + takeError(gerror);
        return nullptr;
    }
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    return connection;
}

// A property's value (floating reference taken), or null.
GVariant *property(GDBusConnection *connection, const char *name, const char *path,
                   const char *interface, const char *prop, std::string &error) {
    GError *gerror = nullptr;
    GVariant *reply = g_dbus_connection_call_sync(
        connection, name, path, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", interface, prop), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        kCallTimeoutMs, nullptr, &gerror);
    if (!reply) {
        error = takeError(gerror);
        return nullptr;
    }
    GVariant *value = nullptr;
    g_variant_get(reply, "(v)", &value);
    g_variant_unref(reply);
    return value;
}

bool versionsKnown(GDBusConnection *connection, std::string &error) {
    const struct {
        const char *name, *path, *what;
        int want;
    } interfaces[] = {
        {kRemoteDesktopName, kRemoteDesktopPath, "remote desktop", kRemoteDesktopVersion},
        {kScreenCastName, kScreenCastPath, "screen cast", kScreenCastVersion},
    };
    for (const auto &i : interfaces) {
        std::string why;
        GVariant *value = property(connection, i.name, i.path, i.name, "Version", why);
        if (!value) {
            error = std::string("GNOME's ") + i.what + " (" + i.name + ") does not answer: " + why;
            return false;
        }
        const int version =
            g_variant_is_of_type(value, G_VARIANT_TYPE_INT32) ? g_variant_get_int32(value) : -1;
        g_variant_unref(value);
        if (version != i.want) {
            error = std::string("GNOME's ") + i.what + " is version " + std::to_string(version) +
                    ", this program knows version " + std::to_string(i.want);
            return false;
        }
    }
    return true;
}

bool readAll(int fd, std::string &out) {
    char buffer[65536];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        // A source that sends nothing for a second will not send.
        const int ready = poll(&p, 1, 1000);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return false;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        if (out.size() + static_cast<std::size_t>(n) > kMaxSelectionBytes)
            return false;
        out.append(buffer, static_cast<std::size_t>(n));
    }
}

bool writeAll(int fd, const std::string &data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

struct MutterRemote::Impl {
    GDBusConnection *connection = nullptr;
    GMainContext *context = nullptr;
    GMainLoop *loop = nullptr;
    std::thread thread;
    std::vector<guint> subscriptions;
    std::string sessionPath, screenCastPath, streamPath;
    // The same, for the signal thread.
    std::string ownSession, ownScreenCast, ownStream;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool alive = false;
    std::string closedReason;
    std::uint32_t node = 0;
    StreamArea area;
    std::map<std::string, std::string> offer;
    std::uint64_t served = 0;
    std::chrono::steady_clock::time_point lastTransfer;
    bool owner = false;
    std::vector<std::string> currentTypes;

    // A call on the session, its reply (owned) or null with `error`.
    GVariant *call(const char *name, const std::string &path, const char *interface,
                   const char *method, GVariant *parameters, const char *replyType,
                   std::string *error = nullptr, GUnixFDList **fds = nullptr) {
        GError *gerror = nullptr;
        GVariant *reply = g_dbus_connection_call_with_unix_fd_list_sync(
            connection, name, path.c_str(), interface, method, parameters,
            replyType ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
            nullptr, fds, nullptr, &gerror);
        if (!reply) {
            std::string why = takeError(gerror);
            if (error)
                *error = why;
        }
        return reply;
    }

    bool notify(const char *method, GVariant *parameters) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!alive || !connection) {
                if (parameters)
                    g_variant_unref(g_variant_ref_sink(parameters));
                return false;
            }
        }
        GVariant *reply =
            call(kRemoteDesktopName, sessionPath, kRemoteDesktopSession, method, parameters, "()");
        if (!reply)
            return false;
        g_variant_unref(reply);
        return true;
    }

    void ended(const std::string &why) {
        std::lock_guard<std::mutex> lock(mutex);
        if (alive) {
            alive = false;
            closedReason = why;
        }
        changed.notify_all();
    }

    void subscribe(const char *sender, const char *interface, const char *member, const char *path,
                   GDBusSignalCallback callback) {
        subscriptions.push_back(
            g_dbus_connection_signal_subscribe(connection, sender, interface, member, path, nullptr,
                                               G_DBUS_SIGNAL_FLAGS_NONE, callback, this, nullptr));
    }

    static void onSignal(GDBusConnection *, const gchar *, const gchar *path,
                         const gchar *interface, const gchar *member, GVariant *parameters,
                         gpointer data) {
        auto *self = static_cast<Impl *>(data);
        const std::string name = member;
        // Mutter sends every session's signals to all: only ours count.
        std::string session, screenCast, stream;
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            session = self->ownSession;
            screenCast = self->ownScreenCast;
            stream = self->ownStream;
        }
        const std::string from = path;
        const std::string iface = interface;
        if ((iface == kRemoteDesktopSession && from != session) ||
            (iface == kScreenCastSession && from != screenCast) ||
            (iface == kScreenCastStream && from != stream))
            return;
        if (name == "Closed" && iface == kRemoteDesktopSession) {
            self->ended("GNOME closed the remote-desktop session");
        } else if (name == "Closed" && iface == kScreenCastSession) {
            self->ended("GNOME closed the screen cast");
        } else if (name == "NameOwnerChanged") {
            const gchar *busName = nullptr, *oldOwner = nullptr, *newOwner = nullptr;
            g_variant_get(parameters, "(&s&s&s)", &busName, &oldOwner, &newOwner);
            if (newOwner && !*newOwner)
                self->ended("GNOME's remote desktop went away");
        } else if (name == "PipeWireStreamAdded") {
            guint32 node = 0;
            g_variant_get(parameters, "(u)", &node);
            std::lock_guard<std::mutex> lock(self->mutex);
            self->node = node;
            self->changed.notify_all();
        } else if (name == "SelectionOwnerChanged") {
            GVariant *options = g_variant_get_child_value(parameters, 0);
            gboolean ours = FALSE;
            g_variant_lookup(options, "session-is-owner", "b", &ours);
            std::vector<std::string> types;
            GVariantIter *iter = nullptr;
            if (g_variant_lookup(options, "mime-types", "(as)", &iter) ||
                g_variant_lookup(options, "mime-types", "as", &iter)) {
                const gchar *type = nullptr;
                while (g_variant_iter_next(iter, "&s", &type))
                    types.emplace_back(type);
                g_variant_iter_free(iter);
            }
            g_variant_unref(options);
            std::lock_guard<std::mutex> lock(self->mutex);
            self->owner = ours;
            if (!ours)
                self->currentTypes = types;
            self->changed.notify_all();
        } else if (name == "SelectionTransfer") {
            const gchar *type = nullptr;
            guint32 serial = 0;
            g_variant_get(parameters, "(&su)", &type, &serial);
            self->transfer(type, serial);
        }
    }

    void transfer(const std::string &type, guint32 serial) {
        std::string data;
        bool have = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            auto it = offer.find(type);
            if (it != offer.end()) {
                data = it->second;
                have = true;
            }
        }
        bool ok = false;
        if (have) {
            GUnixFDList *fds = nullptr;
            GVariant *reply =
                call(kRemoteDesktopName, sessionPath, kRemoteDesktopSession, "SelectionWrite",
                     g_variant_new("(u)", serial), "(h)", nullptr, &fds);
            if (reply) {
                gint32 handle = -1;
                g_variant_get(reply, "(h)", &handle);
                g_variant_unref(reply);
                const int fd = fds ? g_unix_fd_list_get(fds, handle, nullptr) : -1;
                if (fd >= 0) {
                    ok = writeAll(fd, data);
                    close(fd);
                }
            }
            if (fds)
                g_object_unref(fds);
        }
        GVariant *done = call(kRemoteDesktopName, sessionPath, kRemoteDesktopSession,
                              "SelectionWriteDone", g_variant_new("(ub)", serial, ok), "()");
        if (done)
            g_variant_unref(done);
        std::lock_guard<std::mutex> lock(mutex);
        ++served;
        lastTransfer = std::chrono::steady_clock::now();
        changed.notify_all();
    }

    void stop() {
        if (connection) {
            bool wasAlive;
            {
                std::lock_guard<std::mutex> lock(mutex);
                wasAlive = alive;
                alive = false;
            }
            if (wasAlive && !sessionPath.empty()) {
                GVariant *reply = call(kRemoteDesktopName, sessionPath, kRemoteDesktopSession,
                                       "Stop", nullptr, "()");
                if (reply)
                    g_variant_unref(reply);
            }
            for (guint id : subscriptions)
                g_dbus_connection_signal_unsubscribe(connection, id);
            subscriptions.clear();
        }
        if (loop) {
            g_main_loop_quit(loop);
            if (thread.joinable())
                thread.join();
            g_main_loop_unref(loop);
            loop = nullptr;
        }
        if (connection) {
            g_dbus_connection_close_sync(connection, nullptr, nullptr);
            g_object_unref(connection);
            connection = nullptr;
        }
        if (context) {
            // What the loop left undispatched.
            while (g_main_context_iteration(context, FALSE)) {
            }
            g_main_context_unref(context);
            context = nullptr;
        }
    }
};

MutterRemote::MutterRemote() : d(std::make_unique<Impl>()) {}

MutterRemote::~MutterRemote() {
    d->stop();
}

bool MutterRemote::available(std::string &error) {
    GDBusConnection *connection = connectSessionBus(error);
    if (!connection)
        return false;
    const bool known = versionsKnown(connection, error);
    g_dbus_connection_close_sync(connection, nullptr, nullptr);
    g_object_unref(connection);
    return known;
}

bool MutterRemote::open(std::string &error) {
    Impl &i = *d;
    i.connection = connectSessionBus(error);
    if (!i.connection || !versionsKnown(i.connection, error))
        return false;

    // Signals are dispatched on the loop's thread: subscribed with its
    // context as this thread's default, before the loop runs.
    i.context = g_main_context_new();
    i.loop = g_main_loop_new(i.context, FALSE);
    g_main_context_push_thread_default(i.context);
    i.subscribe(kRemoteDesktopName, kRemoteDesktopSession, nullptr, nullptr, Impl::onSignal);
    i.subscribe(kScreenCastName, kScreenCastSession, "Closed", nullptr, Impl::onSignal);
    i.subscribe(kScreenCastName, kScreenCastStream, "PipeWireStreamAdded", nullptr, Impl::onSignal);
    i.subscriptions.push_back(g_dbus_connection_signal_subscribe(
        i.connection, "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
        "/org/freedesktop/DBus", kRemoteDesktopName, G_DBUS_SIGNAL_FLAGS_NONE, Impl::onSignal, &i,
        nullptr));
    g_main_context_pop_thread_default(i.context);
    i.thread = std::thread([&i] {
        g_main_context_push_thread_default(i.context);
        g_main_loop_run(i.loop);
        g_main_context_pop_thread_default(i.context);
    });

    std::string why;
    GVariant *reply = i.call(kRemoteDesktopName, kRemoteDesktopPath, kRemoteDesktopName,
                             "CreateSession", nullptr, "(o)", &why);
    if (!reply) {
        error = "GNOME would not start a remote-desktop session: " + why;
        return false;
    }
    const gchar *path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    i.sessionPath = path;
    g_variant_unref(reply);
    {
        std::lock_guard<std::mutex> lock(i.mutex);
        i.ownSession = i.sessionPath;
    }

    GVariant *id = property(i.connection, kRemoteDesktopName, i.sessionPath.c_str(),
                            kRemoteDesktopSession, "SessionId", why);
    if (!id) {
        error = "GNOME's remote-desktop session has no id: " + why;
        return false;
    }
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "remote-desktop-session-id", id);
    reply = i.call(kScreenCastName, kScreenCastPath, kScreenCastName, "CreateSession",
                   g_variant_new("(a{sv})", &options), "(o)", &why);
    if (!reply) {
        error = "GNOME would not start a screen cast: " + why;
        return false;
    }
    g_variant_get(reply, "(&o)", &path);
    i.screenCastPath = path;
    g_variant_unref(reply);
    {
        std::lock_guard<std::mutex> lock(i.mutex);
        i.ownScreenCast = i.screenCastPath;
    }

    // The primary monitor, without the pointer drawn in (as the X11 reader
    // sees the screen).
    GVariantBuilder record;
    g_variant_builder_init(&record, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&record, "{sv}", "cursor-mode", g_variant_new_uint32(0));
    reply = i.call(kScreenCastName, i.screenCastPath, kScreenCastSession, "RecordMonitor",
                   g_variant_new("(sa{sv})", "", &record), "(o)", &why);
    if (!reply) {
        error = "GNOME would not cast the monitor: " + why;
        return false;
    }
    g_variant_get(reply, "(&o)", &path);
    i.streamPath = path;
    g_variant_unref(reply);
    {
        std::lock_guard<std::mutex> lock(i.mutex);
        i.ownStream = i.streamPath;
    }

    {
        std::lock_guard<std::mutex> lock(i.mutex);
        i.alive = true;
    }
    reply = i.call(kRemoteDesktopName, i.sessionPath, kRemoteDesktopSession, "Start", nullptr, "()",
                   &why);
    if (!reply) {
        std::lock_guard<std::mutex> lock(i.mutex);
        i.alive = false;
        error = "GNOME would not start the remote-desktop session: " + why;
        return false;
    }
    g_variant_unref(reply);
    {
        std::unique_lock<std::mutex> lock(i.mutex);
        if (!i.changed.wait_for(lock, std::chrono::seconds(5),
                                [&i] { return i.node != 0 || !i.alive; }) ||
            !i.alive) {
            error = "GNOME's screen cast sent no stream" +
                    (i.closedReason.empty() ? std::string() : ": " + i.closedReason);
            return false;
        }
    }
    GVariant *parameters = property(i.connection, kScreenCastName, i.streamPath.c_str(),
                                    kScreenCastStream, "Parameters", why);
    if (parameters) {
        StreamArea a;
        g_variant_lookup(parameters, "position", "(ii)", &a.x, &a.y);
        g_variant_lookup(parameters, "size", "(ii)", &a.width, &a.height);
        g_variant_unref(parameters);
        std::lock_guard<std::mutex> lock(i.mutex);
        i.area = a;
    }
    GVariantBuilder clipboard;
    g_variant_builder_init(&clipboard, G_VARIANT_TYPE("a{sv}"));
    reply = i.call(kRemoteDesktopName, i.sessionPath, kRemoteDesktopSession, "EnableClipboard",
                   g_variant_new("(a{sv})", &clipboard), "()", &why);
    if (reply)
        g_variant_unref(reply);
    return true;
}

bool MutterRemote::alive() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->alive;
}

std::string MutterRemote::closedReason() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->closedReason;
}

StreamArea MutterRemote::area() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->area;
}

std::uint32_t MutterRemote::pipewireNode() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->node;
}

bool MutterRemote::keycode(unsigned evdevCode, bool down) {
    return d->notify("NotifyKeyboardKeycode", g_variant_new("(ub)", evdevCode, down));
}

bool MutterRemote::keysym(std::uint32_t keysym, bool down) {
    return d->notify("NotifyKeyboardKeysym", g_variant_new("(ub)", keysym, down));
}

bool MutterRemote::button(int evdevButton, bool down) {
    return d->notify("NotifyPointerButton", g_variant_new("(ib)", evdevButton, down));
}

bool MutterRemote::axisDiscrete(unsigned axis, int steps) {
    return d->notify("NotifyPointerAxisDiscrete", g_variant_new("(ui)", axis, steps));
}

bool MutterRemote::motionAbsolute(double x, double y) {
    const StreamArea a = area();
    return d->notify("NotifyPointerMotionAbsolute",
                     g_variant_new("(sdd)", d->streamPath.c_str(), x - a.x, y - a.y));
}

std::map<std::string, std::string> MutterRemote::readSelection() {
    std::map<std::string, std::string> saved;
    std::vector<std::string> types;
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        if (!d->alive || d->owner)
            return saved;
        types = d->currentTypes;
    }
    for (const std::string &type : types) {
        GUnixFDList *fds = nullptr;
        GVariant *reply =
            d->call(kRemoteDesktopName, d->sessionPath, kRemoteDesktopSession, "SelectionRead",
                    g_variant_new("(s)", type.c_str()), "(h)", nullptr, &fds);
        if (!reply) {
            if (fds)
                g_object_unref(fds);
            continue;
        }
        gint32 handle = -1;
        g_variant_get(reply, "(h)", &handle);
        g_variant_unref(reply);
        const int fd = fds ? g_unix_fd_list_get(fds, handle, nullptr) : -1;
        if (fds)
            g_object_unref(fds);
        if (fd < 0)
            continue;
        std::string data;
        if (readAll(fd, data) && !data.empty())
            saved[type] = std::move(data);
        close(fd);
    }
    return saved;
}

bool MutterRemote::offerSelection(const std::map<std::string, std::string> &data) {
    {
        std::lock_guard<std::mutex> lock(d->mutex);
        d->offer = data;
    }
    GVariantBuilder types;
    g_variant_builder_init(&types, G_VARIANT_TYPE("as"));
    for (const auto &entry : data)
        g_variant_builder_add(&types, "s", entry.first.c_str());
    GVariantBuilder options;
    g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&options, "{sv}", "mime-types", g_variant_builder_end(&types));
    return d->notify("SetSelection", g_variant_new("(a{sv})", &options));
}

std::uint64_t MutterRemote::transfersServed() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->served;
}

bool MutterRemote::waitTransfer(std::uint64_t served, int timeoutMs) {
    std::unique_lock<std::mutex> lock(d->mutex);
    return d->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this, served] {
        return d->served > served || !d->alive;
    }) && d->served > served;
}

void MutterRemote::waitTransfersQuiet(int quietMs, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto quiet = std::chrono::milliseconds(quietMs);
    std::unique_lock<std::mutex> lock(d->mutex);
    while (d->alive) {
        const auto now = std::chrono::steady_clock::now();
        const auto quietAt = d->lastTransfer + quiet;
        if (now >= quietAt || now >= until)
            return;
        d->changed.wait_until(lock, std::min(quietAt, until));
    }
}

bool MutterRemote::ownsSelection() const {
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->owner;
}

} // namespace platform::gnome
