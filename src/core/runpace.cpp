#include "runpace.h"

#include "keycombination.h"

#include <algorithm>
#include <cmath>

namespace runpace {

bool validSpeed(double speed) {
    return std::isfinite(speed) && speed >= kMinSpeed && speed <= kMaxSpeed;
}

std::optional<double> parseSpeed(const QString &text) {
    QString t = text.trimmed();
    if (t.endsWith(QLatin1Char('x'), Qt::CaseInsensitive) || t.endsWith(QChar(0x00D7)))
        t.chop(1);
    bool ok = false;
    // QString::toDouble reads "nan" and "inf" too, and 1e309 as infinity.
    const double value = t.trimmed().toDouble(&ok);
    if (!ok || !validSpeed(value))
        return std::nullopt;
    return value;
}

QString speedText(double speed) {
    return QString::number(speed, 'g', 6);
}

double seconds(double written, const Pace &pace, double unit) {
    if (!(written > 0.0))
        return 0.0;
    const double speed = validSpeed(pace.speed) ? pace.speed : kDefaultSpeed;
    double value = written / speed;
    const int percent = std::clamp(pace.variationPercent, 0, kMaxVariationPercent);
    if (percent > 0)
        value *= 1.0 + std::clamp(unit, -1.0, 1.0) * percent / 100.0;
    return std::max(0.0, value);
}

int coordinate(int written, int pixels, double unit, int low, int high) {
    if (pixels <= 0 || high < low)
        return written;
    const int offset = int(std::lround(std::clamp(unit, -1.0, 1.0) * pixels));
    const long long moved = static_cast<long long>(written) + offset;
    return int(std::clamp<long long>(moved, low, high));
}

namespace {

bool isNone(const QString &keys) {
    return keys == QStringView(kNoKeyCombination);
}

// A chord one can press that is more than modifiers.
bool hasKey(const QString &keys) {
    return namesKeyboardKey(keys) && !isModifierKey(parseKeyCombination(keys).vk);
}

bool sameChord(const QString &a, const QString &b) {
    if (isNone(a) || isNone(b))
        return false;
    const KeyCombination x = parseKeyCombination(a);
    const KeyCombination y = parseKeyCombination(b);
    return x.valid && y.valid && x.vk == y.vk && x.mask == y.mask;
}

} // namespace

KeysProblem keysProblem(const QString &stop, const QString &pause, const QString &start) {
    if (!isNone(pause)) {
        if (!hasKey(pause))
            return KeysProblem::PauseNoKey;
        if (sameChord(pause, stop))
            return KeysProblem::PauseIsStop;
    }
    if (!isNone(start)) {
        if (!hasKey(start))
            return KeysProblem::StartNoKey;
        if (sameChord(start, stop))
            return KeysProblem::StartIsStop;
        if (sameChord(start, pause))
            return KeysProblem::StartIsPause;
    }
    return KeysProblem::None;
}

bool PauseClock::pause(Clock::time_point now) {
    if (paused_)
        return false;
    paused_ = true;
    since_ = now;
    return true;
}

bool PauseClock::resume(Clock::time_point now) {
    if (!paused_)
        return false;
    paused_ = false;
    if (now > since_)
        total_ += now - since_;
    return true;
}

PauseClock::Clock::duration PauseClock::pausedFor(Clock::time_point now) const {
    Clock::duration total = total_;
    if (paused_ && now > since_)
        total += now - since_;
    return total;
}

PauseClock::Clock::time_point PauseClock::runTime(Clock::time_point now) const {
    return now - pausedFor(now);
}

} // namespace runpace
