#include "run/flowsteps.h"

namespace kinds::condition::keyBranch {
using namespace runsteps;

// The other kind's step within the time limit, checked as that kind is.
const ConditionStep step{flowsteps::limited, flowsteps::baseConditionTemplate,
                         flowsteps::baseValueProblem};

} // namespace kinds::condition::keyBranch
