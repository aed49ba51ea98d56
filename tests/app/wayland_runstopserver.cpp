// Under sway, a run binds its stop keys to `tarnwick --stop` through sway's
// IPC for its length (the binding itself: platform/wayland_swaykeys.cpp),
// and takes the binding away at its end; pressing the keys then ends an
// endless run of the real program.

#include "core/commandline.h"
#include "support/waylandtarget.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using testsupport::swaymsg;

class SwayStopBindingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("SWAYSOCK"),
                 "SWAYSOCK is not set: run through ./test.sh (scripts/sway.sh)");
        QVERIFY(runtime_.isValid());
        qputenv("XDG_RUNTIME_DIR", runtime_.path().toLocal8Bit());
    }

    // The keys pressed on a keyboard sway sees (wtype's virtual one) run the
    // binding, whose `tarnwick --stop` ends the run. sway runs it as its own
    // user with its own runtime folder, so the run is that user's too, as on
    // a desktop where both are the one user.
    void bindingEndsAnEndlessRun() {
        const QFileInfo display(qEnvironmentVariable("WAYLAND_DISPLAY"));
        QVERIFY(display.exists());
        QTemporaryDir home;
        QVERIFY(home.isValid());
        const QString project = home.filePath(QStringLiteral("endless.cmdat"));
        QFile file(project);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(R"({"list_command": [["なし"]], "list_condition": [["時間", "0.1"]]})");
        file.close();
        for (const QString &path : {home.path(), project})
            QCOMPARE(
                ::chown(QFile::encodeName(path).constData(), display.ownerId(), display.groupId()),
                0);
        // The built program where that user may start it, else a copy of it
        // in the folder made for them (the build folder may be closed to
        // others, or the temporary one mounted without exec).
        QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick");
        if (QProcess::execute(QStringLiteral("runuser"),
                              {"-u", display.owner(), "--", "test", "-x", program}) != 0) {
            const QString copy = home.filePath(QStringLiteral("tarnwick"));
            QVERIFY(QFile::copy(program, copy));
            QCOMPARE(
                ::chown(QFile::encodeName(copy).constData(), display.ownerId(), display.groupId()),
                0);
            program = copy;
        }

        const auto env = QProcessEnvironment::systemEnvironment();
        QProcess run;
        run.start(QStringLiteral("runuser"),
                  {"-u", display.owner(), "--", "env", "-i", "PATH=/usr/bin:/bin",
                   "HOME=" + home.path(), "XDG_CONFIG_HOME=" + home.path(),
                   "XDG_RUNTIME_DIR=" + display.absolutePath(),
                   "WAYLAND_DISPLAY=" + display.absoluteFilePath(),
                   "SWAYSOCK=" + env.value("SWAYSOCK"), "QT_QPA_PLATFORM=wayland",
                   // Leaks are the other tests' business: the suppressions
                   // file may be out of that user's reach.
                   "ASAN_OPTIONS=detect_leaks=0", program, "--run", project, "--endless",
                   "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QByteArray errors;
        const auto said = [&](const char *text) {
            errors += run.readAllStandardError();
            return errors.contains(text);
        };
        // Said once the binding is in place.
        QVERIFY2(QTest::qWaitFor([&] { return said("sway key binding (Ctrl+Alt+s)"); }, 30000),
                 errors.constData());
        QTest::qWait(300);
        QVERIFY(run.state() == QProcess::Running); // endless: only the keys end it

        QProcess press;
        press.start(QStringLiteral("wtype"),
                    {"-M", "ctrl", "-M", "alt", "-k", "s", "-m", "alt", "-m", "ctrl"});
        QVERIFY(press.waitForFinished(30000));
        QCOMPARE(press.exitCode(), 0);
        QVERIFY2(run.waitForFinished(30000), errors.constData());
        errors += run.readAllStandardError();
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() == commandline::kExitStopped, errors.constData());
        // And the binding went with the run.
        QVERIFY(!swaymsg({QStringLiteral("unbindsym"), QStringLiteral("Ctrl+Alt+s")}));
    }

private:
    QTemporaryDir runtime_;
};

QTEST_MAIN(SwayStopBindingTest)
#include "wayland_runstopserver.moc"
