// The installed program's command line on a real X server: `tarnwick --run`
// types into a window of this test and exits 0; a project it cannot read or
// play exits 2 with the reason and types nothing; the stop keys end an endless run
// with 1 and a termination signal with 128 + the signal, nothing left down.

#include "platform/inputlayer.h"
#include "support/systeminput.h"

#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

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
    void start(QProcess &process, const QStringList &arguments) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(env);
        process.start(programPath(), arguments);
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

    void unreadableProjectExitsTwoAndTypesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // empty: the file does not exist
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "missing.cmdat" << QByteArray() << "ファイルを開けませんでした";
        QTest::newRow("broken json")
            << "broken.cmdat" << QByteArray(R"({"list_command": [)") << "JSON 解析エラー";
        QTest::newRow("lists of different length")
            << "uneven.cmdat"
            << QByteArray(
                   R"({"list_command": [["入力", "x", "0"]], "list_condition": [["即時"], ["即時"]]})")
            << "ファイルの形式が正しくありません";
        // Once played with no action; typing would follow on page 1 and 3.
        QTest::newRow("kind of a newer version")
            << "newer.cmdat"
            << QByteArray(R"({"list_command": [["入力", "x", "0.1"], ["ジャンプ", "1"],
                                                ["入力", "y", "0.1"]],
                               "list_condition": [["即時"], ["即時"], ["即時"]]})")
            << "ページ 2 のコマンド「ジャンプ」はこのバージョンでは使えません。";
    }
    void unreadableProjectExitsTwoAndTypesNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        if (!content.isEmpty())
            QVERIFY(write(name, content));
        Target target;
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        target.window.activateWindow();
        target.edit.setFocus();
        QProcess process;
        start(process, {"--run", scratch.filePath(name), "--start-delay", "0"});
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitCode(), 2);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(errors.contains(reason), qPrintable(errors));
        QTest::qWait(300);
        QCOMPARE(target.edit.toPlainText(), QString());
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
        QCOMPARE(process.exitCode(), 2);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(errors.contains(QStringLiteral("input functions are not available")) &&
                     errors.contains(QStringLiteral("\"%1\"").arg(platform)),
                 qPrintable(errors));
        QVERIFY(!anythingDown());
    }

    // Xvfb has no system tray: nothing could stop the run, so it never starts.
    void endlessRunWithoutStopKeysIsRefused() {
        QVERIFY(write("forever.cmdat", R"({"list_command": [["キー", "70,0", "0.05"]],
                                           "list_condition": [["時間", "0.01"]]})"));
        Target target;
        QVERIFY(QTest::qWaitForWindowExposed(&target.window));
        target.window.activateWindow();
        target.edit.setFocus();
        QProcess process;
        start(process, {"--run", scratch.filePath("forever.cmdat"), "--endless", "--stop", "none",
                        "--start-delay", "0"});
        QVERIFY(finishes(process, 20000));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("system tray"));
        QTest::qWait(300);
        QCOMPARE(target.edit.toPlainText(), QString());
    }

    void endlessRunEnds_data() {
        QTest::addColumn<bool>("bySignal");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("stop keys") << false << 1;
        QTest::newRow("SIGTERM") << true << 128 + SIGTERM;
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
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), exitCode);
        QVERIFY(!anythingDown());
        QVERIFY(target.edit.toPlainText().toLower().contains(QLatin1Char('f')));
    }
};

QTEST_MAIN(X11CommandLineTest)
#include "x11_commandline.moc"
