#pragma once

// How a run reads the numbers of a record, one rule per kind of value, so
// that every page reads a hand-edited value the same way.

#include <QString>

namespace recordvalues {

// Seconds: the text as a decimal number ("0.5", "2", "1e3", surrounding
// white space ignored). A number too large for a double, or "inf", is
// infinite: wait until stopped. Anything else (empty, "nan", "0x10",
// full-width digits, negative numbers) is 0: no wait.
double secondsOf(const QString &text);

// A screen coordinate: a whole decimal number, with a sign or without.
// Numbers beyond an int saturate (the backends clamp a position to the
// screen's edge); anything that is not a whole number is 0.
int coordinateOf(const QString &text);

// `base` + `offset`, saturating at the ends of int instead of overflowing.
int offsetBy(int base, long long offset);

} // namespace recordvalues
