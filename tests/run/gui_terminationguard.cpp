// SIGTERM during a run: the run stops, what it holds is released, the input
// layer releases its own state, and the event loop quits only once the run's
// thread has ended.

#include "run/run.h"
#include "run/terminationguard.h"
#include "support/recordinginput.h"

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

        // Wired as the main window wires a run.
        QWidget window;
        auto *thread = new QThread(&window);
        auto *run = new Run;
        run->setParameters(0, 1, QStringLiteral("なし"),
                           {{"キー", "70,2", "30"}, {"クリック", "左", "30"}},
                           {{"即時"}, {"時間", "30"}}, QStringLiteral("p"));
        run->moveToThread(thread);
        connect(thread, &QThread::started, run, &Run::start);
        connect(run, &Run::finished, thread, &QThread::quit);
        connect(run, &Run::finished, run, &QObject::deleteLater);
        // The quit can end the loop before that deleteLater arrives.
        connect(thread, &QThread::finished, run, &QObject::deleteLater);
        thread->start();

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
        QVERIFY(thread->isFinished()); // safe to destroy with its window
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
