#pragma once

// Stands in for the system's recorder of the user's input: while one of these
// exists, the recorders the program creates deliver only the events a test
// sends them by hand.

#include "platform/inputlayer.h"

#include <mutex>
#include <string>

namespace testsupport {

class ScriptedRecorder {
public:
    ScriptedRecorder();  // installs itself as the recorder factory
    ~ScriptedRecorder(); // and restores the system's

    // Hands `event` to the listener of the recorder that listens now, as the
    // recorder's own thread would. False when none listens.
    bool send(const platform::RawInputEvent &event);
    // Tells the listener that input was kept back at `timeMs`, as a recorder
    // does for a password field. False when none listens.
    bool withhold(std::int64_t timeMs);
    // What the recorders answer for the present moment on the events' clock
    // from now on; -1 (the default) for a recorder that cannot tell.
    void setNow(std::int64_t timeMs);
    bool listening() const;
    int starts() const;
    // The next start fails with this message.
    void failNextStart(const std::string &error);

private:
    class Recorder;
    friend class Recorder;

    mutable std::mutex mutex_;
    platform::RawInputListener *listener_ = nullptr;
    int starts_ = 0;
    std::int64_t now_ = -1;
    std::string failure_;
};

} // namespace testsupport
