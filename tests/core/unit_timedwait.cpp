// Deadline waits: slice sizes, early stops, never ending early, and values
// that must not break the clock arithmetic.

#include "core/timedwait.h"

#include <QtTest>

#include <atomic>
#include <cmath>
#include <thread>

using namespace std::chrono;
using timedwait::Clock;

namespace {
double msSince(Clock::time_point t) {
    return duration<double, std::milli>(Clock::now() - t).count();
}
} // namespace

class TimedWaitTest : public QObject {
    Q_OBJECT

private slots:
    void slices_data() {
        QTest::addColumn<qint64>("remainingUs");
        QTest::addColumn<qint64>("sliceMs");
        QTest::newRow("long wait") << qint64(10'000'000) << qint64(5);
        QTest::newRow("just above 5 ms") << qint64(5'001) << qint64(5);
        QTest::newRow("exactly 5 ms") << qint64(5'000) << qint64(5);
        QTest::newRow("truncated") << qint64(4'999) << qint64(4);
        QTest::newRow("one ms") << qint64(1'000) << qint64(1);
        QTest::newRow("under one ms: over") << qint64(999) << qint64(0);
    }
    void slices() {
        QFETCH(qint64, remainingUs);
        QFETCH(qint64, sliceMs);
        QCOMPARE(qint64(timedwait::nextSlice(microseconds(remainingUs)).count()), sliceMs);
    }

    void waitNeverEndsMoreThanOneMsEarly() {
        for (double seconds : {0.0123, 0.05, 0.1007}) {
            const Clock::time_point t = Clock::now();
            timedwait::waitSeconds(seconds, [] { return false; });
            const double took = msSince(t);
            QVERIFY2(took >= seconds * 1000 - 1.0, qPrintable(QString::number(took)));
            QVERIFY2(took < seconds * 1000 + 100, qPrintable(QString::number(took)));
        }
    }

    void nothingToWait_data() {
        QTest::addColumn<double>("seconds");
        QTest::newRow("zero") << 0.0;
        QTest::newRow("negative") << -4.0;
        QTest::newRow("nan") << std::nan("");
        QTest::newRow("under a millisecond") << 0.0005;
    }
    void nothingToWait() {
        QFETCH(double, seconds);
        const Clock::time_point t = Clock::now();
        timedwait::waitSeconds(seconds, [] { return false; });
        QVERIFY(msSince(t) < 20);
    }

    void stopEndsALongWait() {
        std::atomic<bool> stop{false};
        std::thread stopper([&stop] {
            std::this_thread::sleep_for(milliseconds(50));
            stop = true;
        });
        const Clock::time_point t = Clock::now();
        timedwait::waitSeconds(1e300, [&stop] { return stop.load(); }); // saturated, not UB
        const double took = msSince(t);
        stopper.join();
        QVERIFY2(took >= 45 && took < 300, qPrintable(QString::number(took)));
    }

    void sleepUntilReportsStopOrDeadline() {
        const Clock::time_point due = Clock::now() + milliseconds(30);
        QVERIFY(timedwait::sleepUntil(due, milliseconds(10), [] { return false; }));
        QVERIFY(Clock::now() >= due);
        QVERIFY(!timedwait::sleepUntil(Clock::now() + seconds(5), milliseconds(1),
                                       [] { return true; }));
    }

    void deadlinesSaturate() {
        const Clock::time_point now = Clock::now();
        QCOMPARE(timedwait::deadlineAfter(now, -1.0), now);
        QCOMPARE(timedwait::deadlineAfter(now, std::nan("")), now);
        QVERIFY(timedwait::deadlineAfter(now, INFINITY) > now + hours(24 * 365));
        QVERIFY(timedwait::deadlineAfter(now, 1e300) > now);
        QCOMPARE(timedwait::deadlineAfter(now, 0.25), now + milliseconds(250));
    }
};

QTEST_GUILESS_MAIN(TimedWaitTest)
#include "unit_timedwait.moc"
