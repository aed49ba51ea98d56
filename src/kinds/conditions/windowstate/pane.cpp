#include "app/panefields.h"

#include <QComboBox>

namespace kinds::condition::windowState {
using namespace editorpanes;

namespace {

// The stored states in the order of the state menu.
const QString &windowStateAt(int index) {
    switch (index) {
    case 1:
        return pagekinds::windowExists;
    case 2:
        return pagekinds::windowGone;
    default:
        return pagekinds::windowActive;
    }
}

int windowStateIndex(const QString &stored) {
    if (stored == pagekinds::windowExists)
        return 1;
    if (stored == pagekinds::windowGone)
        return 2;
    return 0;
}

} // namespace

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return conditionFields(w).widgets() + QList<QWidget *>{w.windowStateCombo};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        showWindow(conditionFields(w), r, 390);
        w.windowStateCombo->setCurrentIndex(windowStateIndex(element(r, 4)));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        applyWindow(r, w.conditionWindowTitleCombo->currentText(),
                    w.conditionWindowModeCombo->currentIndex(),
                    w.conditionWindowProgramEdit->text());
        setElement(r, 4, windowStateAt(w.windowStateCombo->currentIndex()));
    };
    p.looksAtWindow = [](const QStringList &) { return true; };
    return p;
}

} // namespace kinds::condition::windowState
