#include "app/panefields.h"

#include <QLabel>
#include <QSpinBox>

namespace kinds::condition::clockTime {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.clockHourSpin, w.clockColonLabel, w.clockMinuteSpin};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.clockHourSpin->setValue(element(r, 1).toInt());
        w.clockMinuteSpin->setValue(element(r, 2).toInt());
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 1, QString::number(w.clockHourSpin->value()));
        setElement(r, 2, QString::number(w.clockMinuteSpin->value()));
    };
    return p;
}

} // namespace kinds::condition::clockTime
