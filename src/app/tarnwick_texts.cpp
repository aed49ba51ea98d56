#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::changeLanguage() {}
void tarnwick::toggleLanguage() {}
void tarnwick::onHelpModeTriggered(bool) {}
