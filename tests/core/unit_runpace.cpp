// The pace of a run: durations at a speed and with variation, positions
// varied within their bounds, the speeds a user may give, the key
// combinations that must not clash, and the clock that stands still while
// a run is paused.

#include "core/runpace.h"

#include <QtTest>

#include <cmath>
#include <limits>

using runpace::KeysProblem;
using runpace::Pace;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

Q_DECLARE_METATYPE(runpace::KeysProblem)

class RunPaceTest : public QObject {
    Q_OBJECT

private slots:
    void seconds_data() {
        QTest::addColumn<double>("written");
        QTest::addColumn<double>("speed");
        QTest::addColumn<int>("percent");
        QTest::addColumn<double>("unit");
        QTest::addColumn<double>("played");
        QTest::newRow("as written") << 2.0 << 1.0 << 0 << 0.7 << 2.0;
        QTest::newRow("twice as fast") << 2.0 << 2.0 << 0 << 0.0 << 1.0;
        QTest::newRow("half as fast") << 2.0 << 0.5 << 0 << 0.0 << 4.0;
        QTest::newRow("slowest") << 1.0 << 0.1 << 0 << 0.0 << 10.0;
        QTest::newRow("varied up") << 2.0 << 1.0 << 10 << 1.0 << 2.2;
        QTest::newRow("varied down") << 2.0 << 1.0 << 10 << -1.0 << 1.8;
        QTest::newRow("half the variation") << 2.0 << 2.0 << 50 << 0.5 << 1.25;
        QTest::newRow("a draw beyond 1 counts as 1") << 1.0 << 1.0 << 20 << 5.0 << 1.2;
        QTest::newRow("all of it, down") << 1.0 << 1.0 << 100 << -1.0 << 0.0;
        QTest::newRow("variation over 100 counts as 100") << 1.0 << 1.0 << 300 << -1.0 << 0.0;
        QTest::newRow("zero stays zero") << 0.0 << 2.0 << 50 << 1.0 << 0.0;
        QTest::newRow("negative written") << -3.0 << 1.0 << 0 << 0.0 << 0.0;
        QTest::newRow("NaN written") << std::nan("") << 1.0 << 0 << 0.0 << 0.0;
        QTest::newRow("speed 0 counts as 1") << 2.0 << 0.0 << 0 << 0.0 << 2.0;
        QTest::newRow("NaN speed counts as 1") << 2.0 << std::nan("") << 0 << 0.0 << 2.0;
        QTest::newRow("infinite speed counts as 1")
            << 2.0 << std::numeric_limits<double>::infinity() << 0 << 0.0 << 2.0;
    }
    void seconds() {
        QFETCH(double, written);
        QFETCH(double, speed);
        QFETCH(int, percent);
        QFETCH(double, unit);
        QFETCH(double, played);
        const double got = runpace::seconds(written, Pace{speed, percent, 0}, unit);
        QVERIFY2(std::abs(got - played) < 1e-9, qPrintable(QString::number(got)));
    }

    void coordinate_data() {
        QTest::addColumn<int>("written");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<double>("unit");
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("played");
        QTest::newRow("no variation") << 50 << 0 << 1.0 << 0 << 99 << 50;
        QTest::newRow("no variation keeps a place off the area")
            << 150 << 0 << 1.0 << 0 << 99 << 150;
        QTest::newRow("right") << 50 << 5 << 1.0 << 0 << 99 << 55;
        QTest::newRow("left") << 50 << 5 << -1.0 << 0 << 99 << 45;
        QTest::newRow("rounded") << 50 << 5 << 0.5 << 0 << 99 << 53;
        QTest::newRow("never off the left edge") << 2 << 5 << -1.0 << 0 << 99 << 0;
        QTest::newRow("never off the right edge") << 98 << 5 << 1.0 << 0 << 99 << 99;
        QTest::newRow("negative origin") << -1910 << 20 << -1.0 << -1920 << -1 << -1920;
        QTest::newRow("window edge") << 110 << 30 << -1.0 << 100 << 299 << 100;
        QTest::newRow("empty area leaves it") << 50 << 5 << 1.0 << 10 << 9 << 50;
        QTest::newRow("no overflow")
            << std::numeric_limits<int>::max() << 500 << 1.0 << std::numeric_limits<int>::min()
            << std::numeric_limits<int>::max() << std::numeric_limits<int>::max();
    }
    void coordinate() {
        QFETCH(int, written);
        QFETCH(int, pixels);
        QFETCH(double, unit);
        QFETCH(int, low);
        QFETCH(int, high);
        QTEST(runpace::coordinate(written, pixels, unit, low, high), "played");
    }

    void parseSpeed_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("speed"); // 0: refused
        QTest::newRow("two") << "2" << 2.0;
        QTest::newRow("half") << "0.5" << 0.5;
        QTest::newRow("lowest") << "0.1" << 0.1;
        QTest::newRow("highest") << " 10 " << 10.0;
        QTest::newRow("with x") << "1.5x" << 1.5;
        QTest::newRow("with the sign") << "3×" << 3.0;
        QTest::newRow("zero") << "0" << 0.0;
        QTest::newRow("negative") << "-2" << 0.0;
        QTest::newRow("nan") << "nan" << 0.0;
        QTest::newRow("inf") << "inf" << 0.0;
        QTest::newRow("beyond double") << "1e309" << 0.0;
        QTest::newRow("too fast") << "10.5" << 0.0;
        QTest::newRow("too slow") << "0.05" << 0.0;
        QTest::newRow("words") << "fast" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
    }
    void parseSpeed() {
        QFETCH(QString, text);
        QFETCH(double, speed);
        const std::optional<double> parsed = runpace::parseSpeed(text);
        QCOMPARE(parsed.has_value(), speed != 0.0);
        if (parsed)
            QCOMPARE(*parsed, speed);
    }

    void keysProblem_data() {
        QTest::addColumn<QString>("stop");
        QTest::addColumn<QString>("pause");
        QTest::addColumn<QString>("start");
        QTest::addColumn<KeysProblem>("problem");
        QTest::newRow("defaults") << "83,3"
                                  << "80,3"
                                  << "なし" << KeysProblem::None;
        QTest::newRow("no pause keys") << "83,3"
                                       << "なし"
                                       << "なし" << KeysProblem::None;
        QTest::newRow("pause is stop") << "83,3"
                                       << "83,3"
                                       << "なし" << KeysProblem::PauseIsStop;
        QTest::newRow("pause only ctrl") << "83,3"
                                         << "162,0"
                                         << "なし" << KeysProblem::PauseNoKey;
        QTest::newRow("pause unreadable") << "83,3"
                                          << "abc"
                                          << "なし" << KeysProblem::PauseNoKey;
        QTest::newRow("pause a mouse button") << "83,3"
                                              << "1,3"
                                              << "なし" << KeysProblem::PauseNoKey;
        QTest::newRow("pause beside no stop keys") << "なし"
                                                   << "80,3"
                                                   << "なし" << KeysProblem::None;
        QTest::newRow("same key, other modifiers") << "83,3"
                                                   << "83,2"
                                                   << "なし" << KeysProblem::None;
        QTest::newRow("start is stop") << "83,3"
                                       << "80,3"
                                       << "83,3" << KeysProblem::StartIsStop;
        QTest::newRow("start is pause") << "83,3"
                                        << "80,3"
                                        << "80,3" << KeysProblem::StartIsPause;
        QTest::newRow("start only modifiers") << "83,3"
                                              << "80,3"
                                              << "16,0" << KeysProblem::StartNoKey;
        QTest::newRow("start of its own") << "83,3"
                                          << "80,3"
                                          << "120,3" << KeysProblem::None;
    }
    void keysProblem() {
        QFETCH(QString, stop);
        QFETCH(QString, pause);
        QFETCH(QString, start);
        QTEST(runpace::keysProblem(stop, pause, start), "problem");
    }

    // The run's time stands still from a pause to its resume, so what a page
    // had left of its time is there after the resume.
    void pauseClockKeepsTheRemainingTime() {
        runpace::PauseClock clock;
        const Clock::time_point t0{};
        const Clock::time_point deadline = clock.runTime(t0) + milliseconds(1000);
        QVERIFY(clock.pause(t0 + milliseconds(400)));
        QVERIFY(!clock.pause(t0 + milliseconds(500))); // a second pause changes nothing
        QVERIFY(clock.paused());
        // While paused, the run's time stands at the pause.
        QCOMPARE(clock.runTime(t0 + milliseconds(400)), t0 + milliseconds(400));
        QCOMPARE(clock.runTime(t0 + milliseconds(5000)), t0 + milliseconds(400));
        QVERIFY(clock.resume(t0 + milliseconds(5000)));
        QVERIFY(!clock.resume(t0 + milliseconds(5100)));
        // 600 ms were left at the pause; they are left at the resume.
        QCOMPARE(deadline - clock.runTime(t0 + milliseconds(5000)), milliseconds(600));
        QCOMPARE(clock.pausedFor(t0 + milliseconds(6000)), milliseconds(4600));
        // A second pause adds to the first.
        QVERIFY(clock.pause(t0 + milliseconds(5200)));
        QVERIFY(clock.resume(t0 + milliseconds(5700)));
        QCOMPARE(clock.runTime(t0 + milliseconds(6000)), t0 + milliseconds(900));
    }
};

QTEST_GUILESS_MAIN(RunPaceTest)
#include "unit_runpace.moc"
