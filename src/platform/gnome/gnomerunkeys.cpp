#include "gnomerunkeys.h"

#include "gnomewindows.h"
#include "platform/wayland/waylandkeymap.h"

// GIO before Qt, whose "signals" keyword GIO's headers use as a name.
#include <gio/gio.h>

#include <QCoreApplication>
#include <QMetaObject>

#include <map>
#include <mutex>
#include <thread>

namespace platform::gnome {
namespace {

constexpr char kName[] = "org.tarnwick.Shell";
constexpr char kPath[] = "/org/tarnwick/Shell";
constexpr char kDesktop[] = "GNOME";
constexpr int kTimeoutMs = 3000;

class GnomeRunKeys final : public RunKeys {
public:
    ~GnomeRunKeys() override {
        std::map<int, Binding> left;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            left.swap(bindings_);
        }
        for (const auto &entry : left)
            ungrab(entry.second.action);
        if (subscription_)
            g_dbus_connection_signal_unsubscribe(connection_, subscription_);
        if (loop_) {
            g_main_loop_quit(loop_);
            thread_.join();
            g_main_loop_unref(loop_);
        }
        if (connection_) {
            g_dbus_connection_close_sync(connection_, nullptr, nullptr);
            g_object_unref(connection_);
        }
        if (context_) {
            while (g_main_context_iteration(context_, FALSE)) {
            }
            g_main_context_unref(context_);
        }
    }

    bool open() {
        GError *error = nullptr;
        gchar *address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        if (!address) {
            g_error_free(error);
            return false;
        }
        connection_ = g_dbus_connection_new_for_address_sync(
            address,
            GDBusConnectionFlags(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                 G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_free(address);
        if (!connection_) {
            g_error_free(error);
            return false;
        }
        g_dbus_connection_set_exit_on_close(connection_, FALSE);
        if (!reachable())
            return false;
        context_ = g_main_context_new();
        loop_ = g_main_loop_new(context_, FALSE);
        g_main_context_push_thread_default(context_);
        subscription_ = g_dbus_connection_signal_subscribe(connection_, kName, kName, "Accelerator",
                                                           kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
                                                           onAccelerator, this, nullptr);
        g_main_context_pop_thread_default(context_);
        thread_ = std::thread([this] {
            g_main_context_push_thread_default(context_);
            g_main_loop_run(loop_);
            g_main_context_pop_thread_default(context_);
        });
        return true;
    }

    RunKeyAnswer ask(const RunKeyRequest &request) override {
        RunKeyAnswer answer;
        answer.desktop = kDesktop;
        answer.keys = acceleratorFor(request.chord);
        if (answer.keys.empty())
            answer.way = RunKeyWay::Unnamed;
        else
            answer.way = reachable() ? RunKeyWay::Bound : RunKeyWay::Refused;
        return answer;
    }

    RunKeyAnswer bind(int id, const RunKeyRequest &request) override {
        unbind(id);
        RunKeyAnswer answer = ask(request);
        if (answer.way != RunKeyWay::Bound)
            return answer;
        GError *error = nullptr;
        GVariant *reply = g_dbus_connection_call_sync(
            connection_, kName, kPath, kName, "GrabAccelerator",
            g_variant_new("(s)", answer.keys.c_str()), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, &error);
        if (!reply) {
            g_error_free(error);
            answer.way = RunKeyWay::Refused;
            return answer;
        }
        guint32 action = 0;
        g_variant_get(reply, "(u)", &action);
        g_variant_unref(reply);
        if (action == 0) {
            // The shell or another program has the keys already.
            answer.way = RunKeyWay::Taken;
            return answer;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        bindings_[id] = Binding{action, request.callback};
        return answer;
    }

    void unbind(int id) override {
        guint32 action = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = bindings_.find(id);
            if (it == bindings_.end())
                return;
            action = it->second.action;
            bindings_.erase(it);
        }
        ungrab(action);
    }

private:
    struct Binding {
        guint32 action = 0;
        std::function<void()> callback;
    };

    bool reachable() {
        GError *error = nullptr;
        GVariant *reply = g_dbus_connection_call_sync(
            connection_, kName, kPath, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", kName, "Version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
            kTimeoutMs, nullptr, &error);
        if (!reply) {
            g_error_free(error);
            return false;
        }
        g_variant_unref(reply);
        return true;
    }

    void ungrab(guint32 action) {
        GVariant *reply = g_dbus_connection_call_sync(
            connection_, kName, kPath, kName, "UngrabAccelerator", g_variant_new("(u)", action),
            G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, nullptr);
        if (reply)
            g_variant_unref(reply);
    }

    static void onAccelerator(GDBusConnection *, const gchar *, const gchar *, const gchar *,
                              const gchar *, GVariant *parameters, gpointer data) {
        auto *self = static_cast<GnomeRunKeys *>(data);
        guint32 action = 0;
        g_variant_get(parameters, "(u)", &action);
        std::function<void()> callback;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            for (const auto &entry : self->bindings_)
                if (entry.second.action == action)
                    callback = entry.second.callback;
        }
        if (!callback)
            return;
        // The callback belongs on the GUI thread.
        if (QCoreApplication *app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, callback, Qt::QueuedConnection);
        else
            callback();
    }

    GDBusConnection *connection_ = nullptr;
    GMainContext *context_ = nullptr;
    GMainLoop *loop_ = nullptr;
    std::thread thread_;
    guint subscription_ = 0;
    std::mutex mutex_;
    std::map<int, Binding> bindings_;
};

} // namespace

std::string acceleratorFor(const Chord &chord) {
    const char *key = chord.vk ? wayland::keysymNameForVk(chord.vk) : nullptr;
    if (!key)
        return {};
    std::string out;
    if (chord.modifiers & kModControl)
        out += "<Control>";
    if (chord.modifiers & kModAlt)
        out += "<Alt>";
    if (chord.modifiers & kModShift)
        out += "<Shift>";
    if (chord.modifiers & kModWin)
        out += "<Super>";
    return out + key;
}

std::unique_ptr<RunKeys> createGnomeRunKeys() {
    auto keys = std::make_unique<GnomeRunKeys>();
    if (!keys->open())
        return nullptr;
    return keys;
}

} // namespace platform::gnome
