#include "core/screenpages.h"
#include "run/screensteps.h"

namespace kinds::condition::colour {
using namespace runsteps;

// A colour that is neither #RRGGBB nor #RGB is refused before the run.
const ConditionStep step{screensteps::colourCondition, nullptr,
                         [](const QStringList &record, QString &valueText) {
                             screenpages::Colour colour;
                             if (screenpages::parseColour(record.value(7), colour))
                                 return ValueProblem::None;
                             valueText = record.value(7);
                             return ValueProblem::BadColour;
                         }};

} // namespace kinds::condition::colour
