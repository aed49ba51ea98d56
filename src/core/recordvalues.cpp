#include "recordvalues.h"

#include <climits>
#include <cmath>

namespace recordvalues {

double secondsOf(const QString &text) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    // Qt answers a number beyond a double with infinity and ok false; every
    // other unreadable text is 0.
    if (!ok && !std::isinf(value))
        return 0.0;
    return value > 0.0 ? value : 0.0; // also NaN
}

int coordinateOf(const QString &text) {
    const QString t = text.trimmed();
    bool ok = false;
    const qlonglong value = t.toLongLong(&ok, 10);
    if (ok)
        return offsetBy(0, value);
    // Beyond 64 bits: saturate when it is a whole number all the same.
    const int start = t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+')) ? 1 : 0;
    if (start >= t.size())
        return 0;
    for (int i = start; i < t.size(); ++i) {
        if (t.at(i) < QLatin1Char('0') || t.at(i) > QLatin1Char('9'))
            return 0;
    }
    return t.startsWith(QLatin1Char('-')) ? INT_MIN : INT_MAX;
}

int offsetBy(int base, long long offset) {
    // Both ends first: base + offset could overflow long long itself.
    if (offset >= static_cast<long long>(INT_MAX) - INT_MIN)
        return INT_MAX;
    if (offset <= static_cast<long long>(INT_MIN) - INT_MAX)
        return INT_MIN;
    const long long sum = base + offset;
    if (sum > INT_MAX)
        return INT_MAX;
    if (sum < INT_MIN)
        return INT_MIN;
    return static_cast<int>(sum);
}

} // namespace recordvalues
