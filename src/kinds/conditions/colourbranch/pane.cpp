#include "app/flowpanes.h"

namespace kinds::condition::colourBranch {

// The pane of the kind it adds a time limit to, and the branch button.
editorpanes::Pane pane() {
    return flowpanes::branchPane<kinds::condition::colour::pane, true>();
}

} // namespace kinds::condition::colourBranch
