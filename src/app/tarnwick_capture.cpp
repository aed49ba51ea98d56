#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::getCoordinate() {}
void tarnwick::getCoordinate2() {}
void tarnwick::moveMousePointer() {}
void tarnwick::unregisterGlobalHotkey() {}
bool tarnwick::registerGlobalHotkey() { return false; }
