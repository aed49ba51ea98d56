// The run slots of the window: the work, with the settings dialog and the
// start key, is RunLauncher's.

#include "runlauncher.h"
#include "tarnwick.h"

#include <QApplication>

void tarnwick::stertRun() {
    // A run cannot start while the editor still waits for a key.
    if (!keyCaptureRunning())
        runs->stertRun();
}

void tarnwick::startRun() {
    runs->startRun();
}

void tarnwick::onRunFinished() {
    runs->onRunFinished();
}

void tarnwick::startFromKey() {
    // Not while a run plays (its stop keys stop it), while a dialog asks
    // something, or while the editor waits for a key.
    if (runs->runPlaying || !editorOpen || QApplication::activeModalWidget() || keyCaptureRunning())
        return;
    if (!runs->refusedByPages())
        runs->startRun();
}
