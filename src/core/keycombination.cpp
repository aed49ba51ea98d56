#include "keycombination.h"

// Placeholder until key combinations are built.
KeyCombination parseKeyCombination(const QString &) { return {}; }
QString keyCombinationText(int vk, int storedMask) { return QStringLiteral("%1,%2").arg(vk).arg(storedMask); }
QString keyName(unsigned) { return {}; }
QString keyCombinationDisplayText(const QString &text, InvalidKeyText) { return text; }
bool isModifierKey(int) { return false; }
int modifierBit(int) { return 0; }
int toStoredMask(int) { return 0; }
int currentModifierMask() { return 0; }
