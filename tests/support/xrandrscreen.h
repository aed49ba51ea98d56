#pragma once

// Changes the X screen's size through RandR for a test (xrandr, a mode of
// its own: Xvfb takes any size up to the one it started with).

#include <QProcess>
#include <QString>
#include <QStringList>

namespace testsupport {

// The screen's size through RandR (a mode of our own on Xvfb); the size it
// had comes back when this goes.
class ScreenSize {
public:
    ScreenSize() {
        QProcess query;
        query.start(QStringLiteral("xrandr"), {});
        if (!query.waitForFinished(10000) || query.exitCode() != 0)
            return;
        for (const QString &line :
             QString::fromLocal8Bit(query.readAllStandardOutput()).split('\n')) {
            if (line.contains(QStringLiteral(" connected")))
                output_ = line.section(' ', 0, 0);
            else if (line.contains('*') && mode_.isEmpty())
                mode_ = line.simplified().section(' ', 0, 0);
        }
    }
    ~ScreenSize() {
        if (changed_)
            xrandr({"--output", output_, "--mode", mode_});
    }
    // False where the server will not take the size.
    bool set(int width, int height) {
        if (output_.isEmpty() || mode_.isEmpty())
            return false;
        const QString name = QStringLiteral("tarnwick_%1x%2").arg(width).arg(height);
        const QString w = QString::number(width), h = QString::number(height);
        xrandr({"--newmode", name, "10", w, QString::number(width + 1), QString::number(width + 2),
                QString::number(width + 3), h, QString::number(height + 1),
                QString::number(height + 2), QString::number(height + 3)});
        xrandr({"--addmode", output_, name});
        changed_ = true;
        return xrandr({"--output", output_, "--mode", name});
    }

private:
    static bool xrandr(const QStringList &arguments) {
        return QProcess::execute(QStringLiteral("xrandr"), arguments) == 0;
    }
    QString output_, mode_;
    bool changed_ = false;
};

} // namespace testsupport
