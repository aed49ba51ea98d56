#include "timedwait.h"

#include <cmath>
#include <thread>

namespace timedwait {

std::chrono::milliseconds nextSlice(std::chrono::nanoseconds remaining) {
    constexpr std::chrono::milliseconds slice(5);
    if (remaining > slice)
        return slice;
    return std::chrono::duration_cast<std::chrono::milliseconds>(remaining); // truncates
}

Clock::time_point deadlineAfter(Clock::time_point start, double seconds) {
    // Leave a wide margin below the clock's range: the result is compared
    // with and subtracted from "now".
    const double limitNs = static_cast<double>(Clock::duration::max().count()) / 4.0;
    double ns = seconds * 1e9;
    if (!(ns > 0.0))
        ns = 0.0; // also catches NaN
    else if (!(ns < limitNs))
        ns = limitNs; // also catches infinity
    return start + std::chrono::duration_cast<Clock::duration>(
                       std::chrono::duration<double, std::nano>(ns));
}

void waitSeconds(double seconds, const std::function<bool()> &stop) {
    if (!(seconds > 0.0)) // not above 0, or NaN
        return;
    const Clock::time_point deadline = deadlineAfter(Clock::now(), seconds);
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return;
        if (stop())
            return;
        const std::chrono::milliseconds slice = nextSlice(deadline - now);
        if (slice.count() < 1)
            return;
        std::this_thread::sleep_for(slice);
    }
}

bool sleepUntil(Clock::time_point deadline, std::chrono::nanoseconds step,
                const std::function<bool()> &stop) {
    for (;;) {
        if (stop())
            return false;
        const Clock::time_point now = Clock::now();
        if (now >= deadline)
            return true;
        // Never sleep past the deadline.
        std::this_thread::sleep_until(std::min(deadline, now + step));
    }
}

} // namespace timedwait
