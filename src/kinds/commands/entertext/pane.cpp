#include "app/panefields.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QTextEdit>

namespace kinds::command::enterText {
using namespace editorpanes;

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.inputTextEdit, w.commandTimeSpin, w.commandSecLabel};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        // Plain text both ways: a text that looks like markup must be typed
        // as it was entered, not lose its tags on the next edit.
        w.inputTextEdit->setPlainText(element(r, 1));
        setSeconds(w.commandTimeSpin, element(r, 2));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        setElement(r, 1, v.inputText);
        setElement(r, 2, secondsText(v.commandSeconds));
    };
    p.incomplete = [](const QStringList &r) { return element(r, 1).isEmpty(); };
    p.editsDecideNavigation = true;
    return p;
}

} // namespace kinds::command::enterText
