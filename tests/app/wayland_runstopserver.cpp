// Under sway, a run binds its stop keys to `tarnwick --stop` through sway's
// IPC for its length, and takes the binding away at its end.

#include "app/runstopserver.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

bool swaymsg(const QStringList &args) {
    QProcess p;
    p.start(QStringLiteral("swaymsg"), QStringList{QStringLiteral("--")} + args);
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

class SwayStopBindingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("SWAYSOCK"),
                 "SWAYSOCK is not set: run through ./test.sh (scripts/sway.sh)");
        QVERIFY(runtime_.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    }

    void bindsForTheRunsLength_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("chord");
        QTest::newRow("the default") << "83,3"
                                     << "Ctrl+Alt+s";
        QTest::newRow("shift+F12") << "123,4"
                                   << "Shift+F12";
    }
    void bindsForTheRunsLength() {
        QFETCH(QString, stored);
        QFETCH(QString, chord);
        {
            RunStopServer server(stored);
            QVERIFY(server.listening());
            QCOMPARE(server.swayBinding(), chord);
        }
        // Gone with the run: there is nothing left to unbind.
        QVERIFY(!swaymsg({QStringLiteral("unbindsym"), chord}));
        {
            RunStopServer server(stored);
            // Present while the run goes: sway can take it away.
            QVERIFY(swaymsg({QStringLiteral("unbindsym"), chord}));
        }
    }

    void noStopKeysNoBinding() {
        RunStopServer server(QStringLiteral("なし"));
        QVERIFY(server.listening());
        QVERIFY(server.swayBinding().isEmpty());
    }

private:
    QTemporaryDir runtime_;
};

QTEST_MAIN(SwayStopBindingTest)
#include "wayland_runstopserver.moc"
