#include "app/panefields.h"

namespace kinds::condition::image {
using namespace editorpanes;

namespace {

QList<QWidget *> widgets(const tarnwick &w) {
    return imageWidgets(w.conditionImage) + conditionFields(w).widgets();
}

} // namespace

editorpanes::Pane pane() {
    Pane p = emptyPane();
    p.widgets = widgets;
    p.show = [](tarnwick &w, const QStringList &r) {
        showSearch(w, w.conditionImage, conditionFields(w), r, screenpages::imageFromRecord(r),
                   kScreenWindowRowCondition);
    };
    p.follow = [](tarnwick &w, const QStringList &r) {
        showOnly(widgets(w), areaUnused(w.conditionImage, conditionFields(w),
                                        screenpages::imageFromRecord(r).area));
    };
    p.apply = [](QStringList &r, const tarnwick &w) {
        screenpages::ImageSearch search = screenpages::imageFromRecord(r);
        applySearch(search, w.conditionImage,
                    choiceOf(w.conditionWindowTitleCombo->currentText(),
                             w.conditionWindowModeCombo->currentIndex(),
                             w.conditionWindowProgramEdit->text()));
        screenpages::imageToRecord(r, search);
    };
    p.looksAtWindow = areaIsWindow;
    p.takeTemplate = [](QStringList &r, const QByteArray &png, double scale) {
        screenpages::ImageSearch search = screenpages::imageFromRecord(r);
        search.png = png;
        search.templateScale = scale;
        screenpages::imageToRecord(r, search);
    };
    return p;
}

} // namespace kinds::condition::image
