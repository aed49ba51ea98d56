#include "runstart.h"

#include "run.h"

#include <QThread>

QThread *startRunThread(Run *run, QObject *owner) {
    auto *thread = new QThread(owner);
    run->moveToThread(thread);

    QObject::connect(thread, &QThread::started, run, &Run::start);
    QObject::connect(run, &Run::finished, thread, &QThread::quit);
    QObject::connect(run, &Run::finished, run, &QObject::deleteLater);
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    // `finished` comes from the run's own worker, not from this thread: the
    // quit above can end the thread's loop before the queued deleteLater is
    // delivered, and the run would never be deleted. The thread's last act
    // deletes what is still pending for it, so this always completes it.
    QObject::connect(thread, &QThread::finished, run, &QObject::deleteLater);

    thread->start();
    return thread;
}
