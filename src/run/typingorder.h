#pragma once

// The characters of Enter Text pages whose typing overlaps go out one at a
// time, in the order their pages' timing puts them. Each page types on a
// worker of its own; left to themselves, two workers press and release their
// keys in between each other's (a key pressed twice before it comes up is
// one key press to the system) and in whatever order the threads happen to
// run. Here every character is due at a time counted from when its page
// started, and a character goes out only once no other page has one due
// before it still to type (the earlier page first when two are due at once).
// A character's press and release go out together.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class TypingOrder {
public:
    using Clock = std::chrono::steady_clock;

    // One page's place in the order; leaves it when the last copy goes, so
    // a page that ends early, or whose worker never started, holds up no one.
    class Typist {
    public:
        ~Typist();
        Typist(const Typist &) = delete;
        Typist &operator=(const Typist &) = delete;

        // Waits until the character due at `due` may go out: no character
        // of another page is due before it and still to type. False when
        // `stopping` holds first (asked at least every few milliseconds).
        bool waitTurn(Clock::time_point due, const std::function<bool()> &stopping);
        // The character went out; the page's next one is due at `due`.
        void typed(Clock::time_point due);
        // The page has nothing more to type.
        void done();

    private:
        friend class TypingOrder;
        Typist(TypingOrder &order, unsigned long long seq) : order_(order), seq_(seq) {}
        TypingOrder &order_;
        const unsigned long long seq_;
    };

    // In the order the pages start (the run thread): a page whose first
    // character is due at `firstDue`. The order must outlive the typist.
    std::shared_ptr<Typist> enter(Clock::time_point firstDue);

private:
    // Page sequence -> when its next character is due.
    using Key = std::pair<Clock::time_point, unsigned long long>;
    bool firstLocked(const Key &key) const;

    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<unsigned long long, Clock::time_point> next_;
    unsigned long long entered_ = 0;
};
