#include "terminationguard.h"

#include "platform/inputlayer.h"
#include "runlog.h"
#include "terminationguard_win.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <cstdlib>
#include <mutex>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <chrono>
#include <csignal>
#include <ctime>
#include <pthread.h>
#include <thread>
#endif

namespace {

std::atomic<bool> terminating{false};
std::atomic<int> liveRuns{0};
std::atomic<int> firstSignal{0}; // the one the clean end is for
void (*endForTests)(int) = nullptr;

// How long a termination waits for the runs to end before giving up on a
// clean quit (their waits notice a stop within 50 ms).
constexpr int kRunEndTimeoutMs = 3000;

// Held by whoever releases through the input layer on the way out or ends
// the process, so the input layer is never used while main takes it down.
std::mutex endMutex;
bool armed = false; // the application and the input layer exist
bool endedForTests = false;

// True while a QThread owned by a window or by the application still runs:
// quitting then would destroy a running thread with its window.
bool ownedThreadRunning() {
    QList<QObject *> owners;
    owners.append(QCoreApplication::instance());
    for (QWidget *widget : QApplication::topLevelWidgets())
        owners.append(widget);
    for (QObject *owner : owners) {
        if (!owner)
            continue;
        for (QThread *thread : owner->findChildren<QThread *>()) {
            if (thread->isRunning())
                return true;
        }
    }
    return false;
}

void releaseEverything() {
    platform::input().releaseAll();
}

// With endMutex held. Ends the process by `signalNumber`: its default action
// comes back and the signal is sent to this thread, unblocked. Windows has no
// such ending; there the status is 128 + the number, as from the event loop.
void endBySignalLocked(int signalNumber) {
    if (endForTests) {
        if (!endedForTests)
            endForTests(signalNumber);
        endedForTests = true;
        return;
    }
#if defined(Q_OS_UNIX)
    struct sigaction defaultAction = {};
    defaultAction.sa_handler = SIG_DFL;
    sigemptyset(&defaultAction.sa_mask);
    sigaction(signalNumber, &defaultAction, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    ::raise(signalNumber);
#endif
    std::_Exit(128 + signalNumber);
}

// From any thread: nothing held, then the end.
void endNow(int signalNumber) {
    std::lock_guard<std::mutex> lock(endMutex);
    if (armed)
        releaseEverything();
    endBySignalLocked(signalNumber);
}

// Leaves the event loop with exit() rather than quit(): quit() would ask the
// windows to close (and the main window may ask about an unsaved project,
// which no termination can wait for). Should no event loop be left that way
// (a signal before the main loop runs, or a nested loop started again), the
// fallback ends the process, still with nothing held.
void leaveEventLoop(int signalNumber) {
    QCoreApplication::exit(128 + signalNumber);
    QTimer::singleShot(kRunEndTimeoutMs, QCoreApplication::instance(), [signalNumber] {
        qCWarning(lcRun) << "[Run] the event loop did not end after a termination signal; exiting";
        endNow(signalNumber);
    });
}

// The clean end, on the GUI thread: the runs stop (they see
// terminationRequested()), are waited for, and the event loop is left.
void onTermination(int signalNumber) {
    static bool begun = false; // GUI thread only
    if (begun) {
        // Asked again while waiting (Windows: a console closed after Ctrl+C):
        // leave now, but never with a key down.
        endNow(signalNumber);
        return;
    }
    begun = true;
    terminating.store(true);
    int none = 0;
    firstSignal.compare_exchange_strong(none, signalNumber);
    qCInfo(lcRun) << "[Run] termination signal: stopping runs";
    releaseEverything();

    auto *poll = new QTimer(QCoreApplication::instance());
    auto *elapsed = new QElapsedTimer;
    elapsed->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, elapsed, signalNumber] {
        const bool ended = liveRuns.load() == 0 && !ownedThreadRunning();
        if (!ended && elapsed->elapsed() < kRunEndTimeoutMs)
            return;
        releaseEverything();
        poll->stop();
        poll->deleteLater();
        delete elapsed;
        if (!ended) {
            qCWarning(lcRun) << "[Run] runs did not end after a termination signal; exiting";
            endNow(signalNumber);
            return;
        }
        leaveEventLoop(signalNumber);
    });
    poll->start(10);
}

#if defined(Q_OS_UNIX)
std::once_flag prepareOnce;
sigset_t handledSignals;

// The clean end may take the runs' timeout and the event loop's; past that
// the signal thread ends the process whatever the main thread does.
constexpr int kCleanEndTimeoutMs = 2 * kRunEndTimeoutMs;

// fork()ed children (xdg-open for the help) must not inherit the mask, or
// they could not be interrupted.
extern "C" void unblockInChild() {
    pthread_sigmask(SIG_UNBLOCK, &handledSignals, nullptr);
}

timespec left(std::chrono::steady_clock::time_point deadline) {
    const auto rest = std::chrono::duration_cast<std::chrono::nanoseconds>(
        deadline - std::chrono::steady_clock::now());
    const long long ns = rest.count() > 0 ? rest.count() : 0;
    timespec remaining{};
    remaining.tv_sec = static_cast<time_t>(ns / 1000000000);
    remaining.tv_nsec = static_cast<long>(ns % 1000000000);
    return remaining;
}

void waitForSignals() {
    int first = 0;
    std::chrono::steady_clock::time_point deadline;
    for (;;) {
        int signalNumber = 0;
        if (!first) {
            if (sigwait(&handledSignals, &signalNumber) != 0)
                continue;
        } else {
            const timespec rest = left(deadline);
            signalNumber = sigtimedwait(&handledSignals, nullptr, &rest);
            if (signalNumber < 0 && errno == EAGAIN) {
                std::lock_guard<std::mutex> lock(endMutex);
                if (endedForTests || !armed)
                    return; // main has ended the process, or tests watch
                qCWarning(lcRun)
                    << "[Run] the program did not end after a termination signal; ending it";
                releaseEverything();
                endBySignalLocked(first);
                return;
            }
            if (signalNumber < 0)
                continue;
        }
        std::lock_guard<std::mutex> lock(endMutex);
        if (!armed || first) {
            // Nothing can be held yet, or a second signal: end now, by it.
            if (armed)
                releaseEverything();
            endBySignalLocked(signalNumber);
            return;
        }
        first = signalNumber;
        firstSignal.store(signalNumber);
        deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCleanEndTimeoutMs);
        terminating.store(true);
        releaseEverything();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [signalNumber] { onTermination(signalNumber); },
            Qt::QueuedConnection);
    }
}
#endif

} // namespace

void prepareTerminationGuard() {
#if defined(Q_OS_UNIX)
    std::call_once(prepareOnce, [] {
        sigemptyset(&handledSignals);
        // A closed terminal (SIGHUP) and Ctrl+\ (SIGQUIT) end the program as
        // surely as Ctrl+C: they must not leave keys held either.
        bool any = false;
        for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
            struct sigaction current = {};
            if (sigaction(signalNumber, nullptr, &current) == 0 && current.sa_handler == SIG_IGN)
                continue;
            sigaddset(&handledSignals, signalNumber);
            any = true;
        }
        if (!any)
            return;
        pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);
        pthread_atfork(nullptr, nullptr, unblockInChild);
        std::thread(waitForSignals).detach();
    });
#endif
}

void installTerminationGuard() {
    if (!QCoreApplication::instance())
        return;
#if defined(Q_OS_UNIX)
    prepareTerminationGuard();
#endif
    {
        std::lock_guard<std::mutex> lock(endMutex);
        armed = true;
    }
#if defined(Q_OS_WIN)
    installWindowsTerminationGuard(&onTermination);
#endif
}

void endTerminationGuard() {
    std::lock_guard<std::mutex> lock(endMutex);
#if defined(Q_OS_UNIX)
    // Windows: main returns the event loop's 128 + the number instead.
    if (armed && terminating.load() && firstSignal.load()) {
        releaseEverything();
        endBySignalLocked(firstSignal.load());
    }
#endif
    armed = false;
}

bool terminationRequested() {
    return terminating.load();
}

void noteRunCreated() {
    liveRuns.fetch_add(1);
}

void noteRunDestroyed() {
    liveRuns.fetch_sub(1);
}

int liveRunCount() {
    return liveRuns.load();
}

void setTerminationEndForTests(void (*end)(int signalNumber)) {
    std::lock_guard<std::mutex> lock(endMutex);
    endForTests = end;
    endedForTests = false;
}
