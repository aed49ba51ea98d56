#include "app/panefields.h"
#include "core/keycombination.h"

#include <QDoubleSpinBox>
#include <QLabel>

namespace kinds::command::key {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.commandKeyPromptLabel, w.commandTimeSpin, w.commandSecLabel};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.commandKeyPromptLabel->setText(keyCombinationDisplayText(element(r, 1)));
        setSeconds(w.commandTimeSpin, element(r, 2));
    };
    // The key changes only by capture.
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 2, secondsText(w.commandTimeSpin->value()));
    };
    p.incomplete = keyMissing;
    p.takeKey = [](QStringList &r, const QString &keys) {
        r = QStringList{pagekinds::name::key(), keys, QStringLiteral("0.01")};
    };
    return p;
}

} // namespace kinds::command::key
