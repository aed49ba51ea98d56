#include "app/panefields.h"
#include "core/recordvalues.h"

#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace kinds::command::pointerInWindow {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel, w.coordXSpin, w.coordYLabel,
                                w.coordYSpin,  w.testButton, w.coordGetButton} +
               commandFields(w).widgets();
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin->setValue(recordvalues::coordinateOf(element(r, 4)));
        w.coordYSpin->setValue(recordvalues::coordinateOf(element(r, 5)));
        showWindow(commandFields(w), r, kWindowRowBelowCoordinates);
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        applyCommandWindow(r, w);
        setElement(r, 4, QString::number(w.coordXSpin->value()));
        setElement(r, 5, QString::number(w.coordYSpin->value()));
    };
    p.takeWindowPosition = takeWindowPosition;
    p.looksAtWindow = [](const QStringList &) { return true; };
    p.needsWindowPlace = true;
    return p;
}

} // namespace kinds::command::pointerInWindow
