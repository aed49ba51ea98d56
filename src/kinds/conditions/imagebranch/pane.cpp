#include "app/flowpanes.h"

namespace kinds::condition::imageBranch {

// The pane of the kind it adds a time limit to, and the branch button.
editorpanes::Pane pane() {
    return flowpanes::branchPane<kinds::condition::image::pane, true>();
}

} // namespace kinds::condition::imageBranch
