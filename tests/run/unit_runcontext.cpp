// What every step of a run relies on: the polling wait ends on a stop, the
// workers are joined, the worker cap gives way to a stop, and what is held
// down is released when the run's context goes.

#include "run/runcontext.h"
#include "support/recordinginput.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

using std::chrono::milliseconds;

class RunContextTest : public QObject {
    Q_OBJECT

private slots:
    void waitUntilEndsWhenMetOrStopped_data() {
        QTest::addColumn<int>("metAfter"); // calls; -1 never
        QTest::addColumn<bool>("stopFirst");
        QTest::addColumn<bool>("result");
        QTest::newRow("met at once") << 1 << false << true;
        QTest::newRow("met on the third look") << 3 << false << true;
        QTest::newRow("met and stopped: met wins") << 1 << true << true;
        QTest::newRow("never met, stopped") << -1 << true << false;
    }
    void waitUntilEndsWhenMetOrStopped() {
        QFETCH(int, metAfter);
        QFETCH(bool, stopFirst);
        QFETCH(bool, result);
        testsupport::RecordingInput rec;
        RunContext run;
        if (stopFirst)
            run.requestStop();
        int looks = 0;
        const auto begun = RunContext::Clock::now();
        QCOMPARE(run.waitUntil([&] { return ++looks == metAfter; }, milliseconds(20)), result);
        QCOMPARE(looks, metAfter > 0 ? metAfter : 1);
        QVERIFY(RunContext::Clock::now() - begun < std::chrono::seconds(2));
    }

    void stopEndsAWaitFromAnotherThread() {
        testsupport::RecordingInput rec;
        RunContext run;
        std::thread stopper([&run] {
            std::this_thread::sleep_for(milliseconds(50));
            run.requestStop();
        });
        QVERIFY(!run.waitUntil([] { return false; }, milliseconds(5)));
        QVERIFY(run.stopping());
        stopper.join();
    }

    void fullWorkerCapGivesWayToAStop() {
        testsupport::RecordingInput rec;
        RunContext run;
        std::atomic<bool> release{false};
        std::atomic<int> ran{0};
        // Workers that do not end by themselves take every place; the start
        // beyond the cap waits for a free one, and only a stop ends that wait.
        std::thread stopper([&run] {
            std::this_thread::sleep_for(milliseconds(500));
            run.requestStop();
        });
        int calls = 0;
        while (!run.stopping() && calls < 100) {
            QVERIFY(run.startWorker([&] {
                while (!release.load())
                    std::this_thread::sleep_for(milliseconds(1));
                ++ran;
            }));
            ++calls;
        }
        stopper.join();
        const std::size_t live = run.liveWorkers();
        QVERIFY2(live < 100, qPrintable(QString::number(live)));
        release.store(true);
        run.joinAllWorkers();
        QCOMPARE(run.liveWorkers(), std::size_t(0));
        // The start the stop cut short ran nothing.
        QCOMPARE(ran.load(), int(live));
    }

    void heldInputIsReleasedWithTheContext() {
        testsupport::RecordingInput rec;
        {
            RunContext run;
            run.keyDown(70);
            run.buttonDown(false);
            run.keyDown(70);
            run.keyUp(70);
        }
        QVERIFY(!rec.isDown(70));
        QCOMPARE(rec.eventTexts(),
                 (std::vector<std::string>{"keyDown 70", "mouseDown 1", "keyDown 70", "keyUp 70",
                                           "keyUp 70", "mouseUp 1"}));
    }
};

QTEST_GUILESS_MAIN(RunContextTest)
#include "unit_runcontext.moc"
