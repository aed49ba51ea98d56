// Pausing and resuming a run, its speed and its variation, against the
// recording input layer: nothing held while paused, every wait and hold
// keeps what it had left, the stop keys still stop; durations scaled by the
// speed, positions varied within the screen or the window, a seed that
// repeats them.

#include "run/runharness.h"

#include <QImage>
#include <QtTest>

#include <algorithm>

using namespace runtest;
using Texts = std::vector<std::string>;

namespace {

constexpr int kCtrl = 0x11;
constexpr int kAlt = 0x12;
constexpr int kP = 0x50;
constexpr int kS = 0x53;

// What the layer holds now, by the events it was sent.
bool anythingHeld(const testsupport::RecordingInput &rec) {
    for (int vk = 1; vk < 256; ++vk) {
        if (const_cast<testsupport::RecordingInput &>(rec).isDown(vk))
            return true;
    }
    return false;
}

} // namespace

class RunPauseTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // A pause lets go of what the run holds at once and presses nothing
    // until the resume, which presses it again for the rest of its time.
    void pauseLetsGoAndResumeHoldsOn_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<Texts>("downs");
        QTest::addColumn<Texts>("ups");
        QTest::newRow("key with ctrl")
            << QStringList{"キー", "65,2", "0.6"} << Texts{"keyDown 17", "keyDown 65"}
            << Texts{"keyUp 17", "keyUp 65"};
        QTest::newRow("left button")
            << QStringList{"クリック", "左", "0.6"} << Texts{"mouseDown 0"} << Texts{"mouseUp 0"};
    }
    void pauseLetsGoAndResumeHoldsOn() {
        QFETCH(QStringList, command);
        QFETCH(Texts, downs);
        QFETCH(Texts, ups);
        Harness h;
        h.begin({command}, {kWaitOver});
        QTRY_COMPARE_WITH_TIMEOUT(int(h.sent().size()), int(downs.size()), 3000);
        QTest::qWait(200);
        const Clock::time_point pausedAt = Clock::now();
        h.run->requestPause();
        QVERIFY(h.run->paused());
        // Let go before requestPause returned, in the order held.
        Texts sent = h.sent();
        QCOMPARE(Texts(sent.begin() + downs.size(), sent.end()), ups);
        QVERIFY(!anythingHeld(h.rec));
        QTest::qWait(900); // longer than the whole hold
        QCOMPARE(h.sent(), sent);
        QVERIFY(!h.finished());

        const Clock::time_point resumedAt = Clock::now();
        h.run->requestResume();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        sent = h.sent();
        // Pressed again (modifiers first), then released at the end.
        Texts expected = downs;
        expected.insert(expected.end(), ups.begin(), ups.end());
        expected.insert(expected.end(), downs.begin(), downs.end());
        QCOMPARE(Texts(sent.begin(), sent.begin() + expected.size()), expected);
        QCOMPARE(int(sent.size()), int(expected.size() + ups.size()));
        // The rest of the hold: what was left at the pause (about 0.4 s).
        const std::string &lastUp = ups.back();
        const auto events = h.rec.events();
        const auto last = std::find_if(events.rbegin(), events.rend(),
                                       [&](const auto &e) { return e.text() == lastUp; });
        const double rest = msBetween(resumedAt, last->time);
        QVERIFY2(rest >= 250 && rest < 2000, qPrintable(QString::number(rest)));
        QVERIFY(msBetween(pausedAt, resumedAt) >= 900);
    }

    // The time of the page stops counting: a Time condition paused halfway
    // waits its other half after the resume, not less.
    void pauseKeepsThePagesRemainingTime() {
        Harness h;
        h.begin({kMarker, {"マウスポインター", "8", "8"}}, {{"時間", "0.6"}, kNow});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 3000);
        const Clock::time_point first = h.sentEvents("setCursorPos").front().time;
        QTest::qWait(300);
        h.run->requestPause();
        QTest::qWait(700);
        QCOMPARE(int(h.sentEvents("setCursorPos").size()), 1);
        h.run->requestResume();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        const double second = msBetween(first, h.sentEvents("setCursorPos").at(1).time);
        // 0.6 s of waiting plus the 0.7 s paused, never less.
        QVERIFY2(second >= 1280 && second < 4000, qPrintable(QString::number(second)));
    }

    // Typed text stops where it is and the rest comes after the resume.
    void typingStopsAndGoesOn() {
        Harness h;
        h.begin({{"入力", "abcdef", "0.6"}}, {kWaitOver});
        QTRY_VERIFY_WITH_TIMEOUT(h.sentEvents("unicodeDown").size() >= 2, 3000);
        h.run->requestPause();
        const int typed = int(h.sentEvents("unicodeDown").size());
        QTest::qWait(700);
        QVERIFY(int(h.sentEvents("unicodeDown").size()) <= typed + 1); // one already under way
        QVERIFY(int(h.sentEvents("unicodeDown").size()) < 6);
        h.run->requestResume();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        QString text;
        for (const auto &e : h.sentEvents("unicodeDown"))
            text += QChar(e.a);
        QCOMPARE(text, QStringLiteral("abcdef"));
    }

    // A smooth move stays where it is while paused and ends on its target.
    void smoothMoveStaysAndEnds() {
        Harness h;
        h.rec.setCursorPos(0, 0);
        h.rec.clearEvents();
        h.begin({{"スムーズムーブ", "400", "0", "0.6"}}, {kWaitOver});
        QTRY_VERIFY_WITH_TIMEOUT(h.sentEvents("setCursorPos").size() >= 3, 3000);
        h.run->requestPause();
        QTest::qWait(30);
        const auto before = h.sentEvents("setCursorPos");
        QTest::qWait(500);
        QCOMPARE(h.sentEvents("setCursorPos").size(), before.size());
        QVERIFY(before.back().a < 400);
        h.run->requestResume();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        const auto moves = h.sentEvents("setCursorPos");
        QCOMPARE(moves.back().a, 400);
        // It goes on from where it stood, not from the start.
        QVERIFY(moves.at(before.size()).a >= before.back().a);
    }

    // The pause keys pause and resume (heard or polled); the stop keys stop
    // a paused run.
    void pauseKeysAndStopKeysWhilePaused_data() { addKeyModes(); }
    void pauseKeysAndStopKeysWhilePaused() {
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.base.pauseCommand = QStringLiteral("80,3");
        h.begin({kMarker}, {{"時間", "0.01"}}, 114514, 0, QStringLiteral("83,3"));
        QTRY_VERIFY_WITH_TIMEOUT(countOf(h.sent(), kMarkerText) >= 3, 3000);
        h.key(kCtrl, true);
        h.key(kAlt, true);
        h.key(kP, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.run->paused(), 1000);
        h.key(kP, false);
        QTest::qWait(100);
        const int passes = countOf(h.sent(), kMarkerText);
        QTest::qWait(300);
        QCOMPARE(countOf(h.sent(), kMarkerText), passes);
        // Pressed again: resumed.
        h.key(kP, true);
        QTRY_VERIFY_WITH_TIMEOUT(!h.run->paused(), 1000);
        h.key(kP, false);
        QTRY_VERIFY_WITH_TIMEOUT(countOf(h.sent(), kMarkerText) > passes, 3000);
        QTest::qWait(100); // a poll sees the key up before it goes down again
        // Paused again, then stopped by the stop keys.
        h.key(kP, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.run->paused(), 1000);
        h.key(kP, false);
        h.key(kS, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 2000);
        h.key(kS, false);
        h.key(kAlt, false);
        h.key(kCtrl, false);
    }

    // A run holding a modifier of its own (Shift) is still paused by the
    // pause keys: what the run holds itself may be down or not.
    void pauseKeysWhileTheRunHoldsAModifier_data() { addKeyModes(); }
    void pauseKeysWhileTheRunHoldsAModifier() {
        QFETCH(bool, pushed);
        Harness h;
        h.pushedKeys = pushed;
        h.begin({{"キー", "70,4", "30"}}, {kWaitOver});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), "keyDown 70"), 1, 3000);
        h.key(kCtrl, true);
        h.key(kAlt, true);
        h.key(kP, true);
        QTRY_VERIFY_WITH_TIMEOUT(h.run->paused(), 1000);
        h.key(kP, false);
        h.key(kAlt, false);
        h.key(kCtrl, false);
        QVERIFY(!h.rec.isDown(70) && !h.rec.isDown(0x10));
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
    }

    // A Key condition is not met by a press made while the run is paused.
    void keyPressedWhilePausedDoesNotCount() {
        Harness h;
        h.begin({kMarker, {"マウスポインター", "8", "8"}}, {{"キー", "65,0"}, kNow});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 3000);
        h.run->requestPause();
        h.key(65, true);
        h.key(65, false);
        QTest::qWait(100);
        h.run->requestResume();
        QTest::qWait(300);
        QCOMPARE(int(h.sentEvents("setCursorPos").size()), 1); // still waiting
        h.key(65, true);
        h.key(65, false);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QCOMPARE(int(h.sentEvents("setCursorPos").size()), 2);
    }

    // A stop while paused ends the run without pressing anything again.
    void stopWhilePausedPressesNothing() {
        Harness h;
        h.begin({{"キー", "65,0", "5"}}, {kWaitOver});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), "keyDown 65"), 1, 3000);
        h.run->requestPause();
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QCOMPARE(h.sent(), (Texts{"keyDown 65", "keyUp 65"}));
        QVERIFY(!anythingHeld(h.rec));
    }

    // ---- speed ----------------------------------------------------------------

    // Every written duration is divided by the speed; the window's time limit
    // is not (it waits for the desktop).
    void speedScalesWrittenTimes_data() {
        QTest::addColumn<double>("speed");
        QTest::addColumn<double>("lowMs");
        QTest::addColumn<double>("highMs");
        QTest::newRow("ten times as fast") << 10.0 << 290.0 << 2000.0; // 3 s written
        QTest::newRow("half as fast") << 0.5 << 1190.0 << 5000.0;      // 0.6 s written
    }
    void speedScalesWrittenTimes() {
        QFETCH(double, speed);
        QFETCH(double, lowMs);
        QFETCH(double, highMs);
        Harness h;
        h.base.pace.speed = speed;
        const QString written = speed > 1 ? QStringLiteral("3") : QStringLiteral("0.6");
        h.begin({kMarker, {"マウスポインター", "8", "8"}}, {{"時間", written}, kNow});
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        const auto moves = h.sentEvents("setCursorPos");
        QCOMPARE(int(moves.size()), 2);
        const double gap = msBetween(moves[0].time, moves[1].time);
        QVERIFY2(gap >= lowMs && gap < highMs, qPrintable(QString::number(gap)));
    }

    // The longest hold a Key page can write, played at the slowest speed,
    // is still held (not wrapped round to a negative time) until a stop.
    void longestHoldAtTheSlowestSpeed() {
        Harness h;
        h.base.pace.speed = runpace::kMinSpeed;
        h.begin({{"キー", "65,0", "1e12"}}, {kWaitOver});
        QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), "keyDown 65"), 1, 3000);
        QTest::qWait(200);
        QCOMPARE(countOf(h.sent(), "keyUp 65"), 0);
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
    }

    // ---- variation --------------------------------------------------------------

    // Positions vary within ± the pixels and never leave the screen; the same
    // seed gives the same positions; text stays exact.
    void variationStaysInBoundsAndRepeatsWithItsSeed() {
        const QStringList pointer{"マウスポインター", "2", "470"};
        const QList<QStringList> pages(12, pointer);
        QList<QStringList> conditions(12, kNow);
        QList<QStringList> commands = pages;
        commands << QStringList{"入力", "exact", "0.05"};
        conditions << kWaitOver;
        auto positions = [&](std::uint64_t seed) {
            Harness h;
            h.base.pace = runpace::Pace{1.0, 50, 20};
            h.base.seed = seed;
            // The screen the positions are kept on, whatever the platform's.
            h.rec.offerScreen(true);
            QImage screen(640, 480, QImage::Format_RGB32);
            screen.fill(Qt::black);
            h.rec.screen().show(screen);
            h.begin(commands, conditions);
            [&] { QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000); }();
            QString text;
            for (const auto &e : h.sentEvents("unicodeDown"))
                text += QChar(e.a);
            [&] { QCOMPARE(text, QStringLiteral("exact")); }();
            std::vector<std::pair<int, int>> out;
            for (const auto &e : h.sentEvents("setCursorPos"))
                out.emplace_back(e.a, e.b);
            return out;
        };
        const auto first = positions(7);
        const auto again = positions(7);
        const auto other = positions(8);
        QCOMPARE(int(first.size()), 12);
        QVERIFY(first == again);
        QVERIFY(first != other);
        bool moved = false;
        for (const auto &[x, y] : first) {
            QVERIFY2(x >= 0 && x <= 22, qPrintable(QString::number(x))); // never left of 0
            // Never below the screen's last row.
            QVERIFY2(y >= 450 && y <= 479, qPrintable(QString::number(y)));
            moved = moved || y != 470;
        }
        QVERIFY(moved);
    }

    // A position in a window varies within the window's client area.
    void variationKeepsInTheWindow() {
        Harness h;
        h.rec.offerWindowAccess(true);
        testsupport::FakeWindow window;
        window.info.id = 5;
        window.info.title = u"target";
        window.info.client = {100, 200, 50, 40};
        h.rec.setWindows({window}, 5);
        h.base.pace = runpace::Pace{1.0, 0, 30};
        const QStringList page{"ウィンドウ座標", "target", "含む", "", "1", "1"};
        h.begin(QList<QStringList>(10, page), QList<QStringList>(10, kNow));
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        const auto moves = h.sentEvents("setCursorPos");
        QCOMPARE(int(moves.size()), 10);
        for (const auto &e : moves) {
            QVERIFY2(e.a >= 100 && e.a <= 149, qPrintable(QString::number(e.a)));
            QVERIFY2(e.b >= 200 && e.b <= 239, qPrintable(QString::number(e.b)));
        }
    }
};

QTEST_MAIN(RunPauseTest)
#include "gui_runpause.moc"
