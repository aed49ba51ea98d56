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
    p.apply = [](QStringList &r, const Values &v, bool) {
        applyCommandWindow(r, v);
        setElement(r, 4, QString::number(v.coordX));
        setElement(r, 5, QString::number(v.coordY));
    };
    p.takeWindowPosition = takeWindowPosition;
    p.looksAtWindow = [](const QStringList &) { return true; };
    p.needsWindowPlace = true;
    return p;
}

} // namespace kinds::command::pointerInWindow
