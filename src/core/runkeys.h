#pragma once

// How the run reads its key texts: the Key action's "combination,hold" spec,
// the Key condition and the stop command. Stored mask: Alt 1, Ctrl 2,
// Shift 4, Win 8.

#include <QString>

struct RunKeys {
    int vk = 0;     // 0: no key (none, missing, unreadable or 0)
    int mask = 0;   // stored mask, 0 when absent or unreadable
    int holdMs = 0; // third part in seconds, as whole milliseconds, never below 0
};

// Splits at commas with empty parts dropped: key, mask, hold seconds.
// "なし" and the empty text give no key.
RunKeys parseRunKeys(const QString &text);

// The Key action's worker input: the combination text (its first two numbers
// when it has more), a comma and the hold time, read as every seconds value
// is, after a round trip through single precision and six significant
// digits ("12345.67" gives "12345.7").
QString keyActionSpec(const QString &combination, const QString &holdText);

// Stored-mask bit of a modifier key (either side or generic), 0 for others.
int storedModifierBit(int vk);

// The modifiers that must be held, exactly, for `vk` with `mask` to match:
// the mask's four bits, plus the key's own modifier when the key is one
// (a lone Ctrl recorded as 162,0 is pressed with Ctrl down).
int wantedModifiers(int vk, int mask);

// Position of a linear move from (x0, y0) to (x1, y1) at `fraction` (0..1),
// each coordinate rounded to the nearest integer, halves away from zero.
struct MovePoint {
    int x = 0;
    int y = 0;
};
MovePoint interpolateMove(int x0, int y0, int x1, int y1, double fraction);
