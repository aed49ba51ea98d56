// However the program ends while a run holds Ctrl and the left button, the
// X server holds nothing afterwards: termination signals (a closed terminal,
// Ctrl+\, Ctrl+C, kill; twice; while the GUI thread is blocked), the server
// closing the GUI's connection (xkill), or the server closing the input
// layer's own connections. A signal ends the process by that signal. The program under
// test is this executable started again (support/holdingchild.h).

#include "support/holdingchild.h"
#include "support/xserver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

class X11TerminationTest : public QObject {
    Q_OBJECT
private slots:
    void nothingStaysHeld_data();
    void nothingStaysHeld();
};

void X11TerminationTest::nothingStaysHeld_data() {
    QTest::addColumn<int>("signalNumber"); // 0: a connection is killed instead
    QTest::addColumn<int>("signalCount");
    QTest::addColumn<bool>("blockGui");
    QTest::addColumn<bool>("killGui");
    QTest::addColumn<int>("endedBy"); // the signal that ended the child, 0: it exited
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGHUP (terminal closed)") << SIGHUP << 1 << false << false << SIGHUP << 0;
    QTest::newRow("SIGQUIT") << SIGQUIT << 1 << false << false << SIGQUIT << 0;
    QTest::newRow("SIGINT") << SIGINT << 1 << false << false << SIGINT << 0;
    QTest::newRow("SIGTERM") << SIGTERM << 1 << false << false << SIGTERM << 0;
    // Never status 1, which says the stop keys ended the run.
    QTest::newRow("two quick SIGINTs") << SIGINT << 2 << false << false << SIGINT << 0;
    QTest::newRow("SIGTERM, GUI thread blocked") << SIGTERM << 1 << true << false << SIGTERM << 0;
    QTest::newRow("SIGINT, GUI thread blocked") << SIGINT << 1 << true << false << SIGINT << 0;
    QTest::newRow("GUI connection killed (xkill)") << 0 << 0 << false << true << 0 << 1;
    QTest::newRow("input layer's connections killed") << 0 << 0 << false << false << SIGTERM << 0;
}

void X11TerminationTest::nothingStaysHeld() {
    QFETCH(int, signalNumber);
    QFETCH(int, signalCount);
    QFETCH(bool, blockGui);
    QFETCH(bool, killGui);
    QFETCH(int, endedBy);
    QFETCH(int, exitCode);
    testsupport::XServer server;
    QVERIFY(server.ok());
    const int ctrl = server.keycodeFor("Control_L");

    QProcess child;
    QStringList arguments{QString::fromLatin1(testsupport::kHoldingChildArg)};
    if (blockGui)
        arguments << QString::fromLatin1(testsupport::kBlockGuiArg);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    QVERIFY(child.waitForStarted());
    QByteArray out;
    QTRY_VERIFY_WITH_TIMEOUT((out += child.readAllStandardOutput()).contains("ready") ||
                                 child.state() != QProcess::Running,
                             15000);
    QVERIFY2(child.state() == QProcess::Running, child.readAllStandardError().constData());
    auto held = [&] {
        const std::vector<int> keys = server.pressedKeycodes();
        return std::find(keys.begin(), keys.end(), ctrl) != keys.end() || server.buttonDown(1);
    };
    QVERIFY(held());

    QElapsedTimer sinceEnd;
    if (signalNumber) {
        for (int i = 0; i < signalCount; ++i) {
            if (i > 0)
                QThread::msleep(100); // the second while the first is being handled
            ::kill(static_cast<pid_t>(child.processId()), signalNumber);
        }
    } else {
        QVERIFY(server.killClientsOf(static_cast<long>(child.processId()), killGui) > 0);
    }
    sinceEnd.start();
    while (held() && sinceEnd.elapsed() < 10000)
        QThread::usleep(200);
    const qint64 releasedAfter = sinceEnd.elapsed();
    const bool finished = child.waitForFinished(15000);
    const QByteArray messages = child.readAllStandardError();
    QVERIFY2(finished, messages.constData());
    QVERIFY2(!held(), "a key or button stayed down");
    // Ended by the signal itself (for a shell: 128 + the number), or exited.
    QVERIFY2(child.exitStatus() == (endedBy ? QProcess::CrashExit : QProcess::NormalExit),
             messages.constData());
    QVERIFY2(child.exitCode() == (endedBy ? endedBy : exitCode), messages.constData());
    QVERIFY(!messages.contains("AddressSanitizer") && !messages.contains("runtime error"));
    QVERIFY(server.xtestRepeats());
    qInfo("released %lld ms after the end began", static_cast<long long>(releasedAfter));
}

int main(int argc, char **argv) {
    if (argc > 1 && std::strcmp(argv[1], testsupport::kHoldingChildArg) == 0)
        return testsupport::holdingChildMain(argc, argv);
    QApplication app(argc, argv);
    X11TerminationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "x11_termination.moc"
