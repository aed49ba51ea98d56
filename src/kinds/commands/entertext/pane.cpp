#include "app/panefields.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QTextDocument>
#include <QTextEdit>

namespace kinds::command::enterText {
using namespace editorpanes;

namespace {

// The text box shows some characters otherwise than they are stored (a
// no-break space as a space, U+2028, U+2029 and CR LF as line breaks): the
// stored text stays as it is unless the text itself was edited.
QString editedText(const tarnwick &w, const QString &stored) {
    const QString shown = w.inputTextEdit->toPlainText();
    QTextDocument asShown;
    asShown.setPlainText(stored);
    return asShown.toPlainText() == shown ? stored : shown;
}

} // namespace

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
    p.apply = [](QStringList &r, const tarnwick &w) {
        setElement(r, 1, editedText(w, element(r, 1)));
        setElement(r, 2, secondsText(w.commandTimeSpin->value()));
    };
    p.incomplete = [](const QStringList &r) { return element(r, 1).isEmpty(); };
    p.editsDecideNavigation = true;
    return p;
}

} // namespace kinds::command::enterText
