#pragma once

// A windowed program on Windows has no console: what it prints to stdout and
// stderr goes nowhere, even when started from cmd.exe or PowerShell. This
// lets the command line's answers (help, version, errors, run progress)
// reach the console the program was started from.
//
// Only the command line may attach: a process attached to a console gets
// that console's Ctrl+C and its closing, which would end the editor without
// asking about unsaved work. Call it for --run, --help, --version and
// argument errors, never for the editor.

// Attaches to the console of the process that started this one, if it has
// one, and points stdin, stdout and stderr (the C streams, their
// descriptors 0, 1 and 2, the process's standard handles and the C++
// streams) at it, unless they already lead somewhere (redirected to a file
// or a pipe). Started from Explorer there is no such console and nothing
// changes: no console window is made. Calling it again does nothing.
// Does nothing on other systems.
void attachParentConsole();
