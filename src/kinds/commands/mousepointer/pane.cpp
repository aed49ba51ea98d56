#include "app/panefields.h"
#include "core/recordvalues.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace kinds::command::mousePointer {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel, w.coordXSpin, w.coordYLabel,
                                w.coordYSpin,  w.testButton, w.coordGetButton};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin->setValue(recordvalues::coordinateOf(element(r, 1)));
        w.coordYSpin->setValue(recordvalues::coordinateOf(element(r, 2)));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 1, QString::number(w.coordXSpin->value()));
        setElement(r, 2, QString::number(w.coordYSpin->value()));
    };
    p.takePosition = [](QStringList &r, int x, int y) {
        r = QStringList{pagekinds::name::mousePointer(), QString::number(x), QString::number(y)};
    };
    return p;
}

} // namespace kinds::command::mousePointer
