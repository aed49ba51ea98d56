#pragma once

// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the program cleanly: every run stops, what the runs
// hold is released, temporary key bindings are restored, and the event loop
// quits once the runs have ended (so no run thread outlives its window).
// The process then ends by the signal itself, so whoever started it (a shell
// loop, a service manager) sees it killed by that signal.
// On Windows the console's Ctrl+C, Ctrl+Break and close and the end of the
// session do the same (terminationguard_win.h).
//
// On Linux the signals are taken by a thread of their own, so they are heard
// however long the main thread is blocked (an open() of a pipe nobody
// writes): that thread releases at once, and ends the process itself when
// the clean end takes too long or a second signal comes.

// Blocks the termination signals in the calling thread and starts the thread
// that waits for them. Call first in main, before any other thread starts
// (the threads started later inherit the mask). Until
// installTerminationGuard(), a termination signal ends the process at once,
// since nothing can be held yet. A signal the program was started with
// ignored (nohup) stays ignored. No-op on Windows.
void prepareTerminationGuard();

// Arms the clean end; call once, after the application object and the input
// layer exist. Calls prepareTerminationGuard() if main did not.
void installTerminationGuard();

// Call when the event loop has returned, before the input layer goes: after a
// termination signal the process ends here, by that signal, with nothing
// held; otherwise a later signal ends the process at once.
void endTerminationGuard();

// True once a termination signal arrived; every run treats it as a stop.
bool terminationRequested();

// Runs register while they exist, so a termination waits for them.
void noteRunCreated();
void noteRunDestroyed();
int liveRunCount();

// Tests watch how the process would end instead of ending it: `end` gets the
// signal number and the guard ends nothing more.
void setTerminationEndForTests(void (*end)(int signalNumber));
