#pragma once

// tarnwick --run: plays a project without the editor window, with the same
// Run engine and run start as the run settings dialog's Start.

#include "core/commandline.h"

#include "core/projectfile.h"

// Reads the project of a --run request, once: "-" is standard input, and a
// pipe or /dev/stdin cannot be read a second time. Checks that this version
// can play every page; on failure prints the reason to stderr and returns
// false. Needs no application object.
bool loadRunProject(const commandline::Request &request, projectfile::LoadResult &project);

// Plays `project` as loadRunProject gave it. Needs the application object and
// the input layer. Returns the exit status: 0 when every pass ran, 1 when a
// stop ended the run, 2 when the run is refused (the reason on stderr,
// nothing run), 128 + the signal after a termination signal (main then ends
// the process by that signal).
int runFromCommandLine(const commandline::Request &request, const projectfile::LoadResult &project);
