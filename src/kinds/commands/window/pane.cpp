#include "app/panefields.h"

#include <QDoubleSpinBox>
#include <QLabel>

namespace kinds::command::window {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return commandFields(w).widgets() + QList<QWidget *>{w.commandTimeSpin, w.commandSecLabel};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        // No coordinates on this page: the fields take their row.
        showWindow(commandFields(w), r, 150);
        setSeconds(w.commandTimeSpin, element(r, 4));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        applyCommandWindow(r, w);
        setElement(r, 4, secondsText(w.commandTimeSpin->value()));
    };
    p.looksAtWindow = [](const QStringList &) { return true; };
    return p;
}

} // namespace kinds::command::window
