#include "gnomewindows.h"

#include "platform/utf8text.h"

#include <gio/gio.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace platform::gnome {
namespace {

constexpr char kName[] = "org.tarnwick.Shell";
constexpr char kPath[] = "/org/tarnwick/Shell";
constexpr int kTimeoutMs = 3000;

struct Listed {
    WindowInfo info;
    std::string program;
    bool focused = false;
};

std::u16string u16(const char *s) {
    return utf16FromUtf8(s, std::strlen(s));
}

} // namespace

std::string extensionHint() {
    return std::string("GNOME lets programs see windows only through a shell extension: enable "
                       "Tarnwick's with \"gnome-extensions enable ") +
           kExtensionUuid + "\" (then log out and in again)";
}

struct GnomeWindows::Impl {
    GDBusConnection *connection = nullptr;

    bool list(std::vector<Listed> &out) {
        out.clear();
        GError *error = nullptr;
        GVariant *reply =
            g_dbus_connection_call_sync(connection, kName, kPath, kName, "ListWindows", nullptr,
                                        G_VARIANT_TYPE("(a(tssussbiiii))"), G_DBUS_CALL_FLAGS_NONE,
                                        kTimeoutMs, nullptr, &error);
        if (!reply) {
            g_error_free(error);
            return false;
        }
        GVariantIter *iter = nullptr;
        g_variant_get(reply, "(a(tssussbiiii))", &iter);
        guint64 id = 0;
        const gchar *title = nullptr, *wmClass = nullptr, *gtkId = nullptr, *sandboxId = nullptr;
        guint32 pid = 0;
        gboolean focused = FALSE;
        gint32 x = 0, y = 0, w = 0, h = 0;
        while (g_variant_iter_next(iter, "(t&s&su&s&sbiiii)", &id, &title, &wmClass, &pid, &gtkId,
                                   &sandboxId, &focused, &x, &y, &w, &h)) {
            Listed l;
            l.info.id = id;
            l.info.title = u16(title);
            l.program = *wmClass ? wmClass : (*gtkId ? gtkId : sandboxId);
            l.info.program = u16(l.program.c_str());
            l.info.pid = pid;
            l.info.client = Rect{x, y, w, h};
            l.focused = focused;
            out.push_back(std::move(l));
        }
        g_variant_iter_free(iter);
        g_variant_unref(reply);
        return true;
    }
};

GnomeWindows::GnomeWindows() : d(std::make_unique<Impl>()) {}

GnomeWindows::~GnomeWindows() {
    if (d->connection)
        g_object_unref(d->connection);
}

std::unique_ptr<GnomeWindows> GnomeWindows::create(std::string &error) {
    GError *gerror = nullptr;
    GDBusConnection *connection = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &gerror);
    if (!connection) {
        error = std::string("no session bus: ") + gerror->message;
        g_error_free(gerror);
        return nullptr;
    }
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    std::unique_ptr<GnomeWindows> made(new GnomeWindows);
    made->d->connection = connection;
    std::vector<Listed> listed;
    if (!made->d->list(listed)) {
        error = extensionHint();
        return nullptr;
    }
    return made;
}

std::vector<WindowInfo> GnomeWindows::windows() {
    std::vector<Listed> listed;
    d->list(listed);
    std::vector<WindowInfo> out;
    for (Listed &l : listed)
        out.push_back(std::move(l.info));
    return out;
}

bool GnomeWindows::info(std::uint64_t id, WindowInfo &out) {
    std::vector<Listed> listed;
    d->list(listed);
    for (Listed &l : listed) {
        if (l.info.id == id) {
            out = std::move(l.info);
            return true;
        }
    }
    return false;
}

std::uint64_t GnomeWindows::activeWindow() {
    std::vector<Listed> listed;
    d->list(listed);
    for (const Listed &l : listed)
        if (l.focused)
            return l.info.id;
    return 0;
}

std::string GnomeWindows::focusedProgram() {
    std::vector<Listed> listed;
    d->list(listed);
    for (const Listed &l : listed)
        if (l.focused)
            return l.program;
    return {};
}

std::uint64_t GnomeWindows::windowAt(int x, int y) {
    std::vector<Listed> listed;
    d->list(listed);
    for (const Listed &l : listed) {
        const Rect &r = l.info.client;
        if (x >= r.x && y >= r.y && x < r.x + r.width && y < r.y + r.height)
            return l.info.id;
    }
    return 0;
}

bool GnomeWindows::activate(std::uint64_t id) {
    GError *error = nullptr;
    GVariant *reply = g_dbus_connection_call_sync(
        d->connection, kName, kPath, kName, "Activate", g_variant_new("(t)", guint64(id)),
        G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, kTimeoutMs, nullptr, &error);
    if (!reply) {
        g_error_free(error);
        return false;
    }
    gboolean found = FALSE;
    g_variant_get(reply, "(b)", &found);
    g_variant_unref(reply);
    if (!found)
        return false;
    // The shell moves the focus in its own time.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (std::chrono::steady_clock::now() < until) {
        if (activeWindow() == id)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return activeWindow() == id;
}

} // namespace platform::gnome
