#pragma once

// Key combinations that act on a run while it goes (its stop keys), pressed
// while another program has the focus. Where the program hears the keyboard
// (X11, Windows, the input devices on Wayland) the run watches the keys
// itself; where no program may (Wayland), a desktop binds them to the program
// for the run's length, each its own way (sway through its IPC). One of the
// capabilities of a platform backend (backend.h). Plain C++17 only.

#include "shortcuts.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// How a key combination reaches a run here.
enum class RunKeyWay {
    Unheard,      // nothing hears keys while another program has the focus
    Heard,        // the program hears the keyboard, as any program does: nothing is bound
    Devices,      // the program reads the input devices: nothing is bound
    Bound,        // the desktop runs the command on the keys while the run goes
    UsersBinding, // the user's own binding of the keys runs the command already
    Taken,        // the user's own binding of the keys does something else, and stays
    Unnamed,      // no keys, or keys the desktop has no name for
    Refused,      // the desktop could not be asked, or would not bind them
};

struct RunKeyAnswer {
    RunKeyWay way = RunKeyWay::Unheard;
    std::string desktop; // the desktop that binds ("sway"); empty where none does
    std::string keys;    // the desktop's name for the keys ("Ctrl+Alt+s")

    // Pressing the keys reaches the run.
    bool reachesRun() const {
        return way == RunKeyWay::Heard || way == RunKeyWay::Devices || way == RunKeyWay::Bound ||
               way == RunKeyWay::UsersBinding;
    }
};

struct RunKeyRequest {
    Chord chord; // vk 0: no keys
    // What a desktop that runs commands starts on the keys (the program and
    // its arguments, "…/tarnwick --stop"): it reaches the run through the
    // program's own channel. A user's binding that runs it counts as the run's.
    std::vector<std::string> command;
    // Called on the GUI thread by a desktop that signals the program itself.
    std::function<void()> callback;
};

class RunKeys {
public:
    virtual ~RunKeys() = default;

    // GUI thread only. What binding `request` would come to; binds nothing.
    // Where the program hears the keys, that comes first.
    virtual RunKeyAnswer ask(const RunKeyRequest &request) = 0;
    // GUI thread only. Binds the keys to the run where a desktop does, under
    // `id` (one per combination: the stop keys, ...), until unbind(id); an
    // id bound again is unbound first. The answer says what the desktop did
    // (Bound) or why it bound nothing, and where no desktop binds, how the
    // program hears the keys; whether they reach the run is ask()'s to say.
    virtual RunKeyAnswer bind(int id, const RunKeyRequest &request) = 0;
    // Safe for an id never bound, or whose binding failed.
    virtual void unbind(int id) = 0;
};

// A backend's run keys: how its program hears the keyboard (`heard`: Heard,
// Devices, or Unheard where it does not), and the binder of the desktop
// (`desktop`: null where the program knows none for it), which binds the
// keys even where the program hears them, so that a binding covers what the
// program may not hear (X11 programs under XWayland hear only X windows').
class DesktopRunKeys final : public RunKeys {
public:
    DesktopRunKeys(RunKeyWay heard, std::unique_ptr<RunKeys> desktop);

    // The way in general, for Capabilities::runKeys.
    RunKeyWay way() const;

    // How the program hears the keys, where it does; else the desktop's answer.
    RunKeyAnswer ask(const RunKeyRequest &request) override;
    // The desktop's binding; where there is no desktop binder, how the
    // program hears the keys.
    RunKeyAnswer bind(int id, const RunKeyRequest &request) override;
    void unbind(int id) override;

private:
    RunKeyWay heard_;
    std::unique_ptr<RunKeys> desktop_;
};

} // namespace platform
