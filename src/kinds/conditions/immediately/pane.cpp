#include "app/panefields.h"

namespace kinds::condition::immediately {

// Nothing to set.
editorpanes::Pane pane() {
    return editorpanes::emptyPane();
}

} // namespace kinds::condition::immediately
