#pragma once

// A windowed program on Windows has no console: what it prints to stdout and
// stderr goes nowhere, even when started from cmd.exe or PowerShell. This
// lets the command line's answers (help, version, errors, run progress)
// reach the console the program was started from.

// Attaches to the console of the process that started this one, if it has
// one, and points stdout and stderr at it, unless they already lead
// somewhere (redirected to a file or a pipe). Started from Explorer there
// is no such console and nothing changes: no console window is made.
// Does nothing on other systems. Call it first thing in main.
void attachParentConsole();
