#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::reportBug() {}
void tarnwick::reportImprovementSuggestion() {}
void tarnwick::openBrowserFormA() {}
void tarnwick::openBrowserFormB() {}
void tarnwick::showVersionInfo() {}
void tarnwick::showTermDocument(int) {}
