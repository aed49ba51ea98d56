#pragma once

// The Help Mode tips of the kind lists, made from the registry: the list's
// head, then each kind's line in menu order, then the list's tail.

#include "core/pagekinds.h"
#include "core/uitext.h"

namespace kindtips {

// Lives as long as the program, as TextBindings wants its texts.
const UiText &listTip(pagekinds::Side side);

// The command seconds' tip: what the seconds mean to each command showing
// them, in menu order.
const UiText &commandSecondsTip();

} // namespace kindtips
