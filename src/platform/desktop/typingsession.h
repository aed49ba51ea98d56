#pragma once

// What typing carries from one code unit to the next, for one typing
// thread: the first half of a surrogate pair, whether the last character
// was a carriage return (so CR LF makes one line break), and the text the
// thread said it is about to type with how far typing has got through it
// (the key binder binds the characters ahead in blocks). Plain data: the
// layer keeps one session per typing thread under its mutex.

#include <cstddef>
#include <map>
#include <string>
#include <thread>

namespace platform::desktop {

class TypingSession {
public:
    // The text about to be typed, as UTF-16: kept as the code points that
    // take() will hand out.
    void announce(const char16_t *units, std::size_t count);
    // One code unit goes down. True and the code point when it makes a
    // character; false for the first half of a pair (its character comes
    // with the second), a lone second half, and the LF of CR LF.
    bool take(char16_t unit, char32_t &cp);
    // `cp` is being typed: typing follows the announced text, or the
    // announcement no longer holds and is dropped.
    void follow(char32_t cp);

    const std::u32string &ahead() const { return ahead_; }
    // How many of ahead() are typed (or being typed).
    std::size_t typed() const { return typed_; }
    // Nothing carries over to the next code unit.
    bool idle() const { return !pendingHigh_ && !afterCr_ && typed_ >= ahead_.size(); }

private:
    char16_t pendingHigh_ = 0;
    bool afterCr_ = false;
    std::u32string ahead_;
    std::size_t typed_ = 0;
};

// One session per typing thread, so that threads typing at once keep their
// pairs, line breaks and announcements apart. Not locked itself.
class TypingSessions {
public:
    // The thread's session, a new one if it has none.
    TypingSession &of(std::thread::id thread) { return sessions_[thread]; }
    // Ends the thread's session once nothing carries over from it.
    void endIfIdle(std::thread::id thread);
    std::size_t size() const { return sessions_.size(); }

private:
    std::map<std::thread::id, TypingSession> sessions_;
};

} // namespace platform::desktop
