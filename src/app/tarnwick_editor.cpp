#include "tarnwick.h"

// Placeholder definitions until this concern is built.
void tarnwick::pollKeystroke() {}
void tarnwick::addNewCommand() {}
void tarnwick::addCommand() {}
void tarnwick::addCondition() {}
void tarnwick::changeMenuAddCommand() {}
void tarnwick::changeMenuAddCondition() {}
void tarnwick::nextPage() {}
void tarnwick::returnPage() {}
void tarnwick::changeSomeThing() {}
void tarnwick::changeWidgetPage() {}
void tarnwick::deletePage() {}
void tarnwick::copy() {}
void tarnwick::paste() {}
void tarnwick::pageBack() {}
void tarnwick::pageForward() {}
void tarnwick::refreshPage() {}
void tarnwick::setKeyCaptureMode(bool, bool) {}
void tarnwick::setNavigationHidden(bool) {}
