#include "app/panefields.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QSpinBox>

namespace kinds::command::imageJump {
using namespace editorpanes;

namespace {

QList<QWidget *> widgets(const tarnwick &w) {
    return imageWidgets(w.commandImage) + commandFields(w).widgets() +
           QList<QWidget *>{w.lookSecondsSpin, w.lookSecLabel, w.offsetXLabel, w.offsetXSpin,
                            w.offsetYLabel,    w.offsetYSpin,  w.jumpNoteLabel};
}

} // namespace

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = widgets;
    p.show = [](tarnwick &w, const QStringList &r) {
        const screenpages::ImageJump jump = screenpages::jumpFromRecord(r);
        showSearch(w, w.commandImage, commandFields(w), r, jump.search, kScreenWindowRowCommand);
        w.lookSecondsSpin->setValue(jump.seconds);
        w.offsetXSpin->setValue(jump.offsetX);
        w.offsetYSpin->setValue(jump.offsetY);
    };
    p.follow = [](tarnwick &w, const QStringList &r) {
        const screenpages::ImageJump jump = screenpages::jumpFromRecord(r);
        QList<QWidget *> hidden = areaUnused(w.commandImage, commandFields(w), jump.search.area);
        // Without a template the jump goes where the last Image condition
        // found its own: the note says so in the preview's place.
        if (jump.search.png.isEmpty())
            hidden += QList<QWidget *>{w.commandImage.size, w.commandImage.preview};
        else
            hidden += w.jumpNoteLabel;
        showOnly(widgets(w), hidden);
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        screenpages::ImageJump jump = screenpages::jumpFromRecord(r);
        applySearch(jump.search, w.commandImage,
                    choiceOf(w.windowTitleCombo->currentText(), w.windowModeCombo->currentIndex(),
                             w.windowProgramEdit->text()));
        jump.seconds = w.lookSecondsSpin->value();
        jump.offsetX = w.offsetXSpin->value();
        jump.offsetY = w.offsetYSpin->value();
        screenpages::jumpToRecord(r, jump);
    };
    p.looksAtWindow = areaIsWindow;
    p.takeTemplate = [](QStringList &r, const QByteArray &png, double scale) {
        screenpages::ImageJump jump = screenpages::jumpFromRecord(r);
        jump.search.png = png;
        jump.search.templateScale = scale;
        screenpages::jumpToRecord(r, jump);
    };
    return p;
}

} // namespace kinds::command::imageJump
