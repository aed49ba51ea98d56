#include "kdewindows.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QLoggingCategory>
#include <QMap>
#include <QTemporaryFile>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace platform::kde {
namespace {

Q_LOGGING_CATEGORY(lcKdeWindows, "tarnwick.platform")

const QString kPath = QStringLiteral("/org/tarnwick/KWinWindows");
const QString kInterface = QStringLiteral("org.tarnwick.KWinWindows");
constexpr auto kAnswerWait = std::chrono::seconds(3);
// KWin gives up on a call after 25 seconds, and the script's chain with it.
constexpr auto kIdleAfter = std::chrono::seconds(8);

// The script: SERVICE is the program's bus name. Each report is a line per
// window, topmost first: id, title, class, desktop file, active, pid, the
// frame's and the client area's x y width height, tab-separated.
const char kScript[] = R"JS(
var service = "SERVICE";
function clean(text) { return String(text).replace(/[\t\n\r]/g, " "); }
function windows() {
    // Topmost first: each window knows its place in the stacking order.
    var all = workspace.clientList().slice();
    all.sort(function (a, b) { return b.stackingOrder - a.stackingOrder; });
    var lines = [];
    for (var i = 0; i < all.length; ++i) {
        var c = all[i];
        if (!c || !(c.normalWindow || c.dialog))
            continue;
        var f = c.frameGeometry;
        var g = c.clientGeometry !== undefined ? c.clientGeometry : f;
        lines.push([c.internalId.toString(), clean(c.caption), clean(c.resourceClass),
                    clean(c.desktopFileName), workspace.activeClient === c ? 1 : 0, c.pid,
                    Math.round(f.x), Math.round(f.y), Math.round(f.width), Math.round(f.height),
                    Math.round(g.x), Math.round(g.y), Math.round(g.width), Math.round(g.height)]
                   .join("\t"));
    }
    return lines.join("\n");
}
function act(request) {
    if (request.indexOf("activate ") === 0) {
        var id = request.substring(9);
        var all = workspace.clientList();
        for (var i = 0; i < all.length; ++i)
            if (all[i].internalId.toString() === id) {
                if (all[i].minimized)
                    all[i].minimized = false;
                workspace.activeClient = all[i];
            }
    }
}
function next(report) {
    callDBus(service, "/org/tarnwick/KWinWindows", "org.tarnwick.KWinWindows", "next", report,
             function (request) {
                 if (request === "quit")
                     return;
                 act(String(request));
                 next(request === "idle" ? "" : windows());
             });
}
next("");
)JS";

struct Row {
    WindowInfo info;
    bool active = false;
    Rect frame;
};

} // namespace

struct KdeWindows::Impl : public QDBusVirtualObject {
    QThread thread;
    QString connectionName;
    QString plugin;
    QTemporaryFile script;
    std::thread idler;

    std::mutex mutex;
    std::condition_variable changed;
    std::mutex asking; // one question at a time
    bool hasPending = false;
    QDBusMessage pending; // the script's call, answered with the next request
    std::chrono::steady_clock::time_point pendingSince;
    std::uint64_t reports = 0;
    QString report;
    bool stopping = false;
    bool lost = false;
    std::map<QString, std::uint64_t> ids;
    std::uint64_t nextId = 1;

    QDBusConnection connection() const { return QDBusConnection(connectionName); }

    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &) override {
        if (message.member() != QLatin1String("next") || message.arguments().isEmpty())
            return false;
        message.setDelayedReply(true);
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping) {
            connection().send(message.createReply(QStringLiteral("quit")));
            return true;
        }
        pending = message;
        hasPending = true;
        pendingSince = std::chrono::steady_clock::now();
        report = message.arguments().at(0).toString();
        ++reports;
        changed.notify_all();
        return true;
    }

    // Hands the script `request`; with `report`, waits for what it says
    // after. Call with `asking` held.
    bool ask(const QString &request, QString *answer) {
        std::unique_lock<std::mutex> lock(mutex);
        if (!changed.wait_for(lock, kAnswerWait, [this] { return hasPending || stopping; }) ||
            stopping) {
            lost = !stopping;
            return false;
        }
        const std::uint64_t before = reports;
        hasPending = false;
        connection().send(pending.createReply(request));
        if (!answer)
            return true;
        if (!changed.wait_for(lock, kAnswerWait, [&] { return reports > before || stopping; }) ||
            stopping) {
            lost = !stopping;
            return false;
        }
        lost = false;
        *answer = report;
        return true;
    }

    // Keeps the script's call from timing out while nobody asks.
    void idle() {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping) {
            changed.wait_for(lock, std::chrono::seconds(1));
            if (stopping || !hasPending ||
                std::chrono::steady_clock::now() - pendingSince < kIdleAfter)
                continue;
            lock.unlock();
            {
                std::unique_lock<std::mutex> asked(asking, std::try_to_lock);
                if (asked.owns_lock())
                    ask(QStringLiteral("idle"), nullptr);
            }
            lock.lock();
        }
    }

    bool rows(std::vector<Row> &out, const QString &request = QStringLiteral("list")) {
        QString text;
        {
            std::lock_guard<std::mutex> asked(asking);
            if (!ask(request, &text))
                return false;
        }
        out.clear();
        std::lock_guard<std::mutex> lock(mutex);
        for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QLatin1Char('\t'));
            if (f.size() != 14)
                continue;
            Row row;
            auto it = ids.find(f.at(0));
            if (it == ids.end())
                it = ids.emplace(f.at(0), nextId++).first;
            row.info.id = it->second;
            row.info.title = f.at(1).toStdU16String();
            row.info.program = (f.at(3).isEmpty() ? f.at(2) : f.at(3)).toStdU16String();
            row.active = f.at(4) == QLatin1String("1");
            row.info.pid = f.at(5).toLongLong();
            row.frame = Rect{f.at(6).toInt(), f.at(7).toInt(), f.at(8).toInt(), f.at(9).toInt()};
            row.info.client =
                Rect{f.at(10).toInt(), f.at(11).toInt(), f.at(12).toInt(), f.at(13).toInt()};
            out.push_back(std::move(row));
        }
        return true;
    }
    QString uuidOf(std::uint64_t id) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto &entry : ids)
            if (entry.second == id)
                return entry.first;
        return {};
    }
};

KdeWindows::KdeWindows() : d_(std::make_unique<Impl>()) {}

std::unique_ptr<KdeWindows> KdeWindows::create(std::string &error) {
    if (!QCoreApplication::instance()) {
        error = "no application object for D-Bus";
        return nullptr;
    }
    std::unique_ptr<KdeWindows> w(new KdeWindows());
    Impl &d = *w->d_;
    d.connectionName = QStringLiteral("tarnwick-kwin-windows-%1").arg(quintptr(&d), 0, 16);
    QDBusConnection bus =
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, d.connectionName);
    if (!bus.isConnected()) {
        error = "the session bus cannot be reached: " + bus.lastError().message().toStdString();
        return nullptr;
    }
    // Its calls come on a thread of its own, never held up by the caller's.
    d.thread.setObjectName(QStringLiteral("KWin windows"));
    d.thread.start();
    d.moveToThread(&d.thread);
    if (!bus.registerVirtualObject(kPath, &d)) {
        error = "the window script's answers cannot be received";
        return nullptr;
    }
    d.script.setFileTemplate(QDir::tempPath() + QStringLiteral("/tarnwick-kwin-XXXXXX.js"));
    QByteArray text(kScript);
    text.replace("SERVICE", bus.baseService().toUtf8());
    if (!d.script.open() || d.script.write(text) != text.size() || !d.script.flush()) {
        error = "the window script cannot be written";
        return nullptr;
    }
    d.plugin = QStringLiteral("tarnwick-windows-%1").arg(QCoreApplication::applicationPid());
    const auto call = [&](const QString &path, const QString &iface, const QString &method,
                          const QVariantList &args) {
        QDBusMessage m =
            QDBusMessage::createMethodCall(QStringLiteral("org.kde.KWin"), path, iface, method);
        m.setArguments(args);
        return bus.call(m, QDBus::Block, 5000);
    };
    const QString scripting = QStringLiteral("org.kde.kwin.Scripting");
    // A script of ours left by a run that ended without unloading it.
    call(QStringLiteral("/Scripting"), scripting, QStringLiteral("unloadScript"), {d.plugin});
    const QDBusMessage loaded = call(QStringLiteral("/Scripting"), scripting,
                                     QStringLiteral("loadScript"), {d.script.fileName(), d.plugin});
    if (loaded.type() != QDBusMessage::ReplyMessage || loaded.arguments().isEmpty() ||
        loaded.arguments().at(0).toInt() < 0) {
        error = "KWin did not load the window script" +
                (loaded.type() == QDBusMessage::ErrorMessage
                     ? ": " + loaded.errorMessage().toStdString()
                     : std::string());
        return nullptr;
    }
    const int id = loaded.arguments().at(0).toInt();
    // The script's object: /Scripting/Script<id> on newer KWin, /<id> on 5.27.
    bool ran = false;
    for (const QString &path :
         {QStringLiteral("/Scripting/Script%1").arg(id), QStringLiteral("/%1").arg(id)})
        if (call(path, QStringLiteral("org.kde.kwin.Script"), QStringLiteral("run"), {}).type() ==
            QDBusMessage::ReplyMessage) {
            ran = true;
            break;
        }
    {
        std::unique_lock<std::mutex> lock(d.mutex);
        if (!ran || !d.changed.wait_for(lock, kAnswerWait, [&] { return d.hasPending; })) {
            lock.unlock();
            call(QStringLiteral("/Scripting"), scripting, QStringLiteral("unloadScript"),
                 {d.plugin});
            error =
                ran ? "KWin's window script did not answer" : "KWin did not run the window script";
            return nullptr;
        }
    }
    d.idler = std::thread([&d] { d.idle(); });
    qCInfo(lcKdeWindows) << "Windows through KWin's scripting";
    return w;
}

KdeWindows::~KdeWindows() {
    Impl &d = *d_;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        d.stopping = true;
        if (d.hasPending) {
            d.connection().send(d.pending.createReply(QStringLiteral("quit")));
            d.hasPending = false;
        }
        d.changed.notify_all();
    }
    if (d.idler.joinable())
        d.idler.join();
    QDBusConnection bus = d.connection();
    if (!d.plugin.isEmpty()) {
        QDBusMessage m = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin"), QStringLiteral("/Scripting"),
            QStringLiteral("org.kde.kwin.Scripting"), QStringLiteral("unloadScript"));
        m.setArguments({d.plugin});
        bus.call(m, QDBus::Block, 2000);
    }
    bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(d.connectionName);
    d.thread.quit();
    d.thread.wait();
}

std::vector<WindowInfo> KdeWindows::windows() {
    std::vector<Row> rows;
    std::vector<WindowInfo> out;
    if (d_->rows(rows))
        for (Row &r : rows)
            out.push_back(std::move(r.info));
    return out;
}

bool KdeWindows::info(std::uint64_t id, WindowInfo &out) {
    std::vector<Row> rows;
    if (!d_->rows(rows))
        return false;
    for (Row &r : rows)
        if (r.info.id == id) {
            out = std::move(r.info);
            return true;
        }
    return false;
}

std::uint64_t KdeWindows::activeWindow() {
    std::vector<Row> rows;
    if (d_->rows(rows))
        for (const Row &r : rows)
            if (r.active)
                return r.info.id;
    return 0;
}

std::uint64_t KdeWindows::windowAt(int x, int y) {
    std::vector<Row> rows;
    if (d_->rows(rows))
        for (const Row &r : rows)
            if (x >= r.frame.x && y >= r.frame.y && x < r.frame.x + r.frame.width &&
                y < r.frame.y + r.frame.height)
                return r.info.id;
    return 0;
}

bool KdeWindows::activate(std::uint64_t id) {
    const QString uuid = d_->uuidOf(id);
    if (uuid.isEmpty())
        return false;
    std::vector<Row> rows;
    if (!d_->rows(rows, QStringLiteral("activate ") + uuid))
        return false;
    for (const Row &r : rows)
        if (r.info.id == id)
            return r.active;
    return false;
}

std::string KdeWindows::activeProgram() {
    std::vector<Row> rows;
    if (d_->rows(rows))
        for (const Row &r : rows)
            if (r.active)
                return QString::fromStdU16String(r.info.program).toStdString();
    return {};
}

bool KdeWindows::answering() {
    std::lock_guard<std::mutex> lock(d_->mutex);
    return !d_->lost;
}

} // namespace platform::kde
