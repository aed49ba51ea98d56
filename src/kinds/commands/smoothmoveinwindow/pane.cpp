#include "app/panefields.h"
#include "core/recordvalues.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

namespace kinds::command::smoothMoveInWindow {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel2, w.coordXSpin2,     w.coordYLabel2,
                                w.coordYSpin2,  w.commandTimeSpin, w.commandSecLabel,
                                w.testButton,   w.coordGetButton2} +
               commandFields(w).widgets();
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin2->setValue(recordvalues::coordinateOf(element(r, 4)));
        w.coordYSpin2->setValue(recordvalues::coordinateOf(element(r, 5)));
        setSeconds(w.commandTimeSpin, element(r, 6));
        showWindow(commandFields(w), r, kWindowRowBelowCoordinates);
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        applyCommandWindow(r, w);
        setElement(r, 4, QString::number(w.coordXSpin2->value()));
        setElement(r, 5, QString::number(w.coordYSpin2->value()));
        setElement(r, 6, secondsText(w.commandTimeSpin->value()));
    };
    // The duration stays.
    p.takeWindowPosition = takeWindowPosition;
    p.looksAtWindow = [](const QStringList &) { return true; };
    p.needsWindowPlace = true;
    return p;
}

} // namespace kinds::command::smoothMoveInWindow
