// tarnwick --stop: a run's stop server (app/runstopserver.h) ends the run
// when the command asks, through the tray icon's way; the command says
// when no run is there; the stop keys bound through the backend's run keys
// for the server's length.

#include "app/runstopserver.h"
#include "app/runtrayicon.h"
#include "core/commandline.h"
#include "run/run.h"
#include "run/runstart.h"
#include "support/recordinginput.h"

#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

Q_DECLARE_METATYPE(platform::RunKeyWay)

namespace {

const QStringList kMarker{QStringLiteral("マウスポインター"), QStringLiteral("7"),
                          QStringLiteral("7")};

// `tarnwick --stop` as the user runs it; its exit status.
int runStopCommand() {
    QProcess p;
    p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
            {QStringLiteral("--stop")});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

} // namespace

class RunStopServerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A socket name of this test's own, so that other tests' runs (which
        // listen too) neither take it nor get stopped: the runtime folder
        // names it on Linux, the user name on Windows.
        QVERIFY(runtime_.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
        qputenv("USERNAME",
                "runstopservertest-" + QByteArray::number(QCoreApplication::applicationPid()));
    }

    void anEndlessRunEndsOnTheCommand() {
        testsupport::RecordingInput rec;
        QWidget window;
        auto *run = new Run;
        QVERIFY(run->prepare(RunSettings{0, kRepeatUntilStopped, QStringLiteral("なし")}, {kMarker},
                             {{QStringLiteral("時間"), QStringLiteral("0.01")}},
                             QStringLiteral("p")));
        QPointer<RunTrayIcon> tray = new RunTrayIcon(run, QStringLiteral("p"), &window);
        bool ended = false;
        bool stopped = false;
        connect(run, &Run::ended, &window, [&](bool s) {
            ended = true;
            stopped = s;
        });
        QPointer<QThread> thread = startRunThread(run, &window);
        QTRY_VERIFY_WITH_TIMEOUT(rec.eventTexts().size() >= 2, 5000);
        // The command blocks while the server answers from this event loop.
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                {QStringLiteral("--stop")});
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
        QCOMPARE(p.exitCode(), commandline::kExitOk);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 5000);
        QVERIFY(stopped);
        QTRY_VERIFY_WITH_TIMEOUT(tray.isNull(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
        // The run is gone: nothing answers any more.
        QCOMPARE(runStopCommand(), commandline::kExitNoRun);
    }

    // tarnwick --pause, --resume and --toggle-pause from another process
    // pause and resume the run; without a run they say so as --stop does.
    void pauseAndResumeFromAnotherProcess() {
        testsupport::RecordingInput rec;
        QWidget window;
        auto *run = new Run;
        QVERIFY(run->prepare(RunSettings{0, kRepeatUntilStopped, QStringLiteral("なし")}, {kMarker},
                             {{QStringLiteral("時間"), QStringLiteral("0.01")}},
                             QStringLiteral("p")));
        QPointer<RunTrayIcon> tray = new RunTrayIcon(run, QStringLiteral("p"), &window);
        QList<bool> states;
        connect(run, &Run::pausedChanged, &window, [&](bool paused) { states << paused; });
        QPointer<QThread> thread = startRunThread(run, &window);
        QTRY_VERIFY_WITH_TIMEOUT(rec.eventTexts().size() >= 2, 5000);
        for (const char *option :
             {"--pause", "--pause", "--resume", "--toggle-pause", "--toggle-pause", "--stop"}) {
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                    {QString::fromLatin1(option)});
            QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
            QCOMPARE(p.exitCode(), commandline::kExitOk);
        }
        // The second pause changed nothing; each toggle turned it over; the
        // stop came last.
        QTRY_COMPARE_WITH_TIMEOUT(states, (QList<bool>{true, false, true, false}), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
        QCOMPARE(RunStopServer::askRun(RunStopServer::Ask::Pause), commandline::kExitNoRun);
        QCOMPARE(RunStopServer::askRun(RunStopServer::Ask::Resume), commandline::kExitNoRun);
        QCOMPARE(RunStopServer::askRun(RunStopServer::Ask::TogglePause), commandline::kExitNoRun);
    }

    void withoutARunTheCommandSaysSo() {
        QCOMPARE(runStopCommand(), commandline::kExitNoRun);
        QCOMPARE(RunStopServer::askRunToStop(), commandline::kExitNoRun);
    }

    void theFirstRunKeepsTheName() {
        RunStopServer first(QStringLiteral("83,3"));
        QVERIFY(first.listening());
        RunStopServer second(QStringLiteral("83,3"));
        QVERIFY(!second.listening());
        QVERIFY(second.keyBinding().isEmpty()); // the recording backend hears the keys
        QSignalSpy firstAsked(&first, &RunStopServer::stopRequested);
        QProcess p;
        p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                {QStringLiteral("--stop")});
        QTRY_COMPARE_WITH_TIMEOUT(firstAsked.size(), 1, 30000);
        // The answer goes out from this event loop (on Windows, too), so it
        // keeps running while the command ends.
        QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
        QCOMPARE(p.exitCode(), commandline::kExitOk);
    }

    // The stored stop and pause keys as the run keys are asked for them.
    void stopKeys_data() {
        QTest::addColumn<bool>("pause");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<unsigned>("modifiers");
        QTest::addColumn<int>("vk"); // 0: no keys
        QTest::newRow("the default")
            << false << "83,3" << (platform::kModControl | platform::kModAlt) << 0x53;
        QTest::newRow("shift and a function key")
            << false << "123,4" << platform::kModShift << 0x7B;
        QTest::newRow("every modifier")
            << false << "49,15"
            << (platform::kModControl | platform::kModAlt | platform::kModShift | platform::kModWin)
            << 0x31;
        QTest::newRow("none") << false << "なし" << 0u << 0;
        QTest::newRow("a mouse button") << false << "1,2" << 0u << 0;
        QTest::newRow("unreadable") << false << "x" << 0u << 0;
        QTest::newRow("pause keys")
            << true << "80,3" << (platform::kModControl | platform::kModAlt) << 0x50;
        QTest::newRow("no pause keys") << true << "なし" << 0u << 0;
    }
    void stopKeys() {
        QFETCH(bool, pause);
        QFETCH(QString, stored);
        QFETCH(unsigned, modifiers);
        QFETCH(int, vk);
        const platform::RunKeyRequest request =
            pause ? RunStopServer::pauseKeys(stored) : RunStopServer::stopKeys(stored);
        QCOMPARE(request.chord.vk, vk);
        if (vk)
            QCOMPARE(request.chord.modifiers, modifiers);
        // The keys run this program's --stop, or --toggle-pause.
        QCOMPARE(request.command.size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(request.command[0]),
                 QCoreApplication::applicationFilePath());
        QCOMPARE(QString::fromStdString(request.command[1]),
                 pause ? QStringLiteral("--toggle-pause") : QStringLiteral("--stop"));
    }

    // Where the desktop binds keys, the server binds the stop keys for its
    // length, and only the server that listens: a second run's would end
    // the first's binding with it. Keys the desktop leaves to the user stay
    // unbound. The pause keys are bound the same way, but only where the
    // run does not hear them itself (both would toggle on one press).
    void bindsTheStopKeysForItsLength_data() {
        QTest::addColumn<platform::RunKeyWay>("way");
        QTest::addColumn<QString>("binding");
        QTest::newRow("bound") << platform::RunKeyWay::Bound << "Ctrl+Alt+s";
        QTest::newRow("the user's own") << platform::RunKeyWay::Taken << "";
        QTest::newRow("heard") << platform::RunKeyWay::Heard << "";
    }
    void bindsTheStopKeysForItsLength() {
        QFETCH(platform::RunKeyWay, way);
        QFETCH(QString, binding);
        testsupport::RecordingInput rec;
        rec.runKeys()->setAnswer({way, "desk", "Ctrl+Alt+s"});
        {
            RunStopServer first(QStringLiteral("83,3"), QStringLiteral("80,3"));
            QVERIFY(first.listening());
            QCOMPARE(first.keyBinding(), binding);
            const auto bound = rec.runKeys()->bound();
            QCOMPARE(bound.size(), std::size_t(binding.isEmpty() ? 0 : 2));
            if (!binding.isEmpty()) {
                const platform::RunKeyRequest &request = bound.begin()->second;
                QCOMPARE(request.chord.vk, 0x53);
                QCOMPARE(request.chord.modifiers, platform::kModControl | platform::kModAlt);
                // A desktop that signals the program stops the run as the command does.
                QSignalSpy asked(&first, &RunStopServer::stopRequested);
                QVERIFY(request.callback);
                request.callback();
                QCOMPARE(asked.size(), 1);
                const platform::RunKeyRequest &pause = std::next(bound.begin())->second;
                QCOMPARE(pause.chord.vk, 0x50);
                QCOMPARE(QString::fromStdString(pause.command.at(1)),
                         QStringLiteral("--toggle-pause"));
                QSignalSpy toggled(&first, &RunStopServer::togglePauseRequested);
                pause.callback();
                QCOMPARE(toggled.size(), 1);
            }
            {
                RunStopServer second(QStringLiteral("83,3"));
                QVERIFY(!second.listening());
                QVERIFY(second.keyBinding().isEmpty());
            }
            QCOMPARE(rec.runKeys()->bound().size(), bound.size());
        }
        QVERIFY(rec.runKeys()->bound().empty());
    }

private:
    QTemporaryDir runtime_;
};

QTEST_MAIN(RunStopServerTest)
#include "gui_runstopserver.moc"
