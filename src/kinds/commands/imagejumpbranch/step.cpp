#include "run/flowsteps.h"
#include "run/screensteps.h"

namespace kinds::command::imageJumpBranch {
using namespace runsteps;

// The Image Jump's step, which reads the targets from the record's end; its
// template is checked as the Image Jump's is.
const ActionStep step{screensteps::imageJump, flowsteps::baseActionTemplate};

} // namespace kinds::command::imageJumpBranch
