#pragma once

// What makes a run's keys reach it on Wayland, where no client may hear the
// keyboard through the compositor: the input devices, where the backend reads
// them, and the desktop's own binding where the program knows how to ask for
// one (sway's IPC; each further desktop one more binder here). No Qt here.

#include "platform/runkeys.h"

#include <memory>

namespace platform::wayland {

class WaylandRunKeys final : public RunKeys {
public:
    // `devices`: the backend hears the keyboard through the input devices;
    // `desktop`: the desktop's binder, null where none is known.
    WaylandRunKeys(bool devices, std::unique_ptr<RunKeys> desktop);

    // The way in general, for Capabilities::runKeys.
    RunKeyWay way() const;

    // The input devices first: they hear any keys, bound or not.
    RunKeyAnswer ask(const RunKeyRequest &request) override;
    // The desktop binds the keys even where the devices hear them, so they
    // reach no window either (as everywhere the desktop binds them).
    RunKeyAnswer bind(int id, const RunKeyRequest &request) override;
    void unbind(int id) override;

private:
    bool devices_;
    std::unique_ptr<RunKeys> desktop_;
};

// The binder of this session's desktop: sway's where SWAYSOCK is set; null
// where the program knows none.
std::unique_ptr<RunKeys> createDesktopRunKeys();

} // namespace platform::wayland
