// The tray icon of a run: what it shows, that only a plain click stops the
// run, its menu (pause, resume, stop) in both languages, and that it goes
// away with the run.

#include "app/runtrayicon.h"
#include "run/run.h"
#include "run/runstart.h"
#include "support/recordinginput.h"

#include <QAction>
#include <QMenu>
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

    // The menu pauses, resumes and stops the run on its thread, and the
    // icon, its tooltip and the menu follow the pause.
    void menuPausesResumesAndStops_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("pausedTip");
        QTest::newRow("japanese") << true << QStringList{"一時停止", "再開", "停止"}
                                  << "「p」を一時停止中（クリックで終了）";
        QTest::newRow("english") << false << QStringList{"Pause", "Resume", "Stop"}
                                 << "\"p\" is paused (click to end it)";
    }
    void menuPausesResumesAndStops() {
        QFETCH(bool, japanese);
        QFETCH(QStringList, items);
        QFETCH(QString, pausedTip);
        testsupport::RecordingInput rec;
        QWidget window;
        auto *run = new Run;
        QVERIFY(run->prepare(RunSettings{0, kRepeatUntilStopped, QStringLiteral("なし")}, {kMarker},
                             {{QStringLiteral("時間"), QStringLiteral("0.01")}},
                             QStringLiteral("p")));
        QPointer<RunTrayIcon> tray = new RunTrayIcon(run, QStringLiteral("p"), &window, japanese);
        QMenu *menu = iconOf(*tray)->contextMenu();
        QVERIFY(menu);
        QStringList texts;
        for (QAction *action : menu->actions())
            texts << action->text();
        QCOMPARE(texts, items);
        QList<QAction *> actions = menu->actions();
        QVERIFY(actions[0]->isVisible() && !actions[1]->isVisible());

        bool ended = false;
        connect(run, &Run::ended, &window, [&](bool) { ended = true; });
        QPointer<QThread> thread = startRunThread(run, &window);
        QTRY_VERIFY_WITH_TIMEOUT(rec.eventTexts().size() >= 2, 5000);
        const QIcon running = iconOf(*tray)->icon();
        actions[0]->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(actions[1]->isVisible(), 3000);
        QVERIFY(!actions[0]->isVisible());
        QCOMPARE(iconOf(*tray)->toolTip(), pausedTip);
        QVERIFY(iconOf(*tray)->icon().cacheKey() != running.cacheKey());
        QTest::qWait(100);
        const auto before = rec.eventTexts().size();
        QTest::qWait(200);
        QCOMPARE(rec.eventTexts().size(), before); // nothing played while paused

        actions[1]->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(actions[0]->isVisible(), 3000);
        QCOMPARE(iconOf(*tray)->toolTip(), QStringLiteral("「p」を終了"));
        QTRY_VERIFY_WITH_TIMEOUT(rec.eventTexts().size() > before, 3000);

        actions[2]->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(ended, 3000);
        QTRY_VERIFY_WITH_TIMEOUT(tray.isNull(), 3000);
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 3000);
    }

    // A run at another speed says so on its icon from the start.
    void tooltipNamesASpeedOtherThanOne() {
        RunSettings settings = quick();
        settings.pace.speed = 2.5;
        Run run;
        QVERIFY(run.prepare(settings, {kMarker}, {kNow}, QStringLiteral("test")));
        RunTrayIcon tray(&run, run.projectName());
        QCOMPARE(iconOf(tray)->toolTip(), QStringLiteral("「test」を終了 (×2.5)"));
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
