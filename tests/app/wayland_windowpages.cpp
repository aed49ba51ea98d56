// tarnwick --run under the headless sway (scripts/sway.sh) with window pages
// and two windows of the test's own (support/waylandtarget.h): the Window
// command brings the named window up before the text is typed, the Window
// condition waits for it, and a position in a window stops the run with
// exit status 5 before anything is typed, since Wayland does not say where
// windows are.

#include "support/waylandtarget.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

namespace {

const QString kOlder = QStringLiteral("tarnwick pages older");
const QString kNewer = QStringLiteral("tarnwick pages newer");

} // namespace

class WaylandWindowPagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
                 "WAYLAND_DISPLAY is not set: run through ./test.sh (scripts/sway.sh)");
        QVERIFY(scratch_.isValid());
    }

    void windowPages_data() {
        QTest::addColumn<QByteArray>("project");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("olderGets");
        QTest::addColumn<QString>("newerGets");
        QTest::addColumn<QString>("says");
        QTest::newRow("window command") << QByteArray(R"({"list_command": [
                ["ウィンドウ切替", "tarnwick pages older", "一致", "", "5"], ["入力", "typed", "0.1"]],
            "list_condition": [["即時"], ["終わるまで待つ", "0"]]})")
                                        << 0 << "typed"
                                        << ""
                                        << "";
        QTest::newRow("window condition") << QByteArray(R"({"list_command": [
                ["なし"], ["入力", "typed", "0.1"]],
            "list_condition": [["ウィンドウ", "tarnwick pages newer", "一致", "", "アクティブ"],
                               ["終わるまで待つ", "0"]]})")
                                          << 0 << ""
                                          << "typed"
                                          << "";
        QTest::newRow("window pointer") << QByteArray(R"({"list_command": [
                ["ウィンドウ座標", "tarnwick pages older", "一致", "", "5", "5"],
                ["入力", "typed", "0.1"]],
            "list_condition": [["即時"], ["終わるまで待つ", "0"]]})")
                                        << 5 << ""
                                        << ""
                                        << "page 1: the desktop does not tell where windows are";
    }
    void windowPages() {
        QFETCH(QByteArray, project);
        QFETCH(int, status);
        QFETCH(QString, olderGets);
        QFETCH(QString, newerGets);
        QFETCH(QString, says);
        QFile file(scratch_.filePath(QStringLiteral("pages.cmdat")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(project) == project.size());
        file.close();
        testsupport::TitledTarget older;
        testsupport::TitledTarget newer;
        QString why;
        QVERIFY2(older.start(kOlder, why), qPrintable(why));
        QVERIFY2(newer.start(kNewer, why), qPrintable(why)); // sway gives it the focus

        QProcess run;
        QProcessEnvironment env = testsupport::waylandTargetEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch_.filePath(QStringLiteral("config")));
        // Qt's Wayland plugin leaves its proxies to the exit; the full stack
        // lets the suppression find it there, and ours stay checked.
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                       QStringLiteral(":fast_unwind_on_malloc=0"));
        run.setProcessEnvironment(env);
        run.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                  {"--run", file.fileName(), "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QVERIFY(QTest::qWaitFor([&run] { return run.state() == QProcess::NotRunning; },
                                testsupport::TitledTarget::kTimeoutMs));
        const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() == status, qPrintable(errors));
        QVERIFY2(errors.contains(says), qPrintable(errors));

        // The run has ended, so whatever it typed is on its way; where
        // nothing should come, the whole (short) wait makes sure of it.
        QString olderText;
        QString newerText;
        const bool arrived = QTest::qWaitFor(
            [&] {
                olderText += testsupport::typedText(older.readLines());
                newerText += testsupport::typedText(newer.readLines());
                return olderText == olderGets && newerText == newerGets &&
                       !(olderGets.isEmpty() && newerGets.isEmpty());
            },
            3000);
        QCOMPARE(arrived, !(olderGets.isEmpty() && newerGets.isEmpty()));
        QCOMPARE(olderText, olderGets);
        QCOMPARE(newerText, newerGets);
    }
};

int main(int argc, char **argv) {
    if (argc > 3 && std::strcmp(argv[1], testsupport::kWaylandTargetArg) == 0 &&
        std::strcmp(argv[2], testsupport::kWaylandTitleArg) == 0)
        return testsupport::titledTargetMain(argc, argv);
    QCoreApplication app(argc, argv);
    WaylandWindowPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "wayland_windowpages.moc"
