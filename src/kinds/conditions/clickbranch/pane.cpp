#include "app/flowpanes.h"

namespace kinds::condition::clickBranch {

// The pane of the kind it adds a time limit to, and the branch button.
editorpanes::Pane pane() {
    return flowpanes::branchPane<kinds::condition::click::pane, true>();
}

} // namespace kinds::condition::clickBranch
