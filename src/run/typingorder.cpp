#include "typingorder.h"

namespace {

// How often a waiting page looks at the stop flag when nothing wakes it: a
// termination signal sets the flag and cannot notify.
constexpr std::chrono::milliseconds kStopCheck(10);

} // namespace

std::shared_ptr<TypingOrder::Typist> TypingOrder::enter(Clock::time_point firstDue) {
    std::lock_guard<std::mutex> lock(mutex_);
    const unsigned long long seq = ++entered_;
    next_[seq] = firstDue;
    return std::shared_ptr<Typist>(new Typist(*this, seq));
}

bool TypingOrder::firstLocked(const Key &key) const {
    for (const auto &[seq, due] : next_) {
        if (seq != key.second && Key(due, seq) < key)
            return false;
    }
    return true;
}

TypingOrder::Typist::~Typist() {
    done();
}

void TypingOrder::Typist::done() {
    {
        std::lock_guard<std::mutex> lock(order_.mutex_);
        order_.next_.erase(seq_);
    }
    order_.changed_.notify_all();
}

bool TypingOrder::Typist::waitTurn(Clock::time_point due, const std::function<bool()> &stopping) {
    std::unique_lock<std::mutex> lock(order_.mutex_);
    order_.next_[seq_] = due;
    for (;;) {
        if (stopping())
            return false;
        if (order_.firstLocked(Key(due, seq_)))
            return true;
        order_.changed_.wait_for(lock, kStopCheck);
    }
}

void TypingOrder::Typist::typed(Clock::time_point due) {
    {
        std::lock_guard<std::mutex> lock(order_.mutex_);
        order_.next_[seq_] = due;
    }
    order_.changed_.notify_all();
}
