#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::buildUi() {}
