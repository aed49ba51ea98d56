#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::saveFile1() {}
void tarnwick::saveFile3() {}
void tarnwick::loadFile1() {}
void tarnwick::importedCommand() {}
void tarnwick::newFile() {}
void tarnwick::loadConfig() {}
void tarnwick::saveConfig() {}
