#pragma once

// A run's keys on GNOME: our shell extension grabs them as a global
// accelerator for the run's length and signals the program over D-Bus when
// they are pressed, since GNOME lets no program hear or bind keys itself.
// The grab belongs to a bus connection of this binder's own, so the shell
// lets it go when the program ends, however it ends. No Qt or GLib types
// here.

#include "platform/runkeybindings.h"

#include <memory>
#include <string>

namespace platform::gnome {

// The shell's name for a chord ("<Control><Alt>s"); empty where the key has
// no name.
std::string acceleratorFor(const Chord &chord);

// Null where the extension does not answer.
std::unique_ptr<RunKeys> createGnomeRunKeys();

} // namespace platform::gnome
