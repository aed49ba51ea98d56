#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::reportBug() {}
void tarnwick::reportImprovementSuggestion() {}
void tarnwick::openBrowserForm(const QString &) {}
void tarnwick::showVersionInfo() {}
void tarnwick::showTermDocument(int) {}
