#pragma once

// A run that holds Ctrl (with F) and then the left button, `seconds` each:
// long enough to be ended while both are down, in tests of how a run ends.
// Start it with startRunThread, as the main window does.

#include "run/run.h"

#include <QString>

namespace testsupport {

inline Run *newHoldingRun(int seconds) {
    const QString hold = QString::number(seconds);
    auto *run = new Run;
    RunSettings settings;
    settings.startDelay = 0;
    settings.stopCommand = QStringLiteral("なし");
    run->prepare(settings, {{"キー", "70,2", hold}, {"クリック", "左", hold}},
                 {{"即時"}, {"時間", hold}}, QStringLiteral("p"));
    return run;
}

} // namespace testsupport
