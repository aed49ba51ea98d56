#pragma once

// Stop-aware waits kept against the steady clock: deadlines, never sums of
// sleeps, so slow wake-ups do not add up over a long wait.

#include <chrono>
#include <functional>

namespace timedwait {

using Clock = std::chrono::steady_clock;

// The next sleep of a timed wait with `remaining` left: 5 ms while more than
// 5 ms remain, then the remainder truncated to whole milliseconds. Zero means
// the wait is over (less than 1 ms was left).
std::chrono::milliseconds nextSlice(std::chrono::nanoseconds remaining);

// Waits `seconds` (nothing when not above 0), returning early once `stop`
// says so; `stop` is asked at least every 5 ms. Never ends more than 1 ms
// before the deadline.
void waitSeconds(double seconds, const std::function<bool()> &stop);

// Sleeps until `deadline` in steps of at most `step`, returning early (false)
// once `stop` says so; true when the deadline was reached.
bool sleepUntil(Clock::time_point deadline, std::chrono::nanoseconds step,
                const std::function<bool()> &stop);

// `start` + `seconds`, saturating instead of overflowing for huge or
// infinite values.
Clock::time_point deadlineAfter(Clock::time_point start, double seconds);

} // namespace timedwait
