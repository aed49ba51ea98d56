#include "app/panefields.h"

namespace kinds::command::none {

// Nothing to set.
editorpanes::Pane pane() {
    return editorpanes::emptyPane();
}

} // namespace kinds::command::none
