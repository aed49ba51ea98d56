// tarnwick --stop: a run's stop server (app/runstopserver.h) ends the run
// when the command asks, through the tray icon's way; the command says
// when no run is there; the sway form of stop keys.

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

    // tarnwick --pause and --resume from another process pause and resume
    // the run; without a run they say so as --stop does.
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
        for (const char *option : {"--pause", "--pause", "--resume", "--stop"}) {
            QProcess p;
            p.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                    {QString::fromLatin1(option)});
            QTRY_VERIFY_WITH_TIMEOUT(p.state() == QProcess::NotRunning, 30000);
            QCOMPARE(p.exitCode(), commandline::kExitOk);
        }
        // The second pause changed nothing; the stop came after the resume.
        QTRY_COMPARE_WITH_TIMEOUT(states, (QList<bool>{true, false}), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 5000);
        QCOMPARE(RunStopServer::askRun(RunStopServer::Ask::Pause), commandline::kExitNoRun);
        QCOMPARE(RunStopServer::askRun(RunStopServer::Ask::Resume), commandline::kExitNoRun);
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
        QVERIFY(second.swayBinding().isEmpty()); // not under sway here
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

    void swayChords_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("chord");
        QTest::newRow("the default") << "83,3"
                                     << "Ctrl+Alt+s";
        QTest::newRow("shift and a function key") << "123,4"
                                                  << "Shift+F12";
        QTest::newRow("the windows key") << "13,8"
                                         << "Mod4+Return";
        QTest::newRow("every modifier") << "49,15"
                                        << "Ctrl+Alt+Shift+Mod4+1";
        QTest::newRow("none") << "なし"
                              << "";
        QTest::newRow("a mouse button") << "1,2"
                                        << "";
        QTest::newRow("unreadable") << "x"
                                    << "";
    }
    void swayChords() {
        QFETCH(QString, stored);
        QFETCH(QString, chord);
#if defined(_WIN32)
        chord.clear(); // no sway on Windows: never a binding
#endif
        QCOMPARE(RunStopServer::swayChord(stored), chord);
    }

    // The user's own binding of the run's keys is found, however written,
    // so that a run does not bind over it and then unbind it.
    void configBindings_data() {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("chord");
        QTest::addColumn<QString>("line"); // empty: the keys are free
        QTest::newRow("as the run writes it") << "font x\nbindsym Ctrl+Alt+s exec foo\n"
                                              << "Ctrl+Alt+s"
                                              << "bindsym Ctrl+Alt+s exec foo";
        QTest::newRow("aliases, order, case and flags")
            << "  bindsym --no-repeat --to-code Mod1+Control+S exec foo"
            << "Ctrl+Alt+s"
            << "bindsym --no-repeat --to-code Mod1+Control+S exec foo";
        QTest::newRow("a variable") << "set $mod Mod4\nbindsym $mod+Shift+e exit"
                                    << "Mod4+Shift+e"
                                    << "bindsym $mod+Shift+e exit";
        QTest::newRow("the longer variable first")
            << "set $alt Mod1\nset $altgr Mod5\nbindsym $altgr+x exec a"
            << "Alt+x"
            << "";
        QTest::newRow("inside a block") << "bindsym {\n  Ctrl+Alt+s exec foo\n}"
                                        << "Ctrl+Alt+s"
                                        << "Ctrl+Alt+s exec foo";
        QTest::newRow("a comment") << "# bindsym Ctrl+Alt+s exec foo"
                                   << "Ctrl+Alt+s"
                                   << "";
        QTest::newRow("other keys") << "bindsym Ctrl+s exec foo\nbindsym Ctrl+Alt+Shift+s exec b"
                                    << "Ctrl+Alt+s"
                                    << "";
        QTest::newRow("a single key") << "bindsym F12 exec foo"
                                      << "F12"
                                      << "bindsym F12 exec foo";
        QTest::newRow("no configuration") << ""
                                          << "Ctrl+Alt+s"
                                          << "";
    }
    void configBindings() {
        QFETCH(QString, config);
        QFETCH(QString, chord);
        QFETCH(QString, line);
        QCOMPARE(RunStopServer::configBinding(config, chord), line);
    }

#if !defined(_WIN32)
    // Bindings in the files the configuration includes count as the user's:
    // sway reads them where the include stands, expanded as a shell word.
    void includedConfiguration() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto write = [&](const QString &name, const QString &text) {
            QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
            QFile f(dir.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
        };
        const QString ran = dir.filePath(QStringLiteral("ran"));
        const QString main = QStringLiteral("font x\ninclude config.d/*\ninclude ~/sway/extra\n"
                                            "  include \"$(touch %1)\"\n")
                                 .arg(ran);
        QVERIFY(write(QStringLiteral("config"), main));
        QVERIFY(
            write(QStringLiteral("config.d/10-keys"),
                  QStringLiteral("bindsym Ctrl+Alt+s exec tarnwick --stop\ninclude ../nested")));
        QVERIFY(write(QStringLiteral("config.d/20-more"), QStringLiteral("bindsym F12 exec b")));
        // Its variable, and a way back to the main file, which is not read again.
        QVERIFY(write(QStringLiteral("nested"),
                      QStringLiteral("set $k Mod4\nbindsym $k+x exec c\ninclude config")));
        QVERIFY(write(QStringLiteral("home/sway/extra"), QStringLiteral("bindsym Ctrl+F1 exec d")));
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
        const QString all =
            RunStopServer::withIncludes(main, dir.filePath(QStringLiteral("config")));
        qputenv("HOME", home);

        QCOMPARE(RunStopServer::configBinding(all, QStringLiteral("Ctrl+Alt+s")),
                 QStringLiteral("bindsym Ctrl+Alt+s exec tarnwick --stop"));
        QCOMPARE(RunStopServer::configBinding(all, QStringLiteral("F12")),
                 QStringLiteral("bindsym F12 exec b"));
        QCOMPARE(RunStopServer::configBinding(all, QStringLiteral("Mod4+x")),
                 QStringLiteral("bindsym $k+x exec c"));
        QCOMPARE(RunStopServer::configBinding(all, QStringLiteral("Ctrl+F1")),
                 QStringLiteral("bindsym Ctrl+F1 exec d"));
        QCOMPARE(all.count(QStringLiteral("font x")), 1);
        QVERIFY(!QFile::exists(ran)); // read, never run
        // Without the main file's place, relative includes name nothing.
        QVERIFY(RunStopServer::configBinding(RunStopServer::withIncludes(main, QString()),
                                             QStringLiteral("F12"))
                    .isEmpty());
    }
#endif

private:
    QTemporaryDir runtime_;
};

QTEST_MAIN(RunStopServerTest)
#include "gui_runstopserver.moc"
