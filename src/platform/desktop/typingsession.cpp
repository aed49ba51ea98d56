#include "platform/desktop/typingsession.h"

namespace platform::desktop {
namespace {

bool isHighSurrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool isLowSurrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}
char32_t combine(char16_t high, char16_t low) {
    return 0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (low - 0xDC00);
}

} // namespace

void TypingSession::announce(const char16_t *units, std::size_t count) {
    ahead_.clear();
    typed_ = 0;
    char16_t high = 0;
    bool afterCr = false;
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t u = units[i];
        if (isHighSurrogate(u)) {
            high = u;
            continue;
        }
        char32_t cp = u;
        if (isLowSurrogate(u)) {
            if (!high)
                continue;
            cp = combine(high, u);
        }
        high = 0;
        const bool skip = cp == U'\n' && afterCr;
        afterCr = cp == U'\r';
        if (!skip)
            ahead_.push_back(cp);
    }
}

bool TypingSession::take(char16_t unit, char32_t &cp) {
    cp = unit;
    if (isHighSurrogate(unit)) {
        pendingHigh_ = unit; // X takes whole code points: wait for the other half
        return false;
    }
    if (isLowSurrogate(unit)) {
        if (!pendingHigh_)
            return false;
        cp = combine(pendingHigh_, unit);
    }
    pendingHigh_ = 0;
    const bool skip = cp == U'\n' && afterCr_;
    afterCr_ = cp == U'\r';
    return !skip;
}

void TypingSession::follow(char32_t cp) {
    if (typed_ < ahead_.size() && ahead_[typed_] == cp) {
        ++typed_;
    } else if (!ahead_.empty()) {
        ahead_.clear();
        typed_ = 0;
    }
}

void TypingSessions::endIfIdle(std::thread::id thread) {
    auto it = sessions_.find(thread);
    if (it != sessions_.end() && it->second.idle())
        sessions_.erase(it);
}

} // namespace platform::desktop
