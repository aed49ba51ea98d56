#include "app/panefields.h"
#include "core/recordvalues.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace kinds::command::smoothMove {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel2, w.coordXSpin2,     w.coordYLabel2,
                                w.coordYSpin2,  w.commandTimeSpin, w.commandSecLabel,
                                w.testButton,   w.coordGetButton2};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin2->setValue(recordvalues::coordinateOf(element(r, 1)));
        w.coordYSpin2->setValue(recordvalues::coordinateOf(element(r, 2)));
        setSeconds(w.commandTimeSpin, element(r, 3));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 1, QString::number(w.coordXSpin2->value()));
        setElement(r, 2, QString::number(w.coordYSpin2->value()));
        setElement(r, 3, secondsText(w.commandTimeSpin->value()));
    };
    // Only the position changes; the duration stays.
    p.takePosition = [](QStringList &r, int x, int y) {
        setElement(r, 1, QString::number(x));
        setElement(r, 2, QString::number(y));
    };
    return p;
}

} // namespace kinds::command::smoothMove
