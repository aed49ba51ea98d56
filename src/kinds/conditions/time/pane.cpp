#include "app/panefields.h"

#include <QDoubleSpinBox>

namespace kinds::condition::time {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) { return QList<QWidget *>{w.conditionTimeSpin}; };
    p.show = [](tarnwick &w, const QStringList &r) {
        setSeconds(w.conditionTimeSpin, element(r, 1));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 1, secondsText(w.conditionTimeSpin->value()));
    };
    return p;
}

} // namespace kinds::condition::time
