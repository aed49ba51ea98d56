// The installed program's command line on a real X server: `tarnwick --run`
// types into a window of this test and exits 0; a project it cannot read or
// play exits 2 with the reason and types nothing; no display exits 3, no input
// backend 4; the stop keys end an endless run with 1 and a termination signal
// by that signal, nothing left down, even while the program is blocked.

#include "platform/inputlayer.h"
#include "support/systeminput.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

QString programPath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick");
}

QString projectClickingAndTyping(const QWidget *target, const QString &text) {
    const QPoint p = target->mapToGlobal(target->rect().center());
    return QStringLiteral(R"({"list_command": [["マウスポインター", "%1", "%2"],
                                 ["クリック", "左", "0.05"], ["入力", "%3", "0.3"]],
        "list_condition": [["時間", "0.1"], ["終わるまで待つ", "0.1"], ["終わるまで待つ", "0"]]})")
        .arg(p.x())
        .arg(p.y())
        .arg(text);
}

} // namespace

class X11CommandLineTest : public QObject {
    Q_OBJECT

    testsupport::SystemInput layer;
    QTemporaryDir scratch;

    bool write(const QString &name, const QByteArray &content) {
        QFile file(scratch.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }

    // Started with a settings folder of its own, so no saved settings apply.
    // `changes` sets variables ("NAME=value") or removes them ("NAME").
    void start(QProcess &process, const QStringList &arguments,
               const QStringList &changes = QStringList()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
        // The messages follow the locale: English unless a test asks.
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        env.remove(QStringLiteral("LANGUAGE"));
        for (const QString &change : changes) {
            if (change.contains(QLatin1Char('=')))
                env.insert(change.section(QLatin1Char('='), 0, 0),
                           change.section(QLatin1Char('='), 1));
            else
                env.remove(change);
        }
        process.setProcessEnvironment(env);
        // Arguments given to the shell run the program through it.
        process.start(arguments.value(0) == QLatin1String("-c") ? QStringLiteral("/bin/sh")
                                                                : programPath(),
                      arguments);
    }

    // Waits with the event loop running, so this test's window takes the keys.
    static bool finishes(QProcess &process, int timeoutMs) {
        return QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; },
                               timeoutMs);
    }

    bool anythingDown() {
        for (int vk = 1; vk < 255; ++vk) {
            if (layer->isDown(vk))
                return true;
        }
        return false;
    }

    // A window with a text field that should only receive what a run types.
    struct Target {
        QWidget window;
        QPlainTextEdit edit{&window};
        Target() {
            window.setGeometry(150, 150, 420, 240);
            edit.setGeometry(20, 20, 380, 200);
            window.show();
        }
    };

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QVERIFY2(QFile::exists(programPath()), qPrintable(programPath()));
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
    }
    void cleanupTestCase() { layer.reset(); }

    void runTypesIntoAWindowAndExitsZero() {
        Target target;
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        QVERIFY(
            write("type.cmdat", projectClickingAndTyping(&target.edit, "Tarnwick 実行").toUtf8()));
        QProcess process;
        start(process, {"--run", scratch.filePath("type.cmdat"), "--start-delay", "0", "--stop",
                        "ctrl+alt+s"});
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(target.edit.toPlainText(), QStringLiteral("Tarnwick 実行"), 3000);
        QVERIFY(!anythingDown());
    }

    // A project that can be read only once: standard input, /dev/stdin and a
    // named pipe. The run reads it once and plays it.
    void projectFromAPipeIsPlayed_data() {
        QTest::addColumn<QString>("source");
        QTest::newRow("dash") << "-";
        QTest::newRow("/dev/stdin") << "/dev/stdin";
        QTest::newRow("fifo") << "fifo";
    }
    void projectFromAPipeIsPlayed() {
        QFETCH(QString, source);
        Target target;
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        const QByteArray project = projectClickingAndTyping(&target.edit, "piped").toUtf8();
        QString file = source;
        if (source == QLatin1String("fifo")) {
            file = scratch.filePath(QStringLiteral("project.fifo"));
            QFile::remove(file);
            QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {file}), 0);
        }
        QProcess process;
        start(process, {"--run", file, "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QVERIFY(process.waitForStarted());
        if (source == QLatin1String("fifo")) {
            QFile fifo(file); // blocks until the program opens it for reading
            QVERIFY(fifo.open(QIODevice::WriteOnly));
            QCOMPARE(fifo.write(project), project.size());
        } else {
            QCOMPARE(process.write(project), project.size());
            process.closeWriteChannel();
        }
        QVERIFY(finishes(process, 20000));
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(process.exitCode() == 0, qPrintable(errors));
        QTRY_COMPARE_WITH_TIMEOUT(target.edit.toPlainText(), QStringLiteral("piped"), 3000);
        QVERIFY(!anythingDown());
    }

    // A file name that is not UTF-8 (Latin-1 "café"), as a shell passes it.
    void projectNamedInAnotherEncodingIsPlayed() {
        Target target;
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        const QByteArray project = projectClickingAndTyping(&target.edit, "latin").toUtf8();
        const QByteArray name = QFile::encodeName(scratch.path()) + "/caf\xe9.cmdat";
        std::FILE *file = std::fopen(name.constData(), "wb");
        QVERIFY(file);
        QCOMPARE(std::fwrite(project.constData(), 1, size_t(project.size()), file),
                 size_t(project.size()));
        std::fclose(file);
        QProcess process;
        process.setWorkingDirectory(scratch.path());
        start(process, {"-c",
                        "exec \"$0\" --run \"$(printf 'caf\\351.cmdat')\" --start-delay 0 "
                        "--stop ctrl+alt+s",
                        programPath()});
        QVERIFY(finishes(process, 20000));
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(process.exitCode() == 0, qPrintable(errors));
        QTRY_COMPARE_WITH_TIMEOUT(target.edit.toPlainText(), QStringLiteral("latin"), 3000);
        ::unlink(name.constData());
    }

    // Every reason a project is not played, in the locale's language
    // (Japanese for ja, English otherwise), naming the file where the reason
    // does not.
    void unreadableProjectExitsTwoAndTypesNothing_data() {
        QTest::addColumn<QString>("name");       // "-": standard input, closed
        QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("reason"); // %1: the file's path
        const QString ja = QStringLiteral("ja_JP.UTF-8"), en = QStringLiteral("C.UTF-8");
        const QByteArray uneven =
            R"({"list_command": [["入力", "x", "0"]], "list_condition": [["即時"], ["即時"]]})";
        // Once played with no action; typing would follow on page 1 and 3.
        const QByteArray newer = R"({"list_command": [["入力", "x", "0.1"], ["ジャンプ", "1"],
                                                      ["入力", "y", "0.1"]],
                                     "list_condition": [["即時"], ["即時"], ["即時"]]})";
        const QByteArray noPicture =
            R"({"list_command": [["入力", "x", "0.1"]], "list_condition":
                [["画像", "", "含む", "", "画面", "0", "0", "0", "0", "90", "1", ""]]})";
        QTest::newRow("missing, ja") << "missing.cmdat" << QByteArray() << ja
                                     << "ファイルを開けませんでした：%1（ファイルがありません）";
        QTest::newRow("missing, en") << "missing.cmdat" << QByteArray() << en
                                     << "Could not open the file: %1 (there is no such file)";
        QTest::newRow("folder, ja") << "folder.cmdat" << QByteArray("<folder>") << ja
                                    << "ファイルを開けませんでした：%1（フォルダです）";
        QTest::newRow("folder, en") << "folder.cmdat" << QByteArray("<folder>") << en
                                    << "Could not open the file: %1 (it is a folder)";
        QTest::newRow("no permission, ja")
            << "secret.cmdat" << QByteArray("<unreadable>") << ja
            << "ファイルを開けませんでした：%1（読み取りの権限がありません）";
        QTest::newRow("no permission, en")
            << "secret.cmdat" << QByteArray("<unreadable>") << en
            << "Could not open the file: %1 (you have no permission to read it)";
        QTest::newRow("input closed, ja")
            << "-" << QByteArray() << ja
            << "ファイルを開けませんでした：-（標準入力が閉じています）";
        QTest::newRow("input closed, en")
            << "-" << QByteArray() << en << "Could not open the file: - (standard input is closed)";
        QTest::newRow("broken json, ja") << "broken.cmdat" << QByteArray(R"({"list_command": [)")
                                         << ja << "%1：JSON 解析エラー: ";
        QTest::newRow("broken json, en") << "broken.cmdat" << QByteArray(R"({"list_command": [)")
                                         << en << "%1: JSON parse error: ";
        QTest::newRow("lists of different length, ja")
            << "uneven.cmdat" << uneven << ja << "%1：ファイルの形式が正しくありません。";
        QTest::newRow("lists of different length, en")
            << "uneven.cmdat" << uneven << en << "%1: The file is not in the project format.";
        QTest::newRow("kind of a newer version, ja")
            << "newer.cmdat" << newer << ja
            << "%1：ページ 2 のコマンド「ジャンプ」はこのバージョンでは使えません。";
        QTest::newRow("kind of a newer version, en")
            << "newer.cmdat" << newer << en
            << "%1: Page 2: the command \"ジャンプ\" cannot be used in this version.";
        QTest::newRow("image without a picture, ja")
            << "nopicture.cmdat" << noPicture << ja
            << "1ページ目の条件「画像」には探す画像がありません。\n実行は開始されませんでした。";
        QTest::newRow("image without a picture, en")
            << "nopicture.cmdat" << noPicture << en
            << "page 1: the condition \"画像\" has no image to look for; the run was not started";
        // Typing would follow on page 1: the flow is refused before it.
        const QByteArray twoNames =
            R"({"list_command": [["入力", "x", "0.1"], ["なし"]], "list_condition":
                [["即時"], ["即時"]], "list_name": ["a", "a"]})";
        const QByteArray noTarget =
            R"({"list_command": [["入力", "x", "0.1"], ["ページへ", "end", "毎回"]],
                "list_condition": [["即時"], ["即時"]]})";
        const QByteArray callsNothing =
            R"({"list_command": [["入力", "x", "0.1"], ["プロジェクト呼出", "gone.cmdat"]],
                "list_condition": [["即時"], ["即時"]]})";
        QTest::newRow("two pages with one name, en")
            << "twonames.cmdat" << twoNames << en
            << "%1: Page 2: another page has the name \"a\" too.";
        QTest::newRow("a jump to no page, ja")
            << "notarget.cmdat" << noTarget << ja
            << "%1：ページ 2 の飛び先「end」という名前のページはありません。";
        QTest::newRow("a called project that is missing, en")
            << "calls.cmdat" << callsNothing << en
            << "Page 2: the called project cannot be played: ";
    }
    void unreadableProjectExitsTwoAndTypesNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, locale);
        QFETCH(QString, reason);
        const QString path = name == QLatin1String("-") ? name : scratch.filePath(name);
        QStringList command = {"--run", path, "--start-delay", "0"};
        if (content == "<folder>") {
            QVERIFY(QDir().mkpath(path));
        } else if (content == "<unreadable>") {
            QVERIFY(write(name, "{}"));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            // Root reads every file: the program runs as nobody then.
            if (::geteuid() == 0) {
                QVERIFY(QFile::setPermissions(scratch.path(),
                                              QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                  QFileDevice::ExeOwner | QFileDevice::ExeOther));
                command = QStringList{"-c",
                                      "exec setpriv --reuid=65534 --regid=65534 "
                                      "--clear-groups \"$0\" \"$@\"",
                                      programPath()} +
                          command;
            }
        } else if (name == QLatin1String("-")) {
            command = QStringList{"-c", "exec \"$0\" \"$@\" <&-", programPath()} + command;
        } else if (!content.isEmpty()) {
            QVERIFY(write(name, content));
        }
        Target target;
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        target.window.activateWindow();
        target.edit.setFocus();
        QProcess process;
        start(process, command, {QStringLiteral("LC_ALL=") + locale});
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitCode(), 2);
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        const QString expected = QStringLiteral("tarnwick: ") +
                                 (reason.contains(QLatin1String("%1")) ? reason.arg(path) : reason);
        QVERIFY2(errors.startsWith(expected),
                 qPrintable(errors + QStringLiteral("\nexpected: ") + expected));
        QTest::qWait(300);
        QCOMPARE(target.edit.toPlainText(), QString());
    }

    // A source without end is refused at the cap instead of filling memory.
    void endlessInputIsRefused() {
        QProcess process;
        start(process, {"--run", "/dev/zero", "--start-delay", "0"}, {"LC_ALL=ja_JP.UTF-8"});
        QVERIFY(finishes(process, 60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 2);
        QVERIFY2(
            errors.contains(QStringLiteral("ファイルが大きすぎます（64 MiB まで）：/dev/zero")),
            qPrintable(errors));
    }

    void badArgumentsExitTwo_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("unknown option") << QStringList{"--frobnicate"};
        QTest::newRow("endless with a count")
            << QStringList{"--run", "x.cmdat", "--endless", "--repeat", "2"};
        QTest::newRow("bad stop keys") << QStringList{"--run", "x.cmdat", "--stop", "ctrl+"};
    }
    void badArgumentsExitTwo() {
        QFETCH(QStringList, arguments);
        QProcess process;
        start(process, arguments);
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("tarnwick: "));
    }

    // A display system without an input backend: the run cannot play, and
    // says which system lacks it rather than failing silently.
    void displaySystemWithoutBackendIsRefused_data() {
        QTest::addColumn<QString>("platform");
        QTest::newRow("offscreen") << "offscreen";
        QTest::newRow("minimal") << "minimal";
    }
    void displaySystemWithoutBackendIsRefused() {
        QFETCH(QString, platform);
        QVERIFY(write("typex.cmdat",
                      R"({"list_command": [["入力", "x", "0"]], "list_condition": [["即時"]]})"));
        QProcess process;
        start(process, {"-platform", platform, "--run", scratch.filePath("typex.cmdat"),
                        "--start-delay", "0"});
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitCode(), 4); // its own status, not a bad argument
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("input functions are not available")) &&
                     errors.contains(QStringLiteral("\"%1\"").arg(platform)),
                 qPrintable(errors));
        QVERIFY(!anythingDown());
    }

    // A cron line that forgets DISPLAY, or names a display that is not
    // there: one line and status 3, never Qt's abort (134, a core file).
    void noDisplayExitsThree_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("reason");
        const QStringList cron{"DISPLAY", "QT_QPA_PLATFORM", "WAYLAND_DISPLAY", "XDG_SESSION_TYPE"};
        QTest::newRow("no DISPLAY")
            << QStringList{"--run", "typex.cmdat"} << cron << "DISPLAY is not set";
        QTest::newRow("empty DISPLAY") << QStringList{"--run", "typex.cmdat"}
                                       << QStringList{"DISPLAY="} << "DISPLAY is not set";
        QTest::newRow("display not there")
            << QStringList{"--run", "typex.cmdat"} << QStringList{"DISPLAY=:4711"}
            << "cannot connect to \":4711\"";
        QTest::newRow("editor, display not there")
            << QStringList{} << QStringList{"DISPLAY=:4711"} << "cannot connect to \":4711\"";
        QTest::newRow("platform that cannot start")
            << QStringList{"-platform", "nosuchplatform", "--run", "typex.cmdat"} << QStringList{}
            << "Qt's platform plugin could not start";
    }
    void noDisplayExitsThree() {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QString, reason);
        QVERIFY(write("typex.cmdat",
                      R"({"list_command": [["入力", "x", "0"]], "list_condition": [["即時"]]})"));
        arguments.replaceInStrings(QStringLiteral("typex.cmdat"),
                                   scratch.filePath(QStringLiteral("typex.cmdat")));
        QProcess process;
        start(process, arguments, environment);
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 3);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("tarnwick: no display could be opened: ") + reason),
                 qPrintable(errors));
    }

    // A run prints only what went wrong unless asked for more; cron mails
    // whatever it prints.
    void runIsQuietUnlessVerbose_data() {
        QTest::addColumn<bool>("verbose");
        QTest::newRow("quiet") << false;
        QTest::newRow("verbose") << true;
    }
    void runIsQuietUnlessVerbose() {
        QFETCH(bool, verbose);
        QVERIFY(write("nothing.cmdat",
                      R"({"list_command": [["なし"]], "list_condition": [["即時"]]})"));
        QStringList arguments{"--run", scratch.filePath("nothing.cmdat"), "--start-delay", "0"};
        if (verbose)
            arguments << "--verbose";
        QProcess process;
        start(process, arguments, {"QT_LOGGING_RULES"});
        QVERIFY(finishes(process, 20000));
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(process.exitCode() == 0, qPrintable(errors));
        QVERIFY2(errors.contains(QStringLiteral("tarnwick.config: ")) == verbose,
                 qPrintable(errors));
    }

    // Xvfb has no system tray: nothing could stop the run, so it never starts.
    // Stop keys no keyboard has are refused as well.
    void endlessRunWithoutStopKeysIsRefused_data() {
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("reason");
        QTest::newRow("none") << "none"
                              << "system tray";
        QTest::newRow("a code no keyboard sends") << "vk7"
                                                  << "--stop needs a key";
    }
    void endlessRunWithoutStopKeysIsRefused() {
        QFETCH(QString, stop);
        QFETCH(QString, reason);
        QVERIFY(write("forever.cmdat", R"({"list_command": [["キー", "70,0", "0.05"]],
                                           "list_condition": [["時間", "0.01"]]})"));
        Target target;
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        target.window.activateWindow();
        target.edit.setFocus();
        QProcess process;
        start(process, {"--run", scratch.filePath("forever.cmdat"), "--endless", "--stop", stop,
                        "--start-delay", "0"});
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitCode(), 2);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(errors.contains(reason), qPrintable(errors));
        QTest::qWait(300);
        QCOMPARE(target.edit.toPlainText(), QString());
    }

    void endlessRunEnds_data() {
        QTest::addColumn<bool>("bySignal");
        QTest::addColumn<int>("exitCode"); // by a signal: its number
        QTest::newRow("stop keys") << false << 1;
        QTest::newRow("SIGTERM") << true << SIGTERM;
    }
    void endlessRunEnds() {
        QFETCH(bool, bySignal);
        QFETCH(int, exitCode);
        // Holds F and Shift in turn, so a key is down at most moments.
        QVERIFY(write("endless.cmdat",
                      R"({"list_command": [["キー", "70,0", "0.05"], ["キー", "16,0", "0.05"]],
                          "list_condition": [["時間", "0.01"], ["時間", "0.01"]]})"));
        Target target; // takes the F keys
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        target.window.activateWindow();
        target.edit.setFocus();
        QProcess process;
        start(process, {"--run", scratch.filePath("endless.cmdat"), "--endless", "--start-delay",
                        "0", "--stop", "ctrl+alt+s"});
        QVERIFY(process.waitForStarted());
        QVERIFY(!finishes(process, 1500)); // still playing
        if (bySignal) {
            process.terminate();
        } else {
            layer->keyDown(0xA2);
            layer->keyDown(0xA4);
            layer->keyDown(83);
        }
        const bool ended = finishes(process, 5000);
        if (!bySignal) {
            layer->keyUp(83);
            layer->keyUp(0xA4);
            layer->keyUp(0xA2);
        }
        QVERIFY(ended);
        QCOMPARE(process.exitStatus(), bySignal ? QProcess::CrashExit : QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY(!anythingDown());
        QVERIFY(target.edit.toPlainText().toLower().contains(QLatin1Char('f')));
    }

    // Started under nohup (SIGHUP ignored), a closed terminal does not end
    // the run; SIGTERM still does.
    void ignoredSignalStaysIgnored() {
        QVERIFY(write("nohup.cmdat",
                      R"({"list_command": [["なし"]], "list_condition": [["時間", "0.05"]]})"));
        QProcess process;
        start(process, {"-c", "trap '' HUP; exec \"$0\" \"$@\"", programPath(), "--run",
                        scratch.filePath("nohup.cmdat"), "--endless", "--start-delay", "0",
                        "--stop", "ctrl+alt+s"});
        QVERIFY(process.waitForStarted());
        QVERIFY(!finishes(process, 1500));
        ::kill(static_cast<pid_t>(process.processId()), SIGHUP);
        QVERIFY(!finishes(process, 1500)); // still playing
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        QVERIFY(finishes(process, 10000));
        QCOMPARE(process.exitStatus(), QProcess::CrashExit);
        QCOMPARE(process.exitCode(), SIGTERM);
    }

    // A pipe nobody writes blocks the open() of the run's project or of the
    // editor's file; a termination signal still ends the program, by itself.
    void signalEndsProgramBlockedOnAPipe_data() {
        QTest::addColumn<bool>("editor");
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("--run, SIGTERM") << false << SIGTERM;
        QTest::newRow("--run, SIGINT") << false << SIGINT;
        QTest::newRow("editor, SIGTERM") << true << SIGTERM;
        QTest::newRow("editor, SIGINT") << true << SIGINT;
    }
    void signalEndsProgramBlockedOnAPipe() {
        QFETCH(bool, editor);
        QFETCH(int, signalNumber);
        const QString fifo = scratch.filePath(QStringLiteral("nobody-writes.cmdat"));
        QFile::remove(fifo);
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
        QProcess process;
        start(process, editor ? QStringList{fifo} : QStringList{"--run", fifo});
        QVERIFY(process.waitForStarted());
        QVERIFY(!finishes(process, 2000)); // blocked in the open()
        ::kill(static_cast<pid_t>(process.processId()), signalNumber);
        const bool ended = finishes(process, 20000);
        if (!ended) {
            process.kill();
            process.waitForFinished(5000);
        }
        QVERIFY(ended);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(process.exitStatus() == QProcess::CrashExit, qPrintable(errors));
        QCOMPARE(process.exitCode(), signalNumber);
        QVERIFY(!anythingDown());
    }
};

QTEST_MAIN(X11CommandLineTest)
#include "x11_commandline.moc"
