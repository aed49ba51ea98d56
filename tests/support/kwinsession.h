#pragma once

// The kde tests' session: the headless KWin that ./test.sh starts
// (scripts/kwin.sh) exports its socket and D-Bus address under names of its
// own, so that no other test finds it; useKwinSession() makes them this
// process's (and its children's) WAYLAND_DISPLAY and session bus. The
// windows the tests type into are the Wayland tests' (waylandtarget.h,
// waylandgtktarget.h), shown full screen, since KWin places a window where
// it likes and sway's tiles are not there to put it at the origin; and a Qt
// line edit that reports its text.

#include "support/screenpattern.h"
#include "support/waylandtarget.h"

#include <QApplication>
#include <QByteArray>
#include <QLineEdit>
#include <QPainter>
#include <QString>
#include <QStringList>

#include <cstdio>
#include <cstring>

namespace testsupport {

inline bool useKwinSession(QString &error) {
    const QByteArray display = qgetenv("TARNWICK_KWIN_DISPLAY");
    const QByteArray bus = qgetenv("TARNWICK_KWIN_DBUS");
    if (display.isEmpty() || bus.isEmpty()) {
        error = QStringLiteral("TARNWICK_KWIN_DISPLAY is not set: run through ./test.sh "
                               "(scripts/kwin.sh)");
        return false;
    }
    qputenv("WAYLAND_DISPLAY", display);
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
    qputenv("XDG_CURRENT_DESKTOP", "KDE");
    qputenv("XDG_SESSION_TYPE", "wayland");
    qunsetenv("SWAYSOCK");
    return true;
}

// Text as the GTK entry reports it: "text" and each UTF-16 unit in hex.
inline QString textLine(const QString &text) {
    QString line = QStringLiteral("text");
    for (QChar c : text)
        line += QLatin1Char(' ') + QString::number(c.unicode(), 16);
    return line;
}

inline QString textOfLine(const QString &line) {
    QString text;
    const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (int i = 1; i < parts.size(); ++i)
        text += QChar(char16_t(parts.at(i).toUShort(nullptr, 16)));
    return text;
}

inline constexpr char kKwinKeysArg[] = "--kwin-keys"; // the key and click reporter
inline constexpr char kKwinEditArg[] = "--kwin-edit"; // a line edit saying its text
// The key and click reporter showing screenpattern's picture at kPictureAt.
inline constexpr char kKwinPictureArg[] = "--kwin-picture";
inline constexpr int kPictureX = 300;
inline constexpr int kPictureY = 180;
// A titled key reporter that also says "focus in" and "focus out" (argv[2]: the title).
inline constexpr char kKwinTitledArg[] = "--kwin-titled";

class PictureWindow : public WaylandTargetWindow {
protected:
    void paintEvent(QPaintEvent *e) override {
        WaylandTargetWindow::paintEvent(e);
        QPainter(this).drawImage(kPictureX, kPictureY, screenpattern::picture());
    }
};

class KwinEdit : public QLineEdit {
public:
    KwinEdit() {
        connect(this, &QLineEdit::textChanged, this, [](const QString &text) {
            std::fputs((textLine(text) + QLatin1Char('\n')).toUtf8().constData(), stdout);
            std::fflush(stdout);
        });
    }

protected:
    // Ready once full screen with the focus.
    void focusInEvent(QFocusEvent *e) override {
        QLineEdit::focusInEvent(e);
        sayIfReady();
    }
    void resizeEvent(QResizeEvent *e) override {
        QLineEdit::resizeEvent(e);
        sayIfReady();
    }

private:
    void sayIfReady() {
        if (!ready_ && hasFocus() && width() > 400) {
            ready_ = true;
            std::fputs("ready\n", stdout);
            std::fflush(stdout);
        }
    }
    bool ready_ = false;
};

// The child's main when argv[1] is one of the arguments above; -1 when not.
inline int kwinTargetMain(int argc, char **argv) {
    if (argc < 2)
        return -1;
    const bool keys = std::strcmp(argv[1], kKwinKeysArg) == 0;
    const bool edit = std::strcmp(argv[1], kKwinEditArg) == 0;
    const bool titled = std::strcmp(argv[1], kKwinTitledArg) == 0 && argc > 2;
    const bool picture = std::strcmp(argv[1], kKwinPictureArg) == 0;
    if (!keys && !edit && !titled && !picture)
        return -1;
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kWaylandTargetAppId));
    if (picture) {
        PictureWindow window;
        window.resize(WaylandTargetWindow::kInitialWidth, WaylandTargetWindow::kInitialHeight);
        window.showFullScreen();
        return QApplication::exec();
    }
    if (titled) {
        TitledTargetWindow window;
        window.setWindowTitle(QString::fromUtf8(argv[2]));
        window.resize(WaylandTargetWindow::kInitialWidth, WaylandTargetWindow::kInitialHeight);
        window.showFullScreen();
        return QApplication::exec();
    }
    if (keys) {
        WaylandTargetWindow window;
        window.resize(WaylandTargetWindow::kInitialWidth, WaylandTargetWindow::kInitialHeight);
        window.showFullScreen();
        return QApplication::exec();
    }
    KwinEdit window;
    window.resize(200, 40);
    window.showFullScreen();
    return QApplication::exec();
}

// A target of the test's own executable (kKwinKeysArg or kKwinEditArg).
class KwinTarget : public ReportingProcess {
public:
    bool start(const char *kind, QString &error, const QString &title = {}) {
        QStringList arguments{QString::fromLatin1(kind)};
        if (!title.isEmpty())
            arguments << title;
        return ReportingProcess::start(
            QCoreApplication::applicationFilePath(), arguments, waylandTargetEnvironment(),
            QStringLiteral("the window never got the keyboard focus"), error);
    }
    qint64 pid() const { return process_.processId(); }
    // The edit's text once it is `want` (or the last it said, after the wait).
    QString waitForText(const QString &want, int timeoutMs = kTimeoutMs) {
        const QString line = textLine(want);
        if (!waitFor([&](const QString &l) { return l == line; }, timeoutMs).isEmpty())
            return want;
        QString last;
        for (const QString &l : lines())
            if (l.startsWith(QLatin1String("text")))
                last = textOfLine(l);
        return last;
    }
};

} // namespace testsupport
