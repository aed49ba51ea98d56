#include "damagehistory.h"

namespace platform {

void DamageHistory::restart() {
    history_.clear();
    floor_ = serial_ + 1;
}

void DamageHistory::add(const Rect &rect) {
    if (rect.width <= 0 || rect.height <= 0)
        return;
    history_.emplace_back(serial_ + 1, rect);
    while (history_.size() > keep_) {
        floor_ = history_.front().first;
        history_.pop_front();
    }
}

bool DamageHistory::since(std::uint64_t &token, std::vector<Rect> &changed) {
    changed.clear();
    const bool known = token != 0 && token >= floor_ && token <= serial_;
    if (known)
        for (const auto &[serial, rect] : history_)
            if (serial > token)
                changed.push_back(rect);
    token = ++serial_;
    return known;
}

} // namespace platform
