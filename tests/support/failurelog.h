#pragma once

// The failures a run reports (Run::pageFailed), heard on the run's own
// thread as it stops, for the test thread to read afterwards.

#include "run/run.h"

#include <QList>
#include <QObject>

#include <mutex>

namespace testsupport {

struct FailureLog {
    std::mutex mutex;
    QList<RunFailure> failures;

    void attach(Run *run) {
        QObject::connect(
            run, &Run::pageFailed, run,
            [this](const RunFailure &f) {
                std::lock_guard<std::mutex> lock(mutex);
                failures.append(f);
            },
            Qt::DirectConnection);
    }
    QList<RunFailure> all() {
        std::lock_guard<std::mutex> lock(mutex);
        return failures;
    }
};

} // namespace testsupport
