#include "app/panefields.h"
#include "core/keycombination.h"

#include <QLabel>

namespace kinds::condition::key {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) { return QList<QWidget *>{w.conditionKeyPromptLabel}; };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.conditionKeyPromptLabel->setText(keyCombinationDisplayText(element(r, 1)));
    };
    p.incomplete = keyMissing;
    p.takeKey = [](QStringList &r, const QString &keys) {
        r = QStringList{pagekinds::name::key(), keys};
    };
    return p;
}

} // namespace kinds::condition::key
