// The recording slot of the window: the work is RecordingLauncher's.

#include "recordinglauncher.h"
#include "tarnwick.h"

void tarnwick::recordActions() {
    // The recorded pages go after the page shown, which a key capture holds.
    if (!keyCaptureRunning())
        recorder->recordActions();
}
