// However the program ends while a run holds Ctrl and the left button, the
// X server holds nothing afterwards: termination signals (a closed terminal,
// Ctrl+\, Ctrl+C, kill), the server closing the GUI's connection (xkill), or
// the server closing the input layer's own connections. The program under
// test is this executable started again with --child: it wires a run, the
// input layer and the termination guard as the program does.

#include "run/run.h"
#include "run/terminationguard.h"
#include "support/systeminput.h"
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

namespace {

constexpr int kVkControl = 0x11;

int childMain(int argc, char **argv) {
    QApplication app(argc, argv);
    testsupport::SystemInput input;
    std::string error;
    if (!input.install(error)) {
        std::fprintf(stderr, "no input layer: %s\n", error.c_str());
        return 2;
    }
    installTerminationGuard();
    int rc = 0;
    {
        QWidget window; // a window of the GUI's connection, for xkill
        window.setGeometry(50, 50, 200, 100);
        window.show();
        auto *thread = new QThread(&window);
        auto *run = new Run;
        // Ctrl+F held for a minute, then the left button held for a minute.
        run->setParameters(0, 1, QStringLiteral("なし"),
                           {{"キー", "70,2", "60"}, {"クリック", "左", "60"}},
                           {{"即時"}, {"時間", "60"}}, QStringLiteral("p"));
        run->moveToThread(thread);
        QObject::connect(thread, &QThread::started, run, &Run::start);
        QObject::connect(run, &Run::finished, thread, &QThread::quit);
        QObject::connect(run, &Run::finished, run, &QObject::deleteLater);
        // The quit can end the loop before that deleteLater arrives.
        QObject::connect(thread, &QThread::finished, run, &QObject::deleteLater);
        thread->start();
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (platform::input().isDown(kVkControl) &&
                platform::input().isDown(platform::kVkLButton)) {
                poll.stop();
                std::printf("ready\n");
                std::fflush(stdout);
            }
        });
        poll.start(10);
        rc = QApplication::exec();
    }
    input.reset();
    return rc;
}

} // namespace

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
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
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
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QApplication app(argc, argv);
    X11TerminationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "x11_termination.moc"
