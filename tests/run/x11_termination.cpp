// However the program ends while a run holds Ctrl and the left button, the
// X server holds nothing afterwards: termination signals (a closed terminal,
// Ctrl+\, Ctrl+C, kill), the server closing the GUI's connection (xkill), or
// the server closing the input layer's own connections. The program under
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
    QTest::addColumn<bool>("killGui");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("SIGHUP (terminal closed)") << SIGHUP << false << 128 + SIGHUP;
    QTest::newRow("SIGQUIT") << SIGQUIT << false << 128 + SIGQUIT;
    QTest::newRow("SIGINT") << SIGINT << false << 128 + SIGINT;
    QTest::newRow("SIGTERM") << SIGTERM << false << 128 + SIGTERM;
    QTest::newRow("GUI connection killed (xkill)") << 0 << true << 1;
    QTest::newRow("input layer's connections killed") << 0 << false << 128 + SIGTERM;
}

void X11TerminationTest::nothingStaysHeld() {
    QFETCH(int, signalNumber);
    QFETCH(bool, killGui);
    QFETCH(int, exitCode);
    testsupport::XServer server;
    QVERIFY(server.ok());
    const int ctrl = server.keycodeFor("Control_L");

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(testsupport::kHoldingChildArg)});
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
        ::kill(static_cast<pid_t>(child.processId()), signalNumber);
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
    QVERIFY2(child.exitStatus() == QProcess::NormalExit, messages.constData()); // no crash
    QVERIFY2(child.exitCode() == exitCode, messages.constData());
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
