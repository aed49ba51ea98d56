// The run engine against the recording input layer: the events each action
// sends, the conditions, repetition, stopping, the end sequence and threads.

#include "core/runkeys.h"
#include "run/runharness.h"
#include "run/runstart.h"

#include <QApplication>
#include <QThread>
#include <QTime>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

using namespace runtest;
using Texts = std::vector<std::string>;

Q_DECLARE_METATYPE(Texts)

class RunTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // ---- actions ------------------------------------------------------------

    void actionEvents_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<Texts>("expected");
        const Texts none;
        QTest::newRow("key ctrl+alt+s, hold 0")
            << QStringList{"キー", "83,3", "0"}
            << Texts{"keyDown 17", "keyDown 18", "keyDown 83", "keyUp 83", "keyUp 18", "keyUp 17"};
        QTest::newRow("key with all four modifiers")
            << QStringList{"キー", "65,15", "0"}
            << Texts{"keyDown 17", "keyDown 18", "keyDown 16", "keyDown 91", "keyDown 65",
                     "keyUp 65",   "keyUp 91",   "keyUp 16",   "keyUp 18",   "keyUp 17"};
        QTest::newRow("key without mask")
            << QStringList{"キー", "13", "0"} << Texts{"keyDown 13", "keyUp 13"};
        QTest::newRow("key none") << QStringList{"キー", "なし", "0.01"} << none;
        QTest::newRow("key empty") << QStringList{"キー", "", "0.01"} << none;
        QTest::newRow("key not a number") << QStringList{"キー", "abc,2", "0"} << none;
        QTest::newRow("key zero") << QStringList{"キー", "0,2", "0"} << none;
        QTest::newRow("click left, hold 0")
            << QStringList{"クリック", "左", "0"} << Texts{"mouseDown 0", "mouseUp 0"};
        QTest::newRow("click right")
            << QStringList{"クリック", "右", "0"} << Texts{"mouseDown 1", "mouseUp 1"};
        QTest::newRow("click other side text is right")
            << QStringList{"クリック", "x", "abc"} << Texts{"mouseDown 1", "mouseUp 1"};
        QTest::newRow("mouse pointer")
            << QStringList{"マウスポインター", "10", "-20"} << Texts{"setCursorPos 10 -20"};
        QTest::newRow("mouse pointer unreadable")
            << QStringList{"マウスポインター", "a", "b"} << Texts{"setCursorPos 0 0"};
        QTest::newRow("smooth move duration 0 jumps")
            << QStringList{"スムーズムーブ", "300", "400", "0"} << Texts{"setCursorPos 300 400"};
        QTest::newRow("smooth move negative duration jumps")
            << QStringList{"スムーズムーブ", "3", "4", "-1"} << Texts{"setCursorPos 3 4"};
        QTest::newRow("input duration 0") << QStringList{"入力", "abc", "0"} << none;
        QTest::newRow("input empty text") << QStringList{"入力", "", "1"} << none;
        QTest::newRow("none") << QStringList{"なし"} << none;
    }
    void actionEvents() {
        QFETCH(QStringList, command);
        QFETCH(Texts, expected);
        Harness h;
        // The marker page comes after the action's worker ended; the run then
        // parks on a clock time that never comes and is stopped (no pause).
        h.begin({command, kMarker}, {kWaitOver, {"時刻", "24", "0"}});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 5000);
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        Texts withMarker = expected;
        withMarker.push_back(kMarkerText);
        QCOMPARE(h.sent(), withMarker);
        // The layer's own release comes after every worker is done.
        QCOMPARE(h.rec.events().back().kind, std::string("releaseAll"));
    }

    void keyHoldIsReleasedOnStop() {
        Harness h;
        h.begin({{"キー", "65,4", "30"}}, {kWaitOver});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), "keyDown 65"), 1, 3000);
        const Clock::time_point stopAt = Clock::now();
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QCOMPARE(h.sent(), (Texts{"keyDown 16", "keyDown 65", "keyUp 65", "keyUp 16"}));
        QVERIFY(msBetween(stopAt, h.sentEvents("keyUp").front().time) < 500);
        QVERIFY(!h.rec.isDown(65) && !h.rec.isDown(16));
    }

    void clickHoldIsReleasedOnStop() {
        Harness h;
        h.begin({{"クリック", "左", "30"}}, {kWaitOver});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), "mouseDown 0"), 1, 3000);
        const Clock::time_point stopAt = Clock::now();
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QCOMPARE(h.sent(), (Texts{"mouseDown 0", "mouseUp 0"}));
        QVERIFY(msBetween(stopAt, h.sentEvents("mouseUp").front().time) < 500);
        // Stopped: no one-second pause before the end.
        QVERIFY(msBetween(stopAt, h.signalLog().back().time) < 800);
    }

    void keyAndClickHoldForTheirTime() {
        Harness h;
        h.begin({{"キー", "65,0", "0.2"}, {"クリック", "右", "0.2"}}, {kNow, kWaitOver});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        const auto downs = h.sentEvents("keyDown");
        const auto ups = h.sentEvents("keyUp");
        const auto mDown = h.sentEvents("mouseDown");
        const auto mUp = h.sentEvents("mouseUp");
        QCOMPARE(int(downs.size() + ups.size() + mDown.size() + mUp.size()), 4);
        const double keyHeld = msBetween(downs[0].time, ups[0].time);
        const double clickHeld = msBetween(mDown[0].time, mUp[0].time);
        QVERIFY2(keyHeld >= 195 && keyHeld < 600, qPrintable(QString::number(keyHeld)));
        QVERIFY2(clickHeld >= 195 && clickHeld < 600, qPrintable(QString::number(clickHeld)));
        // Both run at once: the click did not wait for the key.
        QVERIFY(mDown[0].time < ups[0].time);
    }

    void smoothMoveEndsOnTarget() {
        Harness h;
        h.rec.setCursorPos(0, 0);
        h.rec.clearEvents();
        h.begin({{"スムーズムーブ", "100", "-50", "0.2"}}, {kWaitOver});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        const auto moves = h.sentEvents("setCursorPos");
        QVERIFY(moves.size() >= 5); // one step per 5 ms sleep
        QCOMPARE(moves.back().a, 100);
        QCOMPARE(moves.back().b, -50);
        for (std::size_t i = 1; i < moves.size(); ++i) {
            QVERIFY(moves[i].a >= moves[i - 1].a);
            QVERIFY(moves[i].b <= moves[i - 1].b);
            QVERIFY(std::abs(2 * moves[i].b + moves[i].a) <= 2); // on the line
        }
        const double took = msBetween(moves.front().time, moves.back().time);
        QVERIFY2(took >= 190 && took < 700, qPrintable(QString::number(took)));
    }

    void smoothMoveStaysPutWhenStopped() {
        Harness h;
        h.rec.setCursorPos(0, 0);
        h.rec.clearEvents();
        h.begin({{"スムーズムーブ", "1000", "0", "5"}}, {kWaitOver});
        QTRY_VERIFY_WITH_TIMEOUT(h.sentEvents("setCursorPos").size() >= 3, 3000);
        h.requestStop();
        const Clock::time_point stopAt = Clock::now();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        const auto moves = h.sentEvents("setCursorPos");
        QVERIFY(moves.back().a < 1000);
        QVERIFY(msBetween(stopAt, moves.back().time) < 50);
    }

    void inputSpreadsOverItsDuration() {
        Harness h;
        h.begin({{"入力", "abc", "0.9"}}, {kWaitOver});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        QCOMPARE(h.sent(), (Texts{"unicodeDown 97", "unicodeUp 97", "unicodeDown 98",
                                  "unicodeUp 98", "unicodeDown 99", "unicodeUp 99"}));
        const auto downs = h.sentEvents("unicodeDown");
        QVERIFY(msBetween(h.startedAt, downs[0].time) < 150); // the first at once
        for (int i = 1; i < 3; ++i) {
            const double gap = msBetween(downs[i - 1].time, downs[i].time);
            QVERIFY2(gap >= 290 && gap < 600, qPrintable(QString::number(gap)));
        }
        // The worker ends about the whole duration after its start.
        const double workerEnd = msBetween(downs[0].time, h.sentEvents("releaseAll")[0].time);
        QVERIFY2(workerEnd >= 880 && workerEnd < 1500, qPrintable(QString::number(workerEnd)));
    }

    void inputSendsEveryCodeUnit() {
        Harness h;
        h.begin({{"入力", QString::fromUtf8("あ😀\n"), "0.04"}}, {kWaitOver});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        QCOMPARE(h.sent(), (Texts{"unicodeDown 12354", "unicodeUp 12354", "unicodeDown 55357",
                                  "unicodeUp 55357", "unicodeDown 56832", "unicodeUp 56832",
                                  "unicodeDown 10", "unicodeUp 10"}));
    }

    // ---- conditions ---------------------------------------------------------------

    void waitUntilOverWaitsForEveryEarlierAction() {
        Harness h;
        h.begin({{"クリック", "左", "0.3"}, {"キー", "65,0", "0.1"}, kMarker},
                {kNow, kWaitOver, kNow});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        const Texts sent = h.sent();
        QCOMPARE(sent.back(), kMarkerText);
        QCOMPARE(countOf(sent, "mouseUp 0"), 1);
        QCOMPARE(countOf(sent, "keyUp 65"), 1);
    }

    void keyConditionNeedsANewExactPress_data() { addKeyModes(); }
    void keyConditionNeedsANewExactPress() {
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.rec.setDown(65, true); // already held when the condition begins
        h.begin({{"なし"}, kMarker}, {{"キー", "65,2"}, kNow});
        QTest::qWait(150);
        QCOMPARE(countOf(h.sent(), kMarkerText), 0);
        // Released, then pressed with an extra modifier: no match.
        h.key(65, false);
        QTest::qWait(60);
        h.key(0xA0, true);
        h.key(0xA2, true);
        h.key(65, true);
        QTest::qWait(200);
        QCOMPARE(countOf(h.sent(), kMarkerText), 0);
        // Exact combination: met once the key comes up again.
        h.key(65, false);
        h.key(0xA0, false);
        QTest::qWait(60);
        h.key(65, true);
        QTest::qWait(150);
        QCOMPARE(countOf(h.sent(), kMarkerText), 0);
        h.key(65, false);
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 1000);
        h.key(0xA2, false);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
    }

    void keyConditionOnALoneModifier_data() { addKeyModes(); }
    void keyConditionOnALoneModifier() {
        // What the capture records for a lone left Ctrl: its own Ctrl counts.
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.begin({{"なし"}, kMarker}, {{"キー", "162,0"}, kNow});
        QTest::qWait(100);
        h.key(0xA2, true);
        QTest::qWait(100);
        h.key(0xA2, false);
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 1000);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
    }

    void conditionsThatGoOnAtOnce_data() {
        QTest::addColumn<QStringList>("condition");
        QTest::newRow("none") << QStringList{"キー", "なし"};
        QTest::newRow("empty") << QStringList{"キー", ""};
        QTest::newRow("unreadable") << QStringList{"キー", "x,2"};
        QTest::newRow("time 0") << QStringList{"時間", "0"};
        QTest::newRow("immediately") << QStringList{"即時"};
    }
    void conditionsThatGoOnAtOnce() {
        QFETCH(QStringList, condition);
        Harness h;
        h.begin({{"なし"}, kMarker}, {condition, kNow});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QCOMPARE(h.sent(), Texts{kMarkerText});
        // Nothing waited: the run ended after just the one-second pause.
        QVERIFY(msBetween(h.startedAt, h.signalLog().back().time) < 1800);
    }

    void missingConditionEntriesGoOn() {
        Harness h;
        h.begin({kMarker, kMarker}, {}); // fewer conditions than commands
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QCOMPARE(h.sent(), (Texts{kMarkerText, kMarkerText}));
    }

    // Buttons heard as pushed events (a tap the state never shows still
    // counts), or polled where the backend pushes key events without
    // buttons, or nothing at all.
    void clickCondition_data() {
        QTest::addColumn<bool>("keyEvents");
        QTest::addColumn<bool>("buttonEvents");
        QTest::newRow("pushed button events") << true << true;
        QTest::newRow("key events without buttons") << true << false;
        QTest::newRow("nothing pushed") << false << false;
    }
    void clickCondition() {
        QFETCH(bool, keyEvents);
        QFETCH(bool, buttonEvents);
        Harness h;
        h.pushedKeys = keyEvents;
        h.rec.offerButtonEvents(buttonEvents);
        h.rec.setDown(platform::kVkLButton, true); // held already: met at once
        h.begin({{"なし"}, kMarker, kMarker}, {{"クリック", "左"}, {"クリック", "右"}, kNow});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 1000);
        QCOMPARE(h.rec.buttonListenerCount(), buttonEvents ? 1 : 0);
        // The left button, and a release alone, do not meet a right-button
        // condition.
        h.rec.sendButtonEvent(platform::kVkLButton, false);
        h.rec.sendButtonEvent(platform::kVkLButton, true);
        h.rec.sendButtonEvent(platform::kVkRButton, false);
        QTest::qWait(150);
        QCOMPARE(countOf(h.sent(), kMarkerText), 1);
        if (buttonEvents) {
            // Pressed and released between any two looks.
            h.rec.sendButtonEvent(platform::kVkRButton, true);
            h.rec.sendButtonEvent(platform::kVkRButton, false);
        } else {
            h.rec.setDown(platform::kVkRButton, true);
        }
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 2, 1000);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QTRY_COMPARE_WITH_TIMEOUT(h.rec.buttonListenerCount(), 0, 1000);
    }

    // Pages whose typing overlaps: every character once, each press with its
    // release before the next press, in the order the pages' timing puts
    // them (the earlier page first).
    void overlappingInputKeepsItsOrder_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<QString>("typed");
        Pages quick;
        QString letters;
        for (int i = 0; i < 300; ++i) {
            const QString letter(QChar(u'a' + i % 26));
            quick << QStringList{"入力", letter, "0.001"};
            letters += letter;
        }
        QTest::newRow("300 quick pages") << quick << letters;
        QTest::newRow("two pages in step")
            << Pages{{"入力", "ab", "0.4"}, {"入力", "xy", "0.4"}} << QStringLiteral("axby");
        QTest::newRow("a slow page and a quick one")
            << Pages{{"入力", "ab", "1"}, {"入力", "xyz", "0.06"}} << QStringLiteral("axyzb");
    }
    void overlappingInputKeepsItsOrder() {
        QFETCH(Pages, commands);
        QFETCH(QString, typed);
        Harness h;
        h.begin(commands, Pages(commands.size(), kNow));
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 30000);
        Texts expected;
        for (QChar c : typed) {
            expected.push_back("unicodeDown " + std::to_string(c.unicode()));
            expected.push_back("unicodeUp " + std::to_string(c.unicode()));
        }
        QCOMPARE(h.sent(), expected);
    }

    // More pages typing at once than the run has workers for: those that
    // must wait for a worker hold up no page already typing.
    void moreOverlappingInputThanWorkers() {
        Harness h;
        h.begin(Pages(40, QStringList{"入力", "ab", "0.3"}), Pages(40, kNow));
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 15000);
        const Texts sent = h.sent();
        QCOMPARE(countOf(sent, "unicodeDown 97"), 40);
        QCOMPARE(countOf(sent, "unicodeDown 98"), 40);
        for (std::size_t i = 0; i + 1 < sent.size(); i += 2)
            QCOMPARE(sent[i + 1], "unicodeUp" + sent[i].substr(std::string("unicodeDown").size()));
    }

    void clockTimeCondition() {
        if (QTime::currentTime().second() >= 58)
            QTest::qWait(3000); // keep the minute from turning during the test
        const QTime now = QTime::currentTime();
        Harness h;
        h.begin({{"なし"}, kMarker, kMarker},
                {{"時刻", QString::number(now.hour()), QString::number(now.minute())},
                 {"時刻", "24", "0"}, // a clock never shows hour 24
                 kNow});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 1000);
        QTest::qWait(200);
        QCOMPARE(countOf(h.sent(), kMarkerText), 1);
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 1000);
        QCOMPARE(countOf(h.sent(), kMarkerText), 1);
    }

    void timeConditionWaits() {
        Harness h;
        h.begin({kMarker, kMarker}, {{"時間", "0.25"}, kNow});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        const auto moves = h.sentEvents("setCursorPos");
        QCOMPARE(int(moves.size()), 2);
        const double waited = msBetween(moves[0].time, moves[1].time);
        QVERIFY2(waited >= 249 && waited < 700, qPrintable(QString::number(waited)));
    }

    // ---- pages this version cannot play ---------------------------------------------------

    void refusedProjectNeverRuns_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("kind");
        // Each was once played: an unknown kind as no action or no wait, a
        // short record with its missing values as 0.
        QTest::newRow("unknown command")
            << Pages{kMarker, {"ジャンプ", "1", "2"}} << Pages{kNow, kNow} << 2 << "ジャンプ";
        QTest::newRow("unknown condition")
            << Pages{kMarker, kMarker} << Pages{kNow, {"いつか", "5"}} << 2 << "いつか";
        QTest::newRow("short click") << Pages{{"クリック"}} << Pages{kNow} << 1 << "クリック";
        QTest::newRow("short smooth move")
            << Pages{{"スムーズムーブ", "5"}} << Pages{kNow} << 1 << "スムーズムーブ";
        QTest::newRow("short time") << Pages{kMarker} << Pages{{"時間"}} << 1 << "時間";
        QTest::newRow("empty command") << Pages{kMarker, {}} << Pages{kNow, kNow} << 2 << "";
    }
    void refusedProjectNeverRuns() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        QFETCH(int, page);
        QFETCH(QString, kind);
        testsupport::RecordingInput rec;
        Run run;
        bool finished = false;
        connect(
            &run, &Run::finished, &run, [&finished] { finished = true; }, Qt::DirectConnection);
        runsteps::Refusal refusal;
        // With a stop command, whose watcher must not start either.
        QVERIFY(!run.prepare(RunSettings{0, 1, QStringLiteral("83,3")}, commands, conditions,
                             QStringLiteral("p"), &refusal));
        QCOMPARE(refusal.page, page);
        QCOMPARE(refusal.kind, kind);
        QVERIFY(!run.checkerThread_);
        QVERIFY(run.steps_.empty());
        // Started all the same, it ends at once and plays nothing.
        run.start();
        QVERIFY(finished);
        QVERIFY(!run.runThread_);
        QCOMPARE(rec.eventTexts(), Texts{});
    }

    // ---- the run as a whole ---------------------------------------------------------------

    void zeroPassesStillBeepPauseAndFinish() {
        const int threadsBefore = liveThreadCount();
        Harness h;
        h.begin({kMarker}, {kNow}, /*runNumber*/ 0, /*stertTime*/ 1);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        const std::vector<Signal> log = h.signalLog();
        QCOMPARE(h.signalNames(), (Texts{"beep", "beep", "finished"}));
        QVERIFY(msBetween(h.startedAt, log[0].time) >= 999); // the start delay
        QVERIFY(msBetween(log[0].time, log[1].time) >= 995); // the one-second pause
        QCOMPARE(h.sent(), Texts{});
        QVERIFY(!h.run->running_.load());
        // No thread of the run is left once it is destroyed.
        h.run.reset();
        QTRY_COMPARE_WITH_TIMEOUT(liveThreadCount(), threadsBefore, 2000);
    }

    void stopDuringStartDelay_data() { addKeyModes(); }
    void stopDuringStartDelay() {
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.begin({{"クリック", "左", "0"}}, {kNow}, 1, /*stertTime*/ 5, QStringLiteral("83,3"));
        // Listening to key events where there are some, else polling.
        QCOMPARE(bool(h.run->checkerThread_), !pushed);
        QCOMPARE(h.rec.hookCount(), pushed ? 1 : 0);
        QTest::qWait(100);
        h.key(0xA2, true);
        h.key(0xA4, true);
        h.key(83, true);
        const Clock::time_point stopAt = Clock::now();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 2000);
        QCOMPARE(h.signalNames(), (Texts{"beep", "finished"}));      // no first beep
        QVERIFY(msBetween(stopAt, h.signalLog().back().time) < 500); // no pause
        QCOMPARE(h.sent(), Texts{});
        QVERIFY(!h.run->checkerRunning_.load());
        // The listener goes with the end of the run.
        QTRY_COMPARE_WITH_TIMEOUT(h.rec.hookCount(), 0, 1000);
    }

    void stopBeforeTheRunThreadStarts_data() {
        QTest::addColumn<bool>("byCommand");
        QTest::addColumn<bool>("pushed");
        QTest::newRow("tray click") << false << true;
        QTest::newRow("stop command, watcher already ended") << true << false;
        QTest::newRow("stop command, pushed key events") << true << true;
    }
    void stopBeforeTheRunThreadStarts() {
        QFETCH(bool, byCommand);
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.prepare({kMarker}, {{"時間", "0.01"}}, 114514, 0, QStringLiteral("83,3"));
        if (byCommand) {
            h.key(0xA2, true);
            h.key(0xA4, true);
            h.key(83, true);
            // The watcher ends once it has seen the command.
            QTRY_VERIFY_WITH_TIMEOUT(!h.run->checkerRunning_.load() && h.run->stopping(), 2000);
            h.key(83, false);
            h.key(0xA4, false);
            h.key(0xA2, false);
        } else {
            h.requestStop();
        }
        h.startedAt = Clock::now();
        h.run->start();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 2000);
        QCOMPARE(h.signalNames(), (Texts{"beep", "finished"}));
        QCOMPARE(countOf(h.sent(), kMarkerText), 0);
    }

    void repeatsUntilTheStopCommand_data() { addKeyModes(); }
    void repeatsUntilTheStopCommand() {
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.begin({kMarker}, {{"時間", "0.01"}}, 114514, 0, QStringLiteral("83,3"));
        QTRY_VERIFY_WITH_TIMEOUT(countOf(h.sent(), kMarkerText) >= 5, 3000);
        // An extra modifier keeps the command from stopping the run.
        h.key(0x11, true);
        h.key(0x12, true);
        h.key(0x10, true);
        h.key(83, true);
        QTest::qWait(250);
        QVERIFY(!h.finished());
        h.key(0x10, false);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 1000);
        const int passes = countOf(h.sent(), kMarkerText);
        QTest::qWait(50);
        QCOMPARE(countOf(h.sent(), kMarkerText), passes); // nothing after the end
    }

    void loneModifierStopCommand_data() { addKeyModes(); }
    void loneModifierStopCommand() {
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.begin({kMarker}, {{"時間", "0.01"}}, 114514, 0, QStringLiteral("163,0"));
        QTRY_VERIFY_WITH_TIMEOUT(countOf(h.sent(), kMarkerText) >= 2, 3000);
        h.key(0xA3, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 1000);
    }

    // ---- keys heard as pushed events, which "is down" never shows ---------------------------

    void stopCommandHeardFromKeyEvents_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<std::vector<int>>("heldBefore"); // "is down" before the run
        QTest::addColumn<std::vector<int>>("events");     // codes, negative: released
        QTest::addColumn<bool>("stops");
        using Codes = std::vector<int>;
        QTest::newRow("ctrl+alt+s") << "83,3" << Codes{} << Codes{0xA2, 0xA4, 83} << true;
        QTest::newRow("right-hand modifiers") << "83,3" << Codes{} << Codes{0xA3, 0xA5, 83} << true;
        QTest::newRow("generic modifier codes")
            << "83,3" << Codes{} << Codes{0x11, 0x12, 83} << true;
        QTest::newRow("modifiers held since before the run")
            << "83,3" << Codes{0xA2, 0xA4} << Codes{83} << true;
        QTest::newRow("lone right ctrl") << "163,0" << Codes{} << Codes{0xA3} << true;
        QTest::newRow("shift too") << "83,3" << Codes{} << Codes{0xA2, 0xA4, 0xA0, 83} << false;
        QTest::newRow("shift held since before the run")
            << "83,3" << Codes{0xA1} << Codes{0xA2, 0xA4, 83} << false;
        QTest::newRow("alt missing") << "83,3" << Codes{} << Codes{0xA2, 83} << false;
        QTest::newRow("alt released first")
            << "83,3" << Codes{} << Codes{0xA2, 0xA4, -0xA4, 83} << false;
        QTest::newRow("modifiers after the key")
            << "83,3" << Codes{} << Codes{83, 0xA2, 0xA4} << true;
        QTest::newRow("extra modifier released last")
            << "83,3" << Codes{} << Codes{0xA0, 0xA2, 0xA4, 83, -0xA0} << true;
        QTest::newRow("key released before the modifiers")
            << "83,3" << Codes{} << Codes{83, -83, 0xA2, 0xA4} << false;
        QTest::newRow("lone ctrl, other side") << "163,0" << Codes{} << Codes{0xA2} << false;
        QTest::newRow("another key") << "83,3" << Codes{} << Codes{0xA2, 0xA4, 84} << false;
    }
    void stopCommandHeardFromKeyEvents() {
        QFETCH(QString, command);
        QFETCH(std::vector<int>, heldBefore);
        QFETCH(std::vector<int>, events);
        QFETCH(bool, stops);
        Harness h;
        for (int vk : heldBefore)
            h.rec.setDown(vk, true);
        h.begin({kMarker}, {{"時間", "0.01"}}, 114514, 0, command);
        QTRY_VERIFY_WITH_TIMEOUT(countOf(h.sent(), kMarkerText) >= 2, 3000);
        for (int vk : heldBefore)
            h.rec.setDown(vk, false); // from here on "is down" says nothing is held
        if (stops) {
            const RunKeys keys = parseRunKeys(command);
            QTest::ignoreMessage(
                QtDebugMsg,
                qPrintable(QStringLiteral("[Run] stop command detected: vk= %1  mask= %2")
                               .arg(keys.vk)
                               .arg(keys.mask)));
        }
        for (int code : events)
            h.rec.sendKeyEventOnly(std::abs(code), code > 0);
        const Clock::time_point pressedAt = Clock::now();
        if (stops) {
            QVERIFY(h.run->stopping()); // at once, on the GUI thread
            QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 1000);
            QVERIFY(msBetween(pressedAt, h.signalLog().back().time) < 500); // no pause
        } else {
            QTest::qWait(200);
            QVERIFY(!h.finished());
            h.requestStop();
            QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 1000);
        }
        QTRY_COMPARE_WITH_TIMEOUT(h.rec.hookCount(), 0, 1000);
    }

    void keyConditionHeardFromKeyEvents_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("heldBefore"); // the key, by "is down", when the wait begins
        QTest::addColumn<std::vector<int>>("events");
        QTest::addColumn<bool>("met");
        using Codes = std::vector<int>;
        QTest::newRow("ctrl+a") << "65,2" << false << Codes{0xA2, 65, -65} << true;
        QTest::newRow("ctrl+a, not yet released") << "65,2" << false << Codes{0xA2, 65} << false;
        QTest::newRow("plain a") << "65" << false << Codes{65, -65} << true;
        QTest::newRow("a with shift") << "65" << false << Codes{0xA0, 65, -65} << false;
        QTest::newRow("lone left ctrl") << "162,0" << false << Codes{0xA2, -0xA2} << true;
        QTest::newRow("held: its release is no press") << "65" << true << Codes{-65} << false;
        QTest::newRow("held, released, pressed again")
            << "65" << true << Codes{-65, 65, -65} << true;
        QTest::newRow("ctrl after the key") << "65,2" << false << Codes{65, 0xA2, -65} << true;
        QTest::newRow("ctrl released before the key")
            << "65,2" << false << Codes{0xA0, 0xA2, 65, -0xA0, -0xA2, -65} << true;
        QTest::newRow("another key") << "65,2" << false << Codes{0xA2, 66, -66} << false;
    }
    void keyConditionHeardFromKeyEvents() {
        QFETCH(QString, keys);
        QFETCH(bool, heldBefore);
        QFETCH(std::vector<int>, events);
        QFETCH(bool, met);
        Harness h;
        h.rec.setDown(65, heldBefore);
        h.begin({{"なし"}, kMarker}, {{"キー", keys}, kNow});
        QCOMPARE(h.rec.hookCount(), 1); // listening without a stop command
        QTest::qWait(100);              // the condition is waiting
        h.rec.setDown(65, false);
        for (int code : events)
            h.rec.sendKeyEventOnly(std::abs(code), code > 0);
        if (met) {
            QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 1000);
            QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        } else {
            QTest::qWait(200);
            QCOMPARE(countOf(h.sent(), kMarkerText), 0);
            // A stop ends the wait at once.
            const Clock::time_point stopAt = Clock::now();
            h.requestStop();
            QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 1000);
            QVERIFY(msBetween(stopAt, h.signalLog().back().time) < 500);
            QCOMPARE(countOf(h.sent(), kMarkerText), 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(h.rec.hookCount(), 0, 1000);
    }

    void refusedKeyEventsFallBackToPolling() {
        Harness h;
        h.rec.failNextHookInstall(5);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no key events"));
        h.begin({kMarker}, {{"時間", "0.01"}}, 114514, 0, QStringLiteral("83,3"));
        QVERIFY(h.run->checkerThread_);
        QCOMPARE(h.rec.hookCount(), 0);
        h.rec.setDown(0xA2, true);
        h.rec.setDown(0xA4, true);
        h.rec.setDown(83, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 2000);
    }

    void lateKeyEventAfterTheRunIsGone() {
        // Deleted on its own thread while the GUI thread is busy: the
        // listener's removal is still queued when the next keys come.
        testsupport::RecordingInput rec;
        QWidget window;
        auto *run = new Run;
        std::atomic<bool> destroyed{false};
        connect(
            run, &QObject::destroyed, &window, [&destroyed] { destroyed = true; },
            Qt::DirectConnection);
        QVERIFY(run->prepare(RunSettings{0, 1, QStringLiteral("83,3")}, {kMarker}, {kNow},
                             QStringLiteral("p")));
        QCOMPARE(rec.hookCount(), 1);
        startRunThread(run, &window);
        const Clock::time_point t0 = Clock::now();
        while (!destroyed.load() && msBetween(t0, Clock::now()) < 5000)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        QVERIFY(destroyed.load());
        QCOMPARE(rec.hookCount(), 1);
        for (int vk : {0xA2, 0xA4, 83})
            QVERIFY(!rec.sendKeyEventOnly(vk, true)); // reaches nothing of the run
        QTRY_COMPARE_WITH_TIMEOUT(rec.hookCount(), 0, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(window.findChildren<QThread *>().isEmpty(), 3000);
    }

    void stopRequestEndsARunWithoutStopCommand() {
        // What the tray icon's click does (tests/app/gui_runtrayicon.cpp).
        Harness h;
        h.base.pauseCommand = QStringLiteral("なし");
        h.begin({kMarker}, {{"時間", "0.01"}}, 114514);
        QVERIFY(!h.run->checkerThread_); // "なし" for both keys: no watcher
        QCOMPARE(h.rec.hookCount(), 0);  // and no key listener
        QTRY_VERIFY_WITH_TIMEOUT(countOf(h.sent(), kMarkerText) >= 2, 3000);
        QTest::qWait(100);
        QVERIFY(!h.finished());
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 1000);
        QCOMPARE(h.signalNames(), (Texts{"beep", "beep", "finished"}));
    }

    void endlessTimedActionsKeepFewThreads() {
        const int threadsBefore = liveThreadCount();
        const long long memoryBefore = virtualMemoryKb();
        Harness h;
        h.begin({{"クリック", "左", "0"}, {"キー", "65,0", "0"}, {"入力", "a", "0.001"}},
                {kNow, kNow, kNow}, 114514);
        // Wine starts threads slowly, and each pass's typing waits for the
        // previous pass's to keep its order: about 10 s there, under load.
        QTRY_VERIFY_WITH_TIMEOUT(countOf(h.sent(), "mouseUp 0") >= 500, 30000);
        const int threadsDuring = liveThreadCount() - threadsBefore;
        const long long growthMb = (virtualMemoryKb() - memoryBefore) / 1024;
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        // 1,500 workers left unjoined would keep gigabytes of stacks mapped.
        QVERIFY2(growthMb < 1024, qPrintable(QString::number(growthMb)));
        QVERIFY2(threadsDuring <= 40, qPrintable(QString::number(threadsDuring)));
    }

    void destroyingARunReleasesWhatItHolds() {
        Harness h;
        h.begin({{"キー", "70,2", "30"}, {"クリック", "右", "30"}}, {kNow, kWaitOver});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), "mouseDown 1"), 1, 3000);
        // The key's worker may start after the click's on a loaded machine.
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), "keyDown 70"), 1, 3000);
        h.run.reset();
        QVERIFY(!h.rec.isDown(70) && !h.rec.isDown(0x11) && !h.rec.isDown(platform::kVkRButton));
        QCOMPARE(countOf(h.sent(), "keyUp 70"), 1);
        QCOMPARE(countOf(h.sent(), "mouseUp 1"), 1);
    }

    void runsOnItsOwnThreadAndDeletesItself() {
        // Started the way the main window starts it.
        testsupport::RecordingInput rec;
        QWidget window;
        auto *run = new Run;
        QPointer<Run> alive(run);
        bool done = false;
        RunSettings settings;
        settings.startDelay = 0;
        settings.runCount = 2;
        QVERIFY(run->prepare(settings, {kMarker}, {kNow}, QStringLiteral("p")));
        connect(run, &Run::finished, &window, [&done] { done = true; });
        QPointer<QThread> thread = startRunThread(run, &window);
        QTRY_VERIFY_WITH_TIMEOUT(done, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(thread.isNull(), 3000);
        QVERIFY(alive.isNull());
        QCOMPARE(countOf(rec.eventTexts(), kMarkerText), 2);
    }
};

QTEST_MAIN(RunTest)
#include "gui_run.moc"
