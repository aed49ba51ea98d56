#pragma once

// A Wayland window of the tests' own, in a child process (the tests' own Qt
// runs offscreen): the calling executable started again with
// kWaylandTargetArg under QT_QPA_PLATFORM=wayland. It reports on standard
// output, a line per event, what the compositor delivered to it:
//   ready                         once it has the keyboard focus and its tile
//   press KEY MODS TEXT           a key press (Qt key, modifiers, text as hex UTF-16)
//   release KEY MODS              a key release (auto-repeat left out)
//   down BUTTON X Y / up BUTTON X Y   a button, window coordinates
//   move X Y                      the pointer moved over the window
// WaylandTarget (in the test) starts it and reads those lines. A titled
// target (titledTargetMain, TitledTarget) also says "focus in" and
// "focus out", for the window access's tests.

#include "platform/inputlayer.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPalette>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <cmath>
#include <cstdio>

namespace testsupport {

inline constexpr char kWaylandTargetArg[] = "--wayland-target";
// The window's app id, which sway's commands select it by.
inline constexpr char kWaylandTargetAppId[] = "tarnwick-wayland-target";

class WaylandTargetWindow : public QWidget {
public:
    static constexpr int kInitialWidth = 200;
    static constexpr int kInitialHeight = 150;
    static constexpr int kRed = 10;
    static constexpr int kGreen = 200;
    static constexpr int kBlue = 30;

    WaylandTargetWindow() {
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(true);
        // One colour all over, for the screen reader's tests.
        QPalette p = palette();
        p.setColor(QPalette::Window, QColor(kRed, kGreen, kBlue));
        setPalette(p);
        setAutoFillBackground(true);
        setAttribute(Qt::WA_InputMethodEnabled, false);
    }

protected:
    static void say(const QString &line) {
        std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
        std::fflush(stdout);
    }
    // Ready once it has the focus and sway has given it its tile (it starts
    // smaller than any tile).
    void focusInEvent(QFocusEvent *) override { sayIfReady(); }
    void resizeEvent(QResizeEvent *) override { sayIfReady(); }
    void sayIfReady() {
        if (!ready_ && hasFocus() && size() != QSize(kInitialWidth, kInitialHeight)) {
            ready_ = true;
            say(QStringLiteral("ready"));
        }
    }
    void keyPressEvent(QKeyEvent *e) override {
        if (e->isAutoRepeat())
            return;
        QString hex;
        for (QChar c : e->text())
            hex += QString::number(c.unicode(), 16).rightJustified(4, QLatin1Char('0'));
        say(QStringLiteral("press %1 %2 %3")
                .arg(e->key())
                .arg(int(e->modifiers()))
                .arg(hex.isEmpty() ? QStringLiteral("-") : hex));
    }
    void keyReleaseEvent(QKeyEvent *e) override {
        if (e->isAutoRepeat())
            return;
        say(QStringLiteral("release %1 %2").arg(e->key()).arg(int(e->modifiers())));
    }
    void mousePressEvent(QMouseEvent *e) override { button(QStringLiteral("down"), e); }
    void mouseReleaseEvent(QMouseEvent *e) override { button(QStringLiteral("up"), e); }
    void mouseMoveEvent(QMouseEvent *e) override {
        say(QStringLiteral("move %1 %2")
                .arg(std::lround(e->position().x()))
                .arg(std::lround(e->position().y())));
    }

private:
    void button(const QString &what, QMouseEvent *e) {
        say(QStringLiteral("%1 %2 %3 %4")
                .arg(what)
                .arg(int(e->button()))
                .arg(std::lround(e->position().x()))
                .arg(std::lround(e->position().y())));
    }
    bool ready_ = false;
};

inline int waylandTargetMain(int argc, char **argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kWaylandTargetAppId));
    WaylandTargetWindow window;
    window.resize(WaylandTargetWindow::kInitialWidth, WaylandTargetWindow::kInitialHeight);
    window.show();
    return QApplication::exec();
}

// A target with a title of its own (the argument after kWaylandTitleArg),
// which also says "focus in" and "focus out" as the compositor moves the
// keyboard to it and away: for the window access's tests.
inline constexpr char kWaylandTitleArg[] = "--title";

class TitledTargetWindow : public WaylandTargetWindow {
protected:
    void focusInEvent(QFocusEvent *e) override {
        say(QStringLiteral("focus in"));
        WaylandTargetWindow::focusInEvent(e);
    }
    void focusOutEvent(QFocusEvent *) override { say(QStringLiteral("focus out")); }
};

// argv: the program, kWaylandTargetArg, kWaylandTitleArg, the title.
inline int titledTargetMain(int argc, char **argv) {
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kWaylandTargetAppId));
    TitledTargetWindow window;
    window.setWindowTitle(QString::fromUtf8(argv[3]));
    window.resize(TitledTargetWindow::kInitialWidth, TitledTargetWindow::kInitialHeight);
    window.show();
    return QApplication::exec();
}

// The environment the target runs in: Wayland, no decorations of its own
// (so its window starts where sway puts the tile).
inline QProcessEnvironment waylandTargetEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    env.insert(QStringLiteral("QT_WAYLAND_DISABLE_WINDOWDECORATION"), QStringLiteral("1"));
    env.remove(QStringLiteral("QT_IM_MODULE"));
    return env;
}

// A target window (or any child process that reports a line per event on
// its standard output), the lines kept as they come and waited for
// generously.
class ReportingProcess {
public:
    static constexpr int kTimeoutMs = 30000;

    ~ReportingProcess() { close(); }
    // Starts `program` and waits for its "ready"; on failure `error` says
    // why (`notReady` when it never said so).
    bool start(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment, const QString &notReady, QString &error) {
        // Started again, it must not take the last process's "ready" for its own.
        if (process_.bytesAvailable() > 0)
            process_.readAllStandardOutput();
        lines_.clear();
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(program, arguments);
        if (!process_.waitForStarted(kTimeoutMs)) {
            error = process_.errorString();
            return false;
        }
        if (!waitForLine(QStringLiteral("ready"))) {
            error = notReady;
            return false;
        }
        return true;
    }
    void close() {
        process_.kill();
        process_.waitForFinished(kTimeoutMs);
    }
    // Every line that arrived (since the last clear).
    const QStringList &lines() {
        while (process_.canReadLine())
            lines_ << QString::fromUtf8(process_.readLine()).trimmed();
        return lines_;
    }
    QString dump() { return lines().join(QLatin1Char('\n')); }
    // Waits until a line from `from` on satisfies `pred`; returns it, or an
    // empty string.
    template <typename Pred> QString waitFor(Pred pred, int timeoutMs = kTimeoutMs, int from = 0) {
        QElapsedTimer t;
        t.start();
        int seen = from;
        while (t.elapsed() < timeoutMs) {
            const QStringList &all = lines();
            for (; seen < all.size(); ++seen)
                if (pred(all.at(seen)))
                    return all.at(seen);
            if (process_.state() != QProcess::Running)
                return {};
            process_.waitForReadyRead(100);
        }
        return {};
    }
    bool waitForLine(const QString &line) {
        return !waitFor([&](const QString &l) { return l == line; }).isEmpty();
    }
    void clear() {
        lines();
        lines_.clear();
    }

protected:
    QProcess process_;

private:
    QStringList lines_;
};

// A titled target (titledTargetMain) started from the test's own executable.
class TitledTarget : public ReportingProcess {
public:
    bool start(const QString &title, QString &error) {
        if (!ReportingProcess::start(QCoreApplication::applicationFilePath(),
                                     {QString::fromLatin1(kWaylandTargetArg),
                                      QString::fromLatin1(kWaylandTitleArg), title},
                                     waylandTargetEnvironment(),
                                     QStringLiteral("the window never got the keyboard focus"),
                                     error))
            return false;
        taken_ = lines().indexOf(QStringLiteral("ready")) + 1;
        return true;
    }
    // The lines that arrived since the last call (or the last line waited for).
    QStringList readLines() {
        const QStringList got = lines().mid(taken_);
        taken_ += got.size();
        return got;
    }
    // Waits for `line`; the lines up to it are taken away.
    bool waitForLine(const QString &line) {
        if (waitFor([&](const QString &l) { return l == line; }, kTimeoutMs, taken_).isEmpty())
            return false;
        taken_ = lines().indexOf(line, taken_) + 1;
        return true;
    }

private:
    int taken_ = 0;
};

// The text of the key presses among a target's lines ("press KEY MODS
// HEXTEXT", `fields` words in all).
inline QString typedText(const QStringList &lines, int fields = 4) {
    QString text;
    for (const QString &l : lines) {
        const QStringList parts = l.split(QLatin1Char(' '));
        if (parts.size() != fields || parts.at(0) != QLatin1String("press") ||
            parts.at(3) == QLatin1String("-"))
            continue;
        const QString &hex = parts.at(3);
        for (int i = 0; i + 4 <= hex.size(); i += 4)
            text += QChar(char16_t(hex.mid(i, 4).toUShort(nullptr, 16)));
    }
    return text;
}

// The window fills its output's tile once sway has configured it and it has
// drawn itself anew: the pointer at the tile's far corner then reaches it.
inline bool fillsTile(platform::InputLayer &layer, ReportingProcess &target, int originX, int width,
                      int height) {
    const QString corner = QStringLiteral("move %1 %2").arg(width - 1).arg(height - 1);
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ReportingProcess::kTimeoutMs) {
        layer.setCursorPos(originX + 1, 1);
        layer.setCursorPos(originX + width - 1, height - 1);
        if (!target.waitFor([&](const QString &l) { return l == corner; }, 500).isEmpty()) {
            target.clear();
            return true;
        }
    }
    return false;
}

// The clicks a target window is given on the test's two outputs (sway.sh:
// 1024x768, and 1280x960 at scale 2 beside it): the corners, the middle.
inline void addClickRows() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("originX"); // the output's place in the layout
    QTest::addColumn<bool>("left");
    QTest::addColumn<int>("x"); // in the window
    QTest::addColumn<int>("y");
    QTest::newRow("left near the origin") << "HEADLESS-1" << 0 << true << 3 << 5;
    QTest::newRow("left in the middle") << "HEADLESS-1" << 0 << true << 517 << 389;
    QTest::newRow("right at the far corner") << "HEADLESS-1" << 0 << false << 1023 << 767;
    QTest::newRow("scale 2: left") << "HEADLESS-2" << 1024 << true << 101 << 57;
    QTest::newRow("scale 2: right at the far corner")
        << "HEADLESS-2" << 1024 << false << 639 << 479;
}

// A command to the compositor through its IPC socket (SWAYSOCK).
inline bool swaymsg(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral("swaymsg"), args);
    return p.waitForFinished(ReportingProcess::kTimeoutMs) &&
           p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace testsupport
