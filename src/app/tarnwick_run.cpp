#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::stertRun() {}
void tarnwick::onRunFinished() {}
void tarnwick::startRun() {}
