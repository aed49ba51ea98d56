#pragma once

// Windows has no SIGINT or SIGTERM for a program: a console's Ctrl+C and
// Ctrl+Break, the console window being closed, and the end of the user's
// session come as console control events and as WM_QUERYENDSESSION /
// WM_ENDSESSION. This turns each into the same clean end as the signals.

// `terminate` is the signal path's handler (a run of it on the GUI thread
// stops every run and leaves the event loop with 128 + the number).
// Call once on the GUI thread, after the application object exists.
void installWindowsTerminationGuard(void (*terminate)(int signalNumber));
