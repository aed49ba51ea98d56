// SIGTERM during a run: the run stops, what it holds is released, the input
// layer releases its own state, the event loop quits only once the run's
// thread has ended, and then the process would end by SIGTERM.

#include "run/run.h"
#include "run/runstart.h"
#include "run/terminationguard.h"
#include "support/holdingrun.h"
#include "support/recordinginput.h"

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <atomic>
#include <chrono>
#include <csignal>
#include <unistd.h>

namespace {
std::atomic<int> endedBy{0};
void noteEnd(int signalNumber) {
    endedBy.store(signalNumber);
}
} // namespace

class TerminationGuardTest : public QObject {
    Q_OBJECT

private slots:
    void sigtermStopsRunsAndQuits() {
        testsupport::RecordingInput rec;
        setTerminationEndForTests(&noteEnd);
        installTerminationGuard();

        // Started as the main window starts a run.
        QWidget window;
        const QPointer<QThread> thread = startRunThread(testsupport::newHoldingRun(30), &window);

        // Raised once the run holds its key and its button.
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (rec.isDown(70) && rec.isDown(platform::kVkLButton)) {
                poll.stop();
                ::kill(::getpid(), SIGTERM); // to the process, as kill(1) sends it
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
        QCOMPARE(endedBy.load(), 0); // not before main has had its turn
        endTerminationGuard();
        QCOMPARE(endedBy.load(), SIGTERM);

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

int main(int argc, char **argv) {
    prepareTerminationGuard(); // as main does, before QtTest's threads start
    QApplication app(argc, argv);
    TerminationGuardTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "gui_terminationguard.moc"
