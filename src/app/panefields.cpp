#include "panefields.h"

#include "uitexts.h"

#include "core/recordvalues.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>

#include <algorithm>

namespace editorpanes {

Pane emptyPane() {
    Pane p;
    p.widgets = [](const tarnwick &) { return QList<QWidget *>{}; };
    p.show = [](tarnwick &, const QStringList &) {};
    p.apply = [](QStringList &, const tarnwick &) {};
    return p;
}

void setSeconds(QDoubleSpinBox *spin, const QString &text) {
    spin->setValue(static_cast<float>(recordvalues::secondsOf(text)));
}

bool keyMissing(const QStringList &record) {
    return pagerecords::isMissingKey(element(record, 1));
}

WindowFields commandFields(const tarnwick &w) {
    return {w.windowTitleCombo, w.windowModeCombo, w.windowProgramEdit, w.windowMatchLabel};
}

WindowFields conditionFields(const tarnwick &w) {
    return {w.conditionWindowTitleCombo, w.conditionWindowModeCombo, w.conditionWindowProgramEdit,
            w.conditionWindowMatchLabel};
}

void showWindow(const WindowFields &f, const QStringList &r, int y) {
    f.title->move(f.title->x(), y);
    f.mode->move(f.mode->x(), y);
    f.program->move(f.program->x(), y);
    const windowmatch::Choice choice = windowmatch::fromRecord(r);
    f.title->setEditText(choice.title);
    f.mode->setCurrentIndex(windowmatch::modeIndex(choice.mode));
    f.program->setText(choice.program);
}

windowmatch::Choice choiceOf(const QString &title, int mode, const QString &program) {
    windowmatch::Choice choice;
    choice.title = title;
    choice.mode = windowmatch::modeAt(mode);
    choice.program = program;
    return choice;
}

void applyWindow(QStringList &r, const QString &title, int mode, const QString &program) {
    windowmatch::toRecord(r, choiceOf(title, mode, program));
}

void applyCommandWindow(QStringList &r, const tarnwick &w) {
    applyWindow(r, w.windowTitleCombo->currentText(), w.windowModeCombo->currentIndex(),
                w.windowProgramEdit->text());
}

void takeWindowPosition(QStringList &r, const QString &title, const QString &program, int x,
                        int y) {
    windowmatch::Choice choice;
    choice.title = title;
    choice.program = program;
    windowmatch::toRecord(r, choice);
    setElement(r, 4, QString::number(x));
    setElement(r, 5, QString::number(y));
}

void showOnly(const QList<QWidget *> &all, const QList<QWidget *> &hidden) {
    for (QWidget *widget : all)
        widget->setVisible(!hidden.contains(widget));
}

QList<QWidget *> rectangleWidgets(const tarnwick::ImageFields &f) {
    return {f.xLabel, f.x, f.yLabel, f.y, f.widthLabel, f.width, f.heightLabel, f.height};
}

QList<QWidget *> imageWidgets(const tarnwick::ImageFields &f) {
    return QList<QWidget *>{f.area, f.thresholdLabel, f.threshold} + rectangleWidgets(f) +
           QList<QWidget *>{f.fromScreen, f.fromFile, f.size, f.preview};
}

QList<QWidget *> areaUnused(const tarnwick::ImageFields &f, const WindowFields &window,
                            screenpages::Area area) {
    QList<QWidget *> out;
    if (area != screenpages::Area::Rectangle)
        out += rectangleWidgets(f);
    if (area != screenpages::Area::Window)
        out += window.widgets();
    return out;
}

void showTemplate(const tarnwick::ImageFields &f, const QByteArray &png, bool japanese) {
    QImage image;
    if (png.isEmpty() || !image.loadFromData(png, "PNG")) {
        f.size->setText(uitexts::noTemplate.in(japanese));
        f.preview->clear();
        return;
    }
    f.size->setText(uitexts::templateSize.in(japanese).arg(image.width()).arg(image.height()));
    const QSize room = f.preview->size() - QSize(4, 4);
    QPixmap picture = QPixmap::fromImage(image);
    if (picture.width() > room.width() || picture.height() > room.height()) {
        picture = picture.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    } else {
        const int factor =
            std::min(room.width() / picture.width(), room.height() / picture.height());
        if (factor > 1)
            picture = picture.scaled(picture.size() * factor, Qt::KeepAspectRatio,
                                     Qt::FastTransformation);
    }
    f.preview->setPixmap(picture);
}

void showSearch(tarnwick &w, const tarnwick::ImageFields &f, const WindowFields &window,
                const QStringList &r, const screenpages::ImageSearch &s, int windowRow) {
    f.area->setCurrentIndex(int(s.area));
    f.threshold->setValue(qRound(s.thresholdPercent));
    f.x->setValue(s.x);
    f.y->setValue(s.y);
    f.width->setValue(s.width);
    f.height->setValue(s.height);
    showTemplate(f, s.png, w.settings.is_japanese);
    showWindow(window, r, windowRow);
}

void applySearch(screenpages::ImageSearch &s, const tarnwick::ImageFields &f,
                 const windowmatch::Choice &window) {
    s.area = screenpages::Area(qBound(0, f.area->currentIndex(), 2));
    s.window = window;
    // A threshold with decimals from a file stays until it is edited.
    const int threshold = f.threshold->value();
    if (threshold != qRound(s.thresholdPercent))
        s.thresholdPercent = threshold;
    s.x = f.x->value();
    s.y = f.y->value();
    s.width = f.width->value();
    s.height = f.height->value();
}

bool areaIsWindow(const QStringList &record) {
    return screenpages::areaFromStored(element(record, 4)) == screenpages::Area::Window;
}

} // namespace editorpanes
