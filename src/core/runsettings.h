#pragma once

// The settings of one run, as one value: what the run settings dialog hands
// back, what the saved settings hold and what the command line fills in. The
// defaults are written here only; the settings table and the dialog take
// theirs from here.

#include "keycombination.h"
#include "runcount.h"

#include <QString>

inline constexpr int kDefaultStartDelay = 5;
inline constexpr int kDefaultRunCount = 1;

struct RunSettings {
    int startDelay = kDefaultStartDelay; // seconds before the first page
    int runCount = kDefaultRunCount;     // passes; kRepeatUntilStopped: until stopped
    // The stop command in its stored form ("83,3"), or "なし" for none.
    QString stopCommand = QString::fromUtf16(kDefaultStopCommand);

    bool repeatsUntilStopped() const { return runCount == kRepeatUntilStopped; }
    bool hasStopCommand() const { return stopCommand != QStringView(kNoKeyCombination); }
    // True for a run that nothing but a click on its tray icon can end.
    bool onlyTrayStops() const { return repeatsUntilStopped() && !hasStopCommand(); }

    bool operator==(const RunSettings &other) const {
        return startDelay == other.startDelay && runCount == other.runCount &&
               stopCommand == other.stopCommand;
    }
    bool operator!=(const RunSettings &other) const { return !(*this == other); }
};

// Between a RunSettings and whatever names the run settings as the settings
// table does (configstore::Settings, the main window): stertTime, runNumber,
// stopCommand.
template <class Holder> RunSettings runSettingsOf(const Holder &holder) {
    RunSettings settings;
    settings.startDelay = holder.stertTime;
    settings.runCount = holder.runNumber;
    settings.stopCommand = holder.stopCommand;
    return settings;
}

template <class Holder> void storeRunSettings(const RunSettings &settings, Holder &holder) {
    holder.stertTime = settings.startDelay;
    holder.runNumber = settings.runCount;
    holder.stopCommand = settings.stopCommand;
}
