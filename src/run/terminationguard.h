#pragma once

// SIGINT, SIGTERM, SIGHUP and SIGQUIT end the program cleanly: every run stops, what the runs
// hold is released, temporary key bindings are restored, and the event loop
// quits once the runs have ended (so no run thread outlives its window).
// On Windows the console's Ctrl+C, Ctrl+Break and close and the end of the
// session do the same (terminationguard_win.h).

// Installs the handlers; call once, after the application object and the
// input layer exist.
void installTerminationGuard();

// True once a termination signal arrived; every run treats it as a stop.
bool terminationRequested();

// Runs register while they exist, so a termination waits for them.
void noteRunCreated();
void noteRunDestroyed();
int liveRunCount();
