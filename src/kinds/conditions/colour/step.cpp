#include "core/screenpages.h"
#include "run/screensteps.h"

namespace kinds::condition::colour {
using namespace runsteps;

namespace {

// Until the pixel is within the tolerance of the colour, or until it is not.
class ColourCondition : public Condition {
public:
    explicit ColourCondition(const QStringList &record)
        : page_(screenpages::colourFromRecord(record)) {}

    void wait(RunContext &run) const override { screensteps::waitForColour(run, page_); }

private:
    screenpages::ColourCondition page_;
};

} // namespace

// A colour that is neither #RRGGBB nor #RGB is refused before the run.
const ConditionStep step{madeOf<ColourCondition, Condition>, nullptr,
                         [](const QStringList &record, QString &valueText) {
                             screenpages::Colour colour;
                             if (screenpages::parseColour(record.value(7), colour))
                                 return ValueProblem::None;
                             valueText = record.value(7);
                             return ValueProblem::BadColour;
                         }};

} // namespace kinds::condition::colour
