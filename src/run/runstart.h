#pragma once

// Starting a run on its own thread, shared by the main window's Start and the
// command line's --run.

class QObject;
class QThread;
class Run;

// Moves `run` (its parameters set) to a new QThread owned by `owner` and
// starts it. When the run has finished, the thread ends and both delete
// themselves. Connect to the run's signals before calling this.
QThread *startRunThread(Run *run, QObject *owner);
