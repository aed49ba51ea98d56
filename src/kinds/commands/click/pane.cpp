#include "app/panefields.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>

namespace kinds::command::click {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.commandClickCombo, w.commandTimeSpin, w.commandSecLabel};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.commandClickCombo->setCurrentText(
            pagerecords::clickSideMenuText(element(r, 1), w.settings.is_japanese));
        setSeconds(w.commandTimeSpin, element(r, 2));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 2, secondsText(w.commandTimeSpin->value()));
        setElement(r, 1,
                   pagerecords::clickSideFromMenuText(w.commandClickCombo->currentText(),
                                                      w.settings.is_japanese));
    };
    return p;
}

} // namespace kinds::command::click
