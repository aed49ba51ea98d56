#include "app/panefields.h"

#include <QComboBox>

namespace kinds::condition::click {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) { return QList<QWidget *>{w.conditionClickCombo}; };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.conditionClickCombo->setCurrentText(
            pagerecords::clickSideMenuText(element(r, 1), w.settings.is_japanese));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 1,
                   pagerecords::clickSideFromMenuText(w.conditionClickCombo->currentText(),
                                                      w.settings.is_japanese));
    };
    return p;
}

} // namespace kinds::condition::click
