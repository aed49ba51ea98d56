#include "runkeys.h"

#include "keycombination.h"
#include "recordvalues.h"

#include <QStringList>

#include <climits>
#include <cmath>

namespace {

int roundedCoordinate(int from, int to, double fraction) {
    // The difference in 64 bits: two ints can be further apart than an int holds.
    const long long delta = static_cast<long long>(to) - from;
    const double value = std::round(from + static_cast<double>(delta) * fraction);
    if (!(value > INT_MIN))
        return INT_MIN;
    if (!(value < INT_MAX))
        return INT_MAX;
    return static_cast<int>(value);
}

} // namespace

RunKeys parseRunKeys(const QString &text) {
    RunKeys keys;
    if (text.isEmpty() || text == QStringView(kNoKeyCombination))
        return keys;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return keys;
    bool ok = false;
    const int vk = parts.at(0).toInt(&ok, 10);
    if (!ok || vk == 0)
        return keys;
    keys.vk = vk;
    if (parts.size() > 1) {
        const int mask = parts.at(1).toInt(&ok, 10);
        keys.mask = ok ? mask : 0;
    }
    if (parts.size() > 2) {
        double seconds = parts.at(2).toDouble(&ok);
        if (!ok || !(seconds > 0.0)) // also NaN
            seconds = 0.0;
        const double ms = std::trunc(1000.0 * seconds);
        keys.holdMs = ms < static_cast<double>(INT_MAX) ? static_cast<int>(ms) : INT_MAX;
    }
    return keys;
}

QString keyActionSpec(const QString &combination, const QString &holdText) {
    // A combination has two numbers; a third would be read as the hold.
    const QStringList parts = combination.split(QLatin1Char(','), Qt::SkipEmptyParts);
    const QString keys = parts.size() > 2 ? parts.mid(0, 2).join(QLatin1Char(',')) : combination;
    const float hold = static_cast<float>(recordvalues::secondsOf(holdText));
    // Formatted separately: a "%" in the combination text must stay as it is.
    const QString holdPart = QStringLiteral("%1").arg(static_cast<double>(hold), 0, 'g', -1);
    return keys + QLatin1Char(',') + holdPart;
}

int storedModifierBit(int vk) {
    switch (vk) {
    case 16:
    case 160:
    case 161:
        return storedmask::Shift;
    case 17:
    case 162:
    case 163:
        return storedmask::Ctrl;
    case 18:
    case 164:
    case 165:
        return storedmask::Alt;
    case 91:
    case 92:
        return storedmask::Win;
    default:
        return 0;
    }
}

int wantedModifiers(int vk, int mask) {
    return (mask & (storedmask::Alt | storedmask::Ctrl | storedmask::Shift | storedmask::Win)) |
           storedModifierBit(vk);
}

MovePoint interpolateMove(int x0, int y0, int x1, int y1, double fraction) {
    return {roundedCoordinate(x0, x1, fraction), roundedCoordinate(y0, y1, fraction)};
}
