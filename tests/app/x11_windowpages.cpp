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
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("reason"); // as the line starts
        const QString en = QStringLiteral("C.UTF-8");
        QTest::newRow("window command")
            << QByteArray(
                   R"({"list_command": [["なし"], ["ウィンドウ切替", "No Window Is Called This 7f3a", "一致", "", "1"],
                                                ["入力", "typed", "0.1"]],
                               "list_condition": [["即時"], ["即時"], ["終わるまで待つ", "0"]]})")
            << en << "tarnwick: page 2: ";
        QTest::newRow("window command, ja")
            << QByteArray(
                   R"({"list_command": [["なし"], ["ウィンドウ切替", "No Window Is Called This 7f3a", "一致", "", "1"],
                                                ["入力", "typed", "0.1"]],
                               "list_condition": [["即時"], ["即時"], ["終わるまで待つ", "0"]]})")
            << "ja_JP.UTF-8"
            << "tarnwick: 2ページ目: ";
        QTest::newRow("window pointer")
            << QByteArray(
                   R"({"list_command": [["なし"], ["ウィンドウ座標", "No Window Is Called This 7f3a", "一致", "", "5", "5"],
                                                ["入力", "typed", "0.1"]],
                               "list_condition": [["即時"], ["即時"], ["終わるまで待つ", "0"]]})")
            << en << "tarnwick: page 2: ";
    }
    void missingWindowStopsTheRun() {
        QFETCH(QByteArray, project);
        QFETCH(QString, locale);
        QFETCH(QString, reason);
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
        env.insert(QStringLiteral("LC_ALL"), locale);
        env.remove(QStringLiteral("LANGUAGE"));
        process.setProcessEnvironment(env);
        process.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                      {"--run", file.fileName(), "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QVERIFY(
            QTest::qWaitFor([&process] { return process.state() == QProcess::NotRunning; }, 20000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 5);
        const QString errors = QString::fromUtf8(process.readAllStandardError());
        // Not found, or no window access where the backend has none; said
        // once, in the locale's language.
        QVERIFY2(
            errors.count(QStringLiteral("2ページ目")) + errors.count(QStringLiteral("page 2")) == 1,
            qPrintable(errors));
        QVERIFY2(errors.contains(reason), qPrintable(errors));
        QVERIFY2(errors.contains(locale.startsWith(QLatin1String("ja"))
                                     ? QStringLiteral("\n実行を停止しました。")
                                     : QStringLiteral("; the run was stopped")),
                 qPrintable(errors));
        QTest::qWait(300);
        QCOMPARE(edit.toPlainText(), QString());
    }
};

QTEST_MAIN(X11WindowPagesTest)
#include "x11_windowpages.moc"
