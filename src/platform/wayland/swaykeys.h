#pragma once

// A run's keys under sway (SWAYSOCK): no Wayland client may hear the
// keyboard, so sway binds them to the program's command through its IPC
// (`bindsym --no-repeat`) while the run goes, and they are unbound after it.
// Keys that sway's configuration binds already are left alone, or the
// unbind would lose the user's binding. Qt (its process and JSON classes)
// stays inside: the interface is plain C++.

#include "platform/runkeybindings.h"

#include <map>
#include <memory>
#include <string>

namespace platform::wayland {

// Sway's name of `chord` ("Ctrl+Alt+s"); empty for no keys or a key sway
// cannot name.
std::string swayChord(Chord chord);

// The line of sway's configuration text `config` that binds `chord` (sway's
// form) already, empty when none does.
std::string configBinding(const std::string &config, const std::string &chord);

// Sway's configuration text `config`, read from the file `path`, with each
// `include` line replaced by the text of the files it names, as sway reads
// them (a shell word, expanded without running commands; each file once):
// a binding in an included file is the user's too. Sway itself gives only
// its main file.
std::string withIncludes(const std::string &config, const std::string &path);

class SwayRunKeys final : public RunKeys {
public:
    ~SwayRunKeys() override; // unbinds what is still bound

    // Bound where the keys are free; the user's binding where it runs the
    // request's command (UsersBinding), else Taken.
    RunKeyAnswer ask(const RunKeyRequest &request) override;
    RunKeyAnswer bind(int id, const RunKeyRequest &request) override;
    void unbind(int id) override;

private:
    std::map<int, std::string> bound_; // id -> sway's name of the keys
};

// Sway's run keys where SWAYSOCK names its IPC socket, else null.
std::unique_ptr<RunKeys> createSwayRunKeys();

} // namespace platform::wayland
