#include "app/flowpanes.h"
#include "app/panefields.h"
#include "core/pageflow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

namespace kinds::command::goToPage {
using namespace editorpanes;

// The page by number and name, and how often: a count, or every time.
editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.jumpTargetCombo, w.jumpCountLabel, w.jumpCountSpin,
                                w.jumpEveryCheck};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        flowpanes::fillTargets(w.jumpTargetCombo, w.document->listName(),
                               pagerecords::element(r, 1), w.settings.is_japanese);
        const int count = pageflow::countOf(pagerecords::element(r, 2));
        w.jumpEveryCheck->setChecked(count == -1);
        w.jumpCountSpin->setValue(qMax(count, 0));
    };
    p.follow = [](tarnwick &w, const QStringList &r) {
        w.jumpCountSpin->setEnabled(pageflow::countOf(pagerecords::element(r, 2)) != -1);
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        pagerecords::setElement(r, 1, w.jumpTargetCombo->currentData().toString());
        pagerecords::setElement(r, 2,
                                w.jumpEveryCheck->isChecked()
                                    ? pageflow::everyTime
                                    : QString::number(w.jumpCountSpin->value()));
    };
    return p;
}

} // namespace kinds::command::goToPage
