// tarnwick --run on the headless KWin of ./test.sh with window pages and two
// full-screen windows of the test's own: the Window command brings the named
// window up before the text is typed, the Window condition waits for it,
// and, since KWin's scripting tells where windows are, a position in a
// window is clicked exactly.

#include "support/kwinsession.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kOlder = QStringLiteral("tarnwick kde older");
const QString kNewer = QStringLiteral("tarnwick kde newer");

} // namespace

class KdeWindowPagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;

private slots:
    void initTestCase() {
        QString why;
        QVERIFY2(testsupport::useKwinSession(why), qPrintable(why));
        QVERIFY(scratch_.isValid());
    }

    void windowPages_data() {
        QTest::addColumn<QByteArray>("project");
        QTest::addColumn<QString>("olderGets");
        QTest::addColumn<QString>("newerGets");
        QTest::newRow("window command") << QByteArray(R"({"list_command": [
                ["ウィンドウ切替", "tarnwick kde older", "一致", "", "5"], ["入力", "typed", "0.1"]],
            "list_condition": [["即時"], ["終わるまで待つ", "0"]]})")
                                        << "typed"
                                        << "";
        QTest::newRow("window condition") << QByteArray(R"({"list_command": [
                ["なし"], ["入力", "typed", "0.1"]],
            "list_condition": [["ウィンドウ", "tarnwick kde newer", "一致", "", "アクティブ"],
                               ["終わるまで待つ", "0"]]})")
                                          << ""
                                          << "typed";
        QTest::newRow("window pointer") << QByteArray(R"({"list_command": [
                ["ウィンドウ切替", "tarnwick kde older", "一致", "", "5"],
                ["ウィンドウ座標", "tarnwick kde older", "一致", "", "37", "21"],
                ["クリック", "左", "0.05"]],
            "list_condition": [["即時"], ["即時"], ["終わるまで待つ", "0"]]})")
                                        << "down 1 37 21"
                                        << "";
    }
    void windowPages() {
        QFETCH(QByteArray, project);
        QFETCH(QString, olderGets);
        QFETCH(QString, newerGets);
        QFile file(scratch_.filePath(QStringLiteral("pages.cmdat")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(project) == project.size());
        file.close();
        testsupport::KwinTarget older;
        testsupport::KwinTarget newer;
        QString why;
        QVERIFY2(older.start(testsupport::kKwinTitledArg, why, kOlder), qPrintable(why));
        QVERIFY2(newer.start(testsupport::kKwinTitledArg, why, kNewer), qPrintable(why));

        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), scratch_.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) +
                                                       QStringLiteral(":fast_unwind_on_malloc=0"));
        run.setProcessEnvironment(env);
        run.start(QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick"),
                  {"--run", file.fileName(), "--start-delay", "0", "--stop", "ctrl+alt+s"});
        QVERIFY(run.waitForFinished(testsupport::ReportingProcess::kTimeoutMs));
        const QString errors = QString::fromLocal8Bit(run.readAllStandardError());
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QVERIFY2(run.exitCode() == 0, qPrintable(errors));

        const auto got = [](testsupport::KwinTarget &target, const QString &want) {
            if (want.startsWith(QLatin1String("down ")))
                return target.lines().contains(want) ? want : target.dump();
            return testsupport::typedText(target.lines());
        };
        QTRY_COMPARE_WITH_TIMEOUT(got(older, olderGets), olderGets, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(got(newer, newerGets), newerGets, 5000);
        // Nothing more comes to the other window.
        QTest::qWait(300);
        QCOMPARE(got(older, olderGets), olderGets);
        QCOMPARE(got(newer, newerGets), newerGets);
    }
};

int main(int argc, char **argv) {
    const int target = testsupport::kwinTargetMain(argc, argv);
    if (target >= 0)
        return target;
    QCoreApplication app(argc, argv);
    KdeWindowPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "kde_windowpages.moc"
