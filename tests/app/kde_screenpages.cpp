// tarnwick --run on the headless KWin of ./test.sh with the pages that look
// at the screen, which KWin's screenshots show the program: an Image
// condition finds the picture a full-screen window of the test's own shows
// and the Click after a jump to it lands inside it; a picture that is not
// there stops the run with exit status 5 and its message, and nothing is
// clicked.

#include "core/projectfile.h"
#include "support/kwinsession.h"
#include "support/screenpattern.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

namespace pattern = testsupport::screenpattern;

QByteArray project(const QList<QStringList> &commands, const QList<QStringList> &conditions) {
    return projectfile::serialize(commands, conditions);
}

const QStringList kClick{"クリック", "左", "0.02"};
const QStringList kNow{"即時"};

} // namespace

class KdeScreenPagesTest : public QObject {
    Q_OBJECT

    QTemporaryDir scratch_;

private slots:
    void initTestCase() {
        QString why;
        QVERIFY2(testsupport::useKwinSession(why), qPrintable(why));
        QVERIFY(scratch_.isValid());
    }

    void imagePages_data() {
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("found, then clicked") << true << 0 << "";
        QTest::newRow("not there") << false << 5 << "page 1: the image was not found";
    }
    void imagePages() {
        QFETCH(bool, shown);
        QFETCH(int, status);
        QFETCH(QString, says);
        const QString image = pattern::pngBase64(pattern::picture());
        const QByteArray json =
            shown
                ? project({{"なし"}, pattern::jumpPage("", "一致", "画面", "", {0, 0}, 0), kClick},
                          {pattern::imagePage("画像", "", "一致", "画面", QRect(), image),
                           kNow,
                           {"終わるまで待つ", "0"}})
                : project({pattern::jumpPage("", "一致", "画面", image, {0, 0}, 1), kClick},
                          {kNow, {"終わるまで待つ", "0"}});
        QFile file(scratch_.filePath(QStringLiteral("screen.cmdat")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(json) == json.size());
        file.close();
        testsupport::KwinTarget target;
        QString why;
        QVERIFY2(
            target.start(shown ? testsupport::kKwinPictureArg : testsupport::kKwinKeysArg, why),
            qPrintable(why));
        QTest::qWait(300); // drawn
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
        QVERIFY2(run.exitCode() == status, qPrintable(errors));
        QVERIFY2(errors.contains(says), qPrintable(errors));
        if (!shown) {
            QTest::qWait(300);
            QVERIFY(!target.dump().contains(QLatin1String("down ")));
            return;
        }
        const QString down =
            target.waitFor([](const QString &l) { return l.startsWith(QLatin1String("down 1 ")); });
        QVERIFY2(!down.isEmpty(), qPrintable(target.dump()));
        const QStringList p = down.split(QLatin1Char(' '));
        const QRect picture(testsupport::kPictureX, testsupport::kPictureY, pattern::kWidth,
                            pattern::kHeight);
        QVERIFY2(picture.contains(p.at(2).toInt(), p.at(3).toInt()), qPrintable(down));
    }
};

int main(int argc, char **argv) {
    const int target = testsupport::kwinTargetMain(argc, argv);
    if (target >= 0)
        return target;
    QCoreApplication app(argc, argv);
    KdeScreenPagesTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "kde_screenpages.moc"
