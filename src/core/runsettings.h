#pragma once

// The settings of one run, as one value: what the run settings dialog hands
// back, what the saved settings hold and what the command line fills in. The
// defaults are written here only; the settings table and the dialog take
// theirs from here.

#include "keycombination.h"
#include "runcount.h"
#include "runpace.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <utility>

inline constexpr int kDefaultStartDelay = 5;
inline constexpr int kDefaultRunCount = 1;

struct RunSettings {
    RunSettings() = default;
    // The first three, as a run is most often told them; the rest default.
    RunSettings(int startDelay_, int runCount_, QString stopCommand_)
        : startDelay(startDelay_), runCount(runCount_), stopCommand(std::move(stopCommand_)) {}

    int startDelay = kDefaultStartDelay; // seconds before the first page
    int runCount = kDefaultRunCount;     // passes; kRepeatUntilStopped: until stopped
    // The stop command in its stored form ("83,3"), or "なし" for none.
    QString stopCommand = QString::fromUtf16(kDefaultStopCommand);
    // The keys that pause a playing run and resume it, same form.
    QString pauseCommand = QString::fromUtf16(kDefaultPauseCommand);
    // The keys that start the loaded project from the editor, same form.
    QString startCommand = QString::fromUtf16(kNoKeyCombination);
    runpace::Pace pace;
    // Set (--seed) for a variation that repeats run after run; else drawn.
    std::optional<std::uint64_t> seed;

    bool repeatsUntilStopped() const { return runCount == kRepeatUntilStopped; }
    bool hasStopCommand() const { return stopCommand != QStringView(kNoKeyCombination); }
    bool hasPauseCommand() const { return pauseCommand != QStringView(kNoKeyCombination); }
    // True for a run that nothing but a click on its tray icon can end.
    bool onlyTrayStops() const { return repeatsUntilStopped() && !hasStopCommand(); }

    bool operator==(const RunSettings &other) const {
        return startDelay == other.startDelay && runCount == other.runCount &&
               stopCommand == other.stopCommand && pauseCommand == other.pauseCommand &&
               startCommand == other.startCommand && pace.speed == other.pace.speed &&
               pace.variationPercent == other.pace.variationPercent &&
               pace.variationPixels == other.pace.variationPixels && seed == other.seed;
    }
    bool operator!=(const RunSettings &other) const { return !(*this == other); }
};

// Between a RunSettings and whatever names the run settings as the settings
// table does (configstore::Settings, the main window): stertTime, runNumber,
// stopCommand, pauseCommand, startCommand, runSpeed, varyPercent, varyPixels.
// A saved value out of its range gives the default, so a hand-edited file
// never plays at speed 0.
template <class Holder> RunSettings runSettingsOf(const Holder &holder) {
    RunSettings settings;
    settings.startDelay = holder.stertTime;
    settings.runCount = holder.runNumber;
    settings.stopCommand = holder.stopCommand;
    settings.pauseCommand = holder.pauseCommand;
    settings.startCommand = holder.startCommand;
    if (runpace::validSpeed(holder.runSpeed))
        settings.pace.speed = holder.runSpeed;
    if (holder.varyPercent >= 0 && holder.varyPercent <= runpace::kMaxVariationPercent)
        settings.pace.variationPercent = holder.varyPercent;
    if (holder.varyPixels >= 0 && holder.varyPixels <= runpace::kMaxVariationPixels)
        settings.pace.variationPixels = holder.varyPixels;
    return settings;
}

template <class Holder> void storeRunSettings(const RunSettings &settings, Holder &holder) {
    holder.stertTime = settings.startDelay;
    holder.runNumber = settings.runCount;
    holder.stopCommand = settings.stopCommand;
    holder.pauseCommand = settings.pauseCommand;
    holder.startCommand = settings.startCommand;
    holder.runSpeed = settings.pace.speed;
    holder.varyPercent = settings.pace.variationPercent;
    holder.varyPixels = settings.pace.variationPixels;
}
