// SIGTERM during a run: the run stops, what it holds is released, the input
// layer releases its own state, and the event loop quits only once the run's
// thread has ended.

#include "run/run.h"
#include "run/runstart.h"
#include "run/terminationguard.h"
#include "support/holdingrun.h"
#include "support/recordinginput.h"

#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <chrono>
#include <csignal>

class TestTerminationGuard : public QObject {
    Q_OBJECT

private slots:
    void sigtermStopsRunsAndQuits() {
        testsupport::RecordingInput rec;
        installTerminationGuard();

        // Started as the main window starts a run.
        QWidget window;
        const QPointer<QThread> thread = startRunThread(testsupport::newHoldingRun(30), &window);

        // Raised once the run holds its key and its button.
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (rec.isDown(70) && rec.isDown(platform::kVkLButton)) {
                poll.stop();
                std::raise(SIGTERM);
            }
        });
        poll.start(10);
        bool timedOut = false;
        QTimer::singleShot(10000, [&timedOut] {
            timedOut = true;
            QCoreApplication::quit();
        });

        const auto begun = std::chrono::steady_clock::now();
        QCoreApplication::exec();
        const auto took = std::chrono::steady_clock::now() - begun;

        QVERIFY(!timedOut);
        QVERIFY(terminationRequested());
        QVERIFY(took < std::chrono::seconds(5));
        // Safe to destroy with its window (it deletes itself once finished).
        QVERIFY(!thread || thread->isFinished());
        QCOMPARE(liveRunCount(), 0);
        const std::vector<std::string> texts = rec.eventTexts();
        for (const char *expected : {"keyUp 70", "keyUp 17", "mouseUp 0"})
            QVERIFY2(std::find(texts.begin(), texts.end(), expected) != texts.end(), expected);
        QCOMPARE(rec.events().back().kind, std::string("releaseAll"));
        QVERIFY(!rec.isDown(70) && !rec.isDown(17) && !rec.isDown(platform::kVkLButton));
    }
};

QTEST_MAIN(TestTerminationGuard)
#include "gui_terminationguard.moc"
