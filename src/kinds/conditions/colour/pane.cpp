#include "app/panefields.h"
#include "run/windowlookup.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace kinds::condition::colour {
using namespace editorpanes;

namespace {

QList<QWidget *> widgets(const tarnwick &w) {
    return QList<QWidget *>{w.colourAreaCombo,  w.colourXLabel,    w.colourXSpin,  w.colourYLabel,
                            w.colourYSpin,      w.colourGetButton, w.colourSwatch, w.colourHexEdit,
                            w.colourStateCombo, w.toleranceLabel,  w.toleranceSpin} +
           conditionFields(w).widgets();
}

} // namespace

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = widgets;
    p.show = [](tarnwick &w, const QStringList &r) {
        const screenpages::ColourCondition c = screenpages::colourFromRecord(r);
        w.colourAreaCombo->setCurrentIndex(c.area == screenpages::Area::Window ? 1 : 0);
        w.colourXSpin->setValue(c.x);
        w.colourYSpin->setValue(c.y);
        w.colourHexEdit->setText(screenpages::colourText(c.colour));
        w.colourStateCombo->setCurrentIndex(c.becomes ? 0 : 1);
        w.toleranceSpin->setValue(c.tolerance);
        showWindow(conditionFields(w), r, kScreenWindowRowCondition);
    };
    p.follow = [](tarnwick &w, const QStringList &r) {
        const screenpages::ColourCondition c = screenpages::colourFromRecord(r);
        showOnly(widgets(w), c.area == screenpages::Area::Window ? QList<QWidget *>{}
                                                                 : conditionFields(w).widgets());
        w.colourSwatch->setStyleSheet(
            QStringLiteral("QLabel{border: 1px solid gray; background-color: %1;} "
                           "QToolTip { font-size: 14pt; }")
                .arg(screenpages::colourText(c.colour)));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        screenpages::ColourCondition c = screenpages::colourFromRecord(r);
        c.area = w.colourAreaCombo->currentIndex() == 1 ? screenpages::Area::Window
                                                        : screenpages::Area::Screen;
        c.window = choiceOf(w.conditionWindowTitleCombo->currentText(),
                            w.conditionWindowModeCombo->currentIndex(),
                            w.conditionWindowProgramEdit->text());
        c.x = w.colourXSpin->value();
        c.y = w.colourYSpin->value();
        // Half typed: the page keeps its colour until the text is one.
        screenpages::Colour typed;
        if (screenpages::parseColour(w.colourHexEdit->text(), typed))
            c.colour = typed;
        c.tolerance = w.toleranceSpin->value();
        c.becomes = w.colourStateCombo->currentIndex() == 0;
        screenpages::colourToRecord(r, c);
    };
    p.looksAtWindow = areaIsWindow;
    // As the Window Pointer page takes it: the window under the pointer, the
    // position in its client area.
    p.takeColour = [](QStringList &r, int x, int y, const platform::Rgb &rgb,
                      const platform::WindowInfo *window) {
        screenpages::ColourCondition colour = screenpages::colourFromRecord(r);
        if (window) {
            colour.window = windowmatch::Choice();
            colour.window.title = windowlookup::textOf(window->title);
            colour.window.program = windowlookup::textOf(window->program);
            colour.x = x - window->client.x;
            colour.y = y - window->client.y;
        } else {
            colour.x = x;
            colour.y = y;
        }
        colour.colour = {rgb.r, rgb.g, rgb.b};
        screenpages::colourToRecord(r, colour);
    };
    return p;
}

} // namespace kinds::condition::colour
