// tarnwick --run on a real X server with a window page whose window is not
// open: the run stops at that page with exit status 5, says which page and
// window on standard error, and the text on the next page is never typed
// into the window that has the focus.

#include "support/systeminput.h"

#include <QCoreApplication>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class X11WindowPagesTest : public QObject {
    Q_OBJECT

    testsupport::SystemInput layer;
    QTemporaryDir scratch;

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
    }
    void cleanupTestCase() { layer.reset(); }

    void missingWindowStopsTheRun_data() {
        QTest::addColumn<QByteArray>("project");
        QTest::newRow("window command") << QByteArray(
            R"({"list_command": [["なし"], ["ウィンドウ切替", "No Window Is Called This 7f3a", "一致", "", "1"],
                                                ["入力", "typed", "0.1"]],
                               "list_condition": [["即時"], ["即時"], ["終わるまで待つ", "0"]]})");
        QTest::newRow("window pointer") << QByteArray(
            R"({"list_command": [["なし"], ["ウィンドウ座標", "No Window Is Called This 7f3a", "一致", "", "5", "5"],
                                                ["入力", "typed", "0.1"]],
                               "list_condition": [["即時"], ["即時"], ["終わるまで待つ", "0"]]})");
    }
    void missingWindowStopsTheRun() {
        QFETCH(QByteArray, project);
        QFile file(scratch.filePath("window.cmdat"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(project) == project.size());
        file.close();

        QWidget window;
        QPlainTextEdit edit(&window);
        window.setGeometry(150, 150, 420, 240);
        edit.setGeometry(20, 20, 380, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.activateWindow();
        edit.setFocus();

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch.filePath(QStringLiteral("config")));
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                      {"--run", file.fileName(), "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QVERIFY(
            QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 5);
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        // Not found, or no window access where the backend has none.
        QVERIFY2(errors.contains(QStringLiteral("tarnwick: page 2: ")), qPrintable(errors));
        QVERIFY2(errors.contains(QStringLiteral("; the run was stopped")), qPrintable(errors));
        QTest::qWait(300);
        QCOMPARE(edit.toPlainText(), QString());
    }
};

QTEST_MAIN(X11WindowPagesTest)
#include "x11_windowpages.moc"
