#pragma once

// The headless GNOME Shell that ./test.sh starts for the gnome tests
// (scripts/gnome.sh): its Wayland socket and session bus, which a test makes
// its own (and its children's) before it makes the GNOME backend, and a
// GtkEntry window on it that says what text it holds.

#include "support/waylandgtktarget.h"
#include "support/waylandtarget.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

// Points this process at the GNOME of scripts/gnome.sh; false with the
// reason where ./test.sh did not start one.
inline bool useGnomeSession(QString &error) {
    const QByteArray display = qgetenv("GNOME_WAYLAND_DISPLAY");
    const QByteArray bus = qgetenv("GNOME_SESSION_BUS");
    if (display.isEmpty() || bus.isEmpty()) {
        error = QStringLiteral("GNOME_WAYLAND_DISPLAY and GNOME_SESSION_BUS are not set: run "
                               "through ./test.sh (scripts/gnome.sh)");
        return false;
    }
    qputenv("WAYLAND_DISPLAY", display);
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    // Its PipeWire, whose socket is in its runtime folder beside the display's.
    const int slash = display.lastIndexOf('/');
    if (slash > 0)
        qputenv("PIPEWIRE_RUNTIME_DIR", display.left(slash));
    qputenv("XDG_SESSION_TYPE", "wayland");
    // GNOME's windows float at their own size (the GTK window's "ready").
    qputenv("TARNWICK_GTK_FLOATING", "1");
    return true;
}

// The GTK window of `kind` ("events" or "entry") on GNOME. An entry says
// "ready" only once cleared and focused, so it is cleared at the start.
class GnomeGtkTarget : public ReportingProcess {
public:
    // `title`: the window's, where not the default.
    bool start(const QString &kind, QString &error, const QString &title = QString()) {
        QProcessEnvironment env = waylandGtkEnvironment();
        if (!title.isEmpty())
            env.insert(QStringLiteral("TARNWICK_GTK_TITLE"), title);
        if (kind != QLatin1String("entry"))
            return ReportingProcess::start(
                QString::fromLatin1(kWaylandGtkPython), waylandGtkArguments(kind), env,
                QStringLiteral("the GTK window never got the focus"), error);
        process_.setProcessEnvironment(env);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QString::fromLatin1(kWaylandGtkPython), waylandGtkArguments(kind));
        if (!process_.waitForStarted(kTimeoutMs)) {
            error = process_.errorString();
            return false;
        }
        process_.write("clear\n");
        if (!waitForLine(QStringLiteral("ready"))) {
            error = QStringLiteral("the GTK entry never got the focus");
            return false;
        }
        return true;
    }
    // The compositor's view, as the window's own wl_keyboard and wl_pointer
    // heard it: "wl held KEYS BUTTONS".
    QString held() {
        const int from = static_cast<int>(lines().size());
        process_.write("held\n");
        return waitFor([](const QString &l) { return l.startsWith(QLatin1String("wl held ")); },
                       kTimeoutMs, from);
    }
    ~GnomeGtkTarget() {
        process_.closeWriteChannel();
        process_.waitForFinished(5000);
    }
    // The entry's text once it has `length` UTF-16 units (or the time is up).
    QString text(int length) {
        waitFor([&](const QString &l) { return l == QStringLiteral("n %1").arg(length); });
        const int from = static_cast<int>(lines().size());
        process_.write("dump\n");
        const QString line = waitFor(
            [](const QString &l) { return l.startsWith(QLatin1String("text")); }, kTimeoutMs, from);
        QString out;
        for (const QString &unit : line.mid(5).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            out.append(QChar(static_cast<char16_t>(unit.toUInt(nullptr, 16))));
        return out;
    }
};

} // namespace testsupport
