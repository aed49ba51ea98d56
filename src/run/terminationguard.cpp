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

#if defined(Q_OS_UNIX)
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

std::atomic<bool> terminating{false};
std::atomic<int> liveRuns{0};

// How long a termination waits for the runs to end before giving up on a
// clean quit (their waits notice a stop within 50 ms).
constexpr int kRunEndTimeoutMs = 3000;

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

// Leaves the event loop with exit() rather than quit(): quit() would ask the
// windows to close (and the main window may ask about an unsaved project).
// Should no event loop be left that way (a signal before the main loop runs,
// or a nested loop started again), the fallback ends the process, still with
// nothing held.
void leaveEventLoop(int signalNumber) {
    QCoreApplication::exit(128 + signalNumber);
    QTimer::singleShot(kRunEndTimeoutMs, QCoreApplication::instance(), [] {
        qCWarning(lcRun) << "[Run] the event loop did not end after a termination signal; exiting";
        releaseEverything();
        std::_Exit(EXIT_FAILURE);
    });
}

// Unused on Windows until a Windows guard calls it.
[[maybe_unused]] void onTermination(int signalNumber) {
    if (terminating.exchange(true)) {
        // A second signal while waiting: leave now, but never with a key down.
        releaseEverything();
        std::_Exit(EXIT_FAILURE);
    }
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
            std::_Exit(EXIT_FAILURE);
        }
        leaveEventLoop(signalNumber);
    });
    poll->start(10);
}

#if defined(Q_OS_UNIX)
int signalPipe[2] = {-1, -1};

// Async-signal-safe: one write to the pipe; the GUI thread does the rest.
extern "C" void onSignal(int signalNumber) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signalNumber);
    const ssize_t written = ::write(signalPipe[1], &byte, 1);
    (void)written;
    errno = savedErrno;
}
#endif

} // namespace

void installTerminationGuard() {
#if defined(Q_OS_UNIX)
    if (signalPipe[0] >= 0 || !QCoreApplication::instance())
        return;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcRun) << "[Run] no termination guard: pipe failed, errno" << errno;
        return;
    }
    auto *notifier =
        new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char buffer[16];
        int signalNumber = SIGTERM;
        ssize_t got = 0;
        while ((got = ::read(signalPipe[0], buffer, sizeof buffer)) > 0)
            signalNumber = buffer[got - 1];
        onTermination(signalNumber);
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A closed terminal (SIGHUP) and Ctrl+\ (SIGQUIT) end the program as
    // surely as Ctrl+C: they must not leave keys held either.
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaction(signalNumber, &action, nullptr);
#endif
#if defined(Q_OS_WIN)
    installWindowsTerminationGuard(&onTermination);
#endif
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
