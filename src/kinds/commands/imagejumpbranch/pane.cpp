#include "app/flowpanes.h"

namespace kinds::command::imageJumpBranch {

// The pane of the kind it adds a time limit to, and the branch button.
editorpanes::Pane pane() {
    return flowpanes::branchPane<kinds::command::imageJump::pane, false>();
}

} // namespace kinds::command::imageJumpBranch
