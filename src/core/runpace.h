#pragma once

// The pace of a run: its speed factor, its random variation, and the clock
// that stops while the run is paused. Values in, values out; the run engine
// draws the random numbers and reads the steady clock.

#include <QString>

#include <chrono>
#include <cstdint>
#include <optional>

namespace runpace {

inline constexpr double kMinSpeed = 0.1;
inline constexpr double kMaxSpeed = 10.0;
inline constexpr double kDefaultSpeed = 1.0;
inline constexpr int kMaxVariationPercent = 100;
inline constexpr int kMaxVariationPixels = 500;

// True for a finite factor in [kMinSpeed, kMaxSpeed].
bool validSpeed(double speed);
// "2", "0.5", "1.5x": the factor, or nothing when it is not a valid one.
std::optional<double> parseSpeed(const QString &text);
// A factor as the user reads it: "2", "0.5", "1.25" (no trailing zeros).
QString speedText(double speed);

// What a run varies, and how fast it plays.
struct Pace {
    double speed = kDefaultSpeed;
    int variationPercent = 0; // each duration by up to ± this share
    int variationPixels = 0;  // each written position by up to ± this many pixels

    bool varies() const { return variationPercent > 0 || variationPixels > 0; }
};

// A duration written in the project, as the run plays it: divided by the
// speed, then moved by up to ± the variation's share; `unit` is the random
// draw in [-1, 1]. Never below 0; NaN and negative durations give 0, and an
// invalid speed counts as 1.
double seconds(double written, const Pace &pace, double unit);

// A coordinate moved by up to ± `pixels` (`unit` in [-1, 1], rounded to the
// nearest pixel), kept within [low, high]. A range that is empty (high below
// low) leaves it unmoved.
int coordinate(int written, int pixels, double unit, int low, int high);

// What is wrong with the run's key combinations (stored forms, "なし" for
// none): pause keys that are only modifiers or name no key, or are the stop
// keys; the same for the start key against the stop and pause keys.
enum class KeysProblem { None, PauseNoKey, PauseIsStop, StartNoKey, StartIsStop, StartIsPause };
KeysProblem keysProblem(const QString &stop, const QString &pause, const QString &start);

// Bookkeeping of pauses against a steady clock: the run's own time, which
// stands still from a pause until the resume, so a page's deadline keeps its
// remaining time. Not thread-safe; the run keeps it under a lock.
class PauseClock {
public:
    using Clock = std::chrono::steady_clock;

    // True when the state changed (a second pause, or a resume of a running
    // clock, changes nothing).
    bool pause(Clock::time_point now);
    bool resume(Clock::time_point now);
    bool paused() const { return paused_; }

    // The run's time at the steady time `now`: `now` less every pause so far
    // (a pause in progress counted up to `now`).
    Clock::time_point runTime(Clock::time_point now) const;
    // How long the run has been paused in all, up to `now`.
    Clock::duration pausedFor(Clock::time_point now) const;

private:
    bool paused_ = false;
    Clock::time_point since_{};
    Clock::duration total_{0};
};

} // namespace runpace
