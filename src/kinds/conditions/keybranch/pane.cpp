#include "app/flowpanes.h"

namespace kinds::condition::keyBranch {

// The pane of the kind it adds a time limit to, and the branch button.
editorpanes::Pane pane() {
    return flowpanes::branchPane<kinds::condition::key::pane, true>();
}

} // namespace kinds::condition::keyBranch
