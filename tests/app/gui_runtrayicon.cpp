// The tray icon of a run: what it shows, that only a plain click stops the
// run, and that it goes away with the run.

#include "app/runtrayicon.h"
#include "run/run.h"
#include "run/runstart.h"
#include "support/recordinginput.h"

#include <QPointer>
#include <QSystemTrayIcon>
#include <QThread>
#include <QtTest>

namespace {

const QStringList kMarker{QStringLiteral("マウスポインター"), QStringLiteral("7"),
                          QStringLiteral("7")};
const QStringList kNow{QStringLiteral("即時")};

RunSettings quick() {
    return RunSettings{0, 1, QStringLiteral("なし")};
}

} // namespace

class RunTrayIconTest : public QObject {
    Q_OBJECT

    static QSystemTrayIcon *iconOf(RunTrayIcon &tray) { return tray.icon_; }

private slots:
    void showsTheProject() {
        Run run;
        QVERIFY(run.prepare(quick(), {kMarker}, {kNow}, QStringLiteral("test")));
        RunTrayIcon tray(&run, run.projectName());
        QCOMPARE(iconOf(tray)->toolTip(), QStringLiteral("「test」を終了"));
        QVERIFY(!iconOf(tray)->icon().isNull()); // image/SystemTrayIcon.png was found
    }

    void onlyAPlainClickStops_data() {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::addColumn<bool>("stops");
        QTest::newRow("click") << QSystemTrayIcon::Trigger << true;
        QTest::newRow("context menu") << QSystemTrayIcon::Context << false;
        QTest::newRow("double click") << QSystemTrayIcon::DoubleClick << false;
        QTest::newRow("middle click") << QSystemTrayIcon::MiddleClick << false;
    }
    void onlyAPlainClickStops() {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        QFETCH(bool, stops);
        Run run;
        QVERIFY(run.prepare(quick(), {kMarker}, {kNow}, QStringLiteral("p")));
        RunTrayIcon tray(&run, QStringLiteral("p"));
        emit iconOf(tray)->activated(reason);
        QCoreApplication::processEvents();
        QCOMPARE(run.stopping(), stops);
    }

    void goesWithTheRun() {
        // Started as the main window starts a run: the click reaches the run
        // on its own thread, and the icon goes once the run has finished.
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
        QVERIFY(tray);
        emit iconOf(*tray)->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY_WITH_TIMEOUT(ended, 3000);
        QVERIFY(stopped);
        QTRY_VERIFY_WITH_TIMEOUT(tray.isNull(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 3000);
    }

    void aClickAfterTheRunIsGoneReachesNothing() {
        auto *run = new Run;
        QVERIFY(run->prepare(quick(), {kMarker}, {kNow}, QStringLiteral("p")));
        QPointer<RunTrayIcon> tray = new RunTrayIcon(run, QStringLiteral("p"));
        delete run;
        QVERIFY(tray); // removed later, from the event loop
        emit iconOf(*tray)->activated(QSystemTrayIcon::Trigger);
        QTRY_VERIFY_WITH_TIMEOUT(tray.isNull(), 3000);
    }
};

QTEST_MAIN(RunTrayIconTest)
#include "gui_runtrayicon.moc"
