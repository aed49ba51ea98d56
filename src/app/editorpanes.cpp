#include "editorpanes.h"

#include "core/projectdocument.h"
#include "tarnwick.h"

#include "core/keycombination.h"
#include "core/pagerecords.h"
#include "core/recordvalues.h"
#include "core/screenpages.h"
#include "core/windowmatch.h"
#include "platform/backend.h"
#include "run/windowlookup.h"
#include "uitexts.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>

namespace editorpanes {

namespace {

using pagekinds::Side;
using pagerecords::element;
using pagerecords::secondsText;
using pagerecords::setElement;

void setSeconds(QDoubleSpinBox *spin, const QString &text) {
    spin->setValue(static_cast<float>(recordvalues::secondsOf(text)));
}

Pane pane(Side side, const QString &stored) {
    Pane p;
    p.side = side;
    p.stored = stored;
    p.widgets = [](const tarnwick &) { return QList<QWidget *>{}; };
    p.show = [](tarnwick &, const QStringList &) {};
    p.apply = [](QStringList &, const Values &, bool) {};
    return p;
}

bool keyMissing(const QStringList &record) {
    return pagerecords::isMissingKey(element(record, 1));
}

// ---- commands ----

Pane clickCommand() {
    Pane p = pane(Side::Command, pagekinds::name::click);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.commandClickCombo, w.commandTimeSpin, w.commandSecLabel};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.commandClickCombo->setCurrentText(
            pagerecords::clickSideMenuText(element(r, 1), w.settings.is_japanese));
        setSeconds(w.commandTimeSpin, element(r, 2));
    };
    p.apply = [](QStringList &r, const Values &v, bool japanese) {
        setElement(r, 2, secondsText(v.commandSeconds));
        setElement(r, 1, pagerecords::clickSideFromMenuText(v.commandClickText, japanese));
    };
    return p;
}

Pane mousePointer() {
    Pane p = pane(Side::Command, pagekinds::name::mousePointer);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel, w.coordXSpin, w.coordYLabel,
                                w.coordYSpin,  w.testButton, w.coordGetButton};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin->setValue(recordvalues::coordinateOf(element(r, 1)));
        w.coordYSpin->setValue(recordvalues::coordinateOf(element(r, 2)));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        setElement(r, 1, QString::number(v.coordX));
        setElement(r, 2, QString::number(v.coordY));
    };
    p.takePosition = [](QStringList &r, int x, int y) {
        r = QStringList{pagekinds::name::mousePointer, QString::number(x), QString::number(y)};
    };
    return p;
}

Pane smoothMove() {
    Pane p = pane(Side::Command, pagekinds::name::smoothMove);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel2, w.coordXSpin2,     w.coordYLabel2,
                                w.coordYSpin2,  w.commandTimeSpin, w.commandSecLabel,
                                w.testButton,   w.coordGetButton2};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin2->setValue(recordvalues::coordinateOf(element(r, 1)));
        w.coordYSpin2->setValue(recordvalues::coordinateOf(element(r, 2)));
        setSeconds(w.commandTimeSpin, element(r, 3));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        setElement(r, 1, QString::number(v.coordX2));
        setElement(r, 2, QString::number(v.coordY2));
        setElement(r, 3, secondsText(v.commandSeconds));
    };
    // Only the position changes; the duration stays.
    p.takePosition = [](QStringList &r, int x, int y) {
        setElement(r, 1, QString::number(x));
        setElement(r, 2, QString::number(y));
    };
    return p;
}

Pane keyCommand() {
    Pane p = pane(Side::Command, pagekinds::name::key);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.commandKeyPromptLabel, w.commandTimeSpin, w.commandSecLabel};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.commandKeyPromptLabel->setText(keyCombinationDisplayText(element(r, 1)));
        setSeconds(w.commandTimeSpin, element(r, 2));
    };
    // The key changes only by capture.
    p.apply = [](QStringList &r, const Values &v, bool) {
        setElement(r, 2, secondsText(v.commandSeconds));
    };
    p.incomplete = keyMissing;
    p.capturesKeyOnAdd = true;
    return p;
}

Pane enterText() {
    Pane p = pane(Side::Command, pagekinds::name::enterText);
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

// ---- window pages ----

struct WindowFields {
    QComboBox *title;
    QComboBox *mode;
    QLineEdit *program;
    QLabel *matches;

    QList<QWidget *> widgets() const { return {title, mode, program, matches}; }
};

WindowFields commandFields(const tarnwick &w) {
    return {w.windowTitleCombo, w.windowModeCombo, w.windowProgramEdit, w.windowMatchLabel};
}

WindowFields conditionFields(const tarnwick &w) {
    return {w.conditionWindowTitleCombo, w.conditionWindowModeCombo, w.conditionWindowProgramEdit,
            w.conditionWindowMatchLabel};
}

// The title, mode and program share one row, at the height the pane has free.
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

void applyCommandWindow(QStringList &r, const Values &v) {
    applyWindow(r, v.windowTitle, v.windowMode, v.windowProgram);
}

void showMatches(QLabel *label, const QStringList &record, bool japanese) {
    const windowmatch::Choice choice = windowmatch::fromRecord(record);
    platform::WindowAccess *access = platform::backend().windowAccess();
    const QString kind = element(record, 0);
    if (!access)
        label->setText(uitexts::noWindowAccess.in(japanese));
    else if (!platform::backend().capabilities().windowGeometry &&
             (kind == pagekinds::name::pointerInWindow ||
              kind == pagekinds::name::smoothMoveInWindow))
        label->setText(uitexts::noWindowPositions.in(japanese));
    else if (!windowmatch::Matcher(choice).valid())
        label->setText(uitexts::windowBadPattern.in(japanese));
    else {
        bool tooCostly = false;
        const int matches = windowlookup::count(*access, choice, &tooCostly);
        label->setText(tooCostly ? uitexts::windowPatternTooCostly.in(japanese)
                                 : uitexts::windowMatches.in(japanese).arg(matches));
    }
}

// The row below the coordinates (and above the seconds).
constexpr int kWindowRowBelowCoordinates = 188;

void takeWindowPosition(QStringList &r, const QString &title, const QString &program, int x,
                        int y) {
    windowmatch::Choice choice;
    choice.title = title;
    choice.program = program;
    windowmatch::toRecord(r, choice);
    setElement(r, 4, QString::number(x));
    setElement(r, 5, QString::number(y));
}

Pane windowCommand() {
    Pane p = pane(Side::Command, pagekinds::name::window);
    p.widgets = [](const tarnwick &w) {
        return commandFields(w).widgets() + QList<QWidget *>{w.commandTimeSpin, w.commandSecLabel};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        // No coordinates on this page: the fields take their row.
        showWindow(commandFields(w), r, 150);
        setSeconds(w.commandTimeSpin, element(r, 4));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        applyCommandWindow(r, v);
        setElement(r, 4, secondsText(v.commandSeconds));
    };
    return p;
}

Pane pointerInWindow() {
    Pane p = pane(Side::Command, pagekinds::name::pointerInWindow);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel, w.coordXSpin, w.coordYLabel,
                                w.coordYSpin,  w.testButton, w.coordGetButton} +
               commandFields(w).widgets();
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin->setValue(recordvalues::coordinateOf(element(r, 4)));
        w.coordYSpin->setValue(recordvalues::coordinateOf(element(r, 5)));
        showWindow(commandFields(w), r, kWindowRowBelowCoordinates);
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        applyCommandWindow(r, v);
        setElement(r, 4, QString::number(v.coordX));
        setElement(r, 5, QString::number(v.coordY));
    };
    p.takeWindowPosition = takeWindowPosition;
    return p;
}

Pane smoothMoveInWindow() {
    Pane p = pane(Side::Command, pagekinds::name::smoothMoveInWindow);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.coordXLabel2, w.coordXSpin2,     w.coordYLabel2,
                                w.coordYSpin2,  w.commandTimeSpin, w.commandSecLabel,
                                w.testButton,   w.coordGetButton2} +
               commandFields(w).widgets();
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.coordXSpin2->setValue(recordvalues::coordinateOf(element(r, 4)));
        w.coordYSpin2->setValue(recordvalues::coordinateOf(element(r, 5)));
        setSeconds(w.commandTimeSpin, element(r, 6));
        showWindow(commandFields(w), r, kWindowRowBelowCoordinates);
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        applyCommandWindow(r, v);
        setElement(r, 4, QString::number(v.coordX2));
        setElement(r, 5, QString::number(v.coordY2));
        setElement(r, 6, secondsText(v.commandSeconds));
    };
    // The duration stays.
    p.takeWindowPosition = takeWindowPosition;
    return p;
}

// ---- conditions ----

Pane seconds(const QString &stored) {
    Pane p = pane(Side::Condition, stored);
    p.widgets = [](const tarnwick &w) { return QList<QWidget *>{w.conditionTimeSpin}; };
    p.show = [](tarnwick &w, const QStringList &r) {
        setSeconds(w.conditionTimeSpin, element(r, 1));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        setElement(r, 1, secondsText(v.conditionSeconds));
    };
    return p;
}

Pane clickCondition() {
    Pane p = pane(Side::Condition, pagekinds::name::click);
    p.widgets = [](const tarnwick &w) { return QList<QWidget *>{w.conditionClickCombo}; };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.conditionClickCombo->setCurrentText(
            pagerecords::clickSideMenuText(element(r, 1), w.settings.is_japanese));
    };
    p.apply = [](QStringList &r, const Values &v, bool japanese) {
        setElement(r, 1, pagerecords::clickSideFromMenuText(v.conditionClickText, japanese));
    };
    return p;
}

Pane keyCondition() {
    Pane p = pane(Side::Condition, pagekinds::name::key);
    p.widgets = [](const tarnwick &w) { return QList<QWidget *>{w.conditionKeyPromptLabel}; };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.conditionKeyPromptLabel->setText(keyCombinationDisplayText(element(r, 1)));
    };
    p.incomplete = keyMissing;
    p.capturesKeyOnAdd = true;
    return p;
}

Pane clockTime() {
    Pane p = pane(Side::Condition, pagekinds::name::clockTime);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.clockHourSpin, w.clockColonLabel, w.clockMinuteSpin};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        w.clockHourSpin->setValue(element(r, 1).toInt());
        w.clockMinuteSpin->setValue(element(r, 2).toInt());
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        setElement(r, 1, QString::number(v.hour));
        setElement(r, 2, QString::number(v.minute));
    };
    return p;
}

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

Pane windowCondition() {
    Pane p = pane(Side::Condition, pagekinds::name::windowState);
    p.widgets = [](const tarnwick &w) {
        return conditionFields(w).widgets() + QList<QWidget *>{w.windowStateCombo};
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        showWindow(conditionFields(w), r, 390);
        w.windowStateCombo->setCurrentIndex(windowStateIndex(element(r, 4)));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        applyWindow(r, v.conditionWindowTitle, v.conditionWindowMode, v.conditionWindowProgram);
        setElement(r, 4, windowStateAt(v.windowState));
    };
    return p;
}

// ---- screen pages ----

using screenpages::Area;

// The window fields take the second row of the screen panes.
constexpr int kScreenWindowRowCommand = 172;
constexpr int kScreenWindowRowCondition = 422;

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

// The fields of the areas the search does not look at.
QList<QWidget *> areaUnused(const tarnwick::ImageFields &f, const WindowFields &window, Area area) {
    QList<QWidget *> out;
    if (area != Area::Rectangle)
        out += rectangleWidgets(f);
    if (area != Area::Window)
        out += window.widgets();
    return out;
}

// The template as large as the preview allows, small ones enlarged by
// whole steps so their pixels stay sharp.
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

void applySearch(screenpages::ImageSearch &s, const Values::Image &v,
                 const windowmatch::Choice &window) {
    s.area = Area(qBound(0, v.area, 2));
    s.window = window;
    // A threshold with decimals from a file stays until it is edited.
    if (v.threshold != qRound(s.thresholdPercent))
        s.thresholdPercent = v.threshold;
    s.x = v.x;
    s.y = v.y;
    s.width = v.width;
    s.height = v.height;
}

Pane imageJump() {
    Pane p = pane(Side::Command, pagekinds::name::imageJump);
    p.widgets = [](const tarnwick &w) {
        return imageWidgets(w.commandImage) + commandFields(w).widgets() +
               QList<QWidget *>{w.lookSecondsSpin, w.lookSecLabel, w.offsetXLabel, w.offsetXSpin,
                                w.offsetYLabel,    w.offsetYSpin,  w.jumpNoteLabel};
    };
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
        showOnly(editorpanes::find(Side::Command, pagekinds::name::imageJump)->widgets(w), hidden);
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        screenpages::ImageJump jump = screenpages::jumpFromRecord(r);
        applySearch(jump.search, v.commandImage,
                    choiceOf(v.windowTitle, v.windowMode, v.windowProgram));
        jump.seconds = v.lookSeconds;
        jump.offsetX = v.offsetX;
        jump.offsetY = v.offsetY;
        screenpages::jumpToRecord(r, jump);
    };
    return p;
}

Pane imageCondition() {
    Pane p = pane(Side::Condition, pagekinds::name::image);
    p.widgets = [](const tarnwick &w) {
        return imageWidgets(w.conditionImage) + conditionFields(w).widgets();
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        showSearch(w, w.conditionImage, conditionFields(w), r, screenpages::imageFromRecord(r),
                   kScreenWindowRowCondition);
    };
    p.follow = [](tarnwick &w, const QStringList &r) {
        showOnly(
            editorpanes::find(Side::Condition, pagekinds::name::image)->widgets(w),
            areaUnused(w.conditionImage, conditionFields(w), screenpages::imageFromRecord(r).area));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        screenpages::ImageSearch search = screenpages::imageFromRecord(r);
        applySearch(
            search, v.conditionImage,
            choiceOf(v.conditionWindowTitle, v.conditionWindowMode, v.conditionWindowProgram));
        screenpages::imageToRecord(r, search);
    };
    return p;
}

Pane colourCondition() {
    Pane p = pane(Side::Condition, pagekinds::name::colour);
    p.widgets = [](const tarnwick &w) {
        return QList<QWidget *>{w.colourAreaCombo, w.colourXLabel,  w.colourXSpin,
                                w.colourYLabel,    w.colourYSpin,   w.colourGetButton,
                                w.colourSwatch,    w.colourHexEdit, w.colourStateCombo,
                                w.toleranceLabel,  w.toleranceSpin} +
               conditionFields(w).widgets();
    };
    p.show = [](tarnwick &w, const QStringList &r) {
        const screenpages::ColourCondition c = screenpages::colourFromRecord(r);
        w.colourAreaCombo->setCurrentIndex(c.area == Area::Window ? 1 : 0);
        w.colourXSpin->setValue(c.x);
        w.colourYSpin->setValue(c.y);
        w.colourHexEdit->setText(screenpages::colourText(c.colour));
        w.colourStateCombo->setCurrentIndex(c.becomes ? 0 : 1);
        w.toleranceSpin->setValue(c.tolerance);
        showWindow(conditionFields(w), r, kScreenWindowRowCondition);
    };
    p.follow = [](tarnwick &w, const QStringList &r) {
        const screenpages::ColourCondition c = screenpages::colourFromRecord(r);
        showOnly(editorpanes::find(Side::Condition, pagekinds::name::colour)->widgets(w),
                 c.area == Area::Window ? QList<QWidget *>{} : conditionFields(w).widgets());
        w.colourSwatch->setStyleSheet(
            QStringLiteral("QLabel{border: 1px solid gray; background-color: %1;} "
                           "QToolTip { font-size: 14pt; }")
                .arg(screenpages::colourText(c.colour)));
    };
    p.apply = [](QStringList &r, const Values &v, bool) {
        screenpages::ColourCondition c = screenpages::colourFromRecord(r);
        c.area = v.colourArea == 1 ? Area::Window : Area::Screen;
        c.window =
            choiceOf(v.conditionWindowTitle, v.conditionWindowMode, v.conditionWindowProgram);
        c.x = v.colourX;
        c.y = v.colourY;
        // Half typed: the page keeps its colour until the text is one.
        screenpages::Colour typed;
        if (screenpages::parseColour(v.colourHex, typed))
            c.colour = typed;
        c.tolerance = v.tolerance;
        c.becomes = v.colourState == 0;
        screenpages::colourToRecord(r, c);
    };
    return p;
}

bool isWindowKind(Side side, const QString &stored) {
    if (side == Side::Condition)
        return stored == pagekinds::name::windowState;
    return stored == pagekinds::name::window || stored == pagekinds::name::pointerInWindow ||
           stored == pagekinds::name::smoothMoveInWindow;
}

// A window page, or a screen page that looks at a window.
bool looksAtWindow(Side side, const QStringList &record) {
    const QString &kind = element(record, 0);
    if (isWindowKind(side, kind))
        return true;
    const bool screenKind = side == Side::Condition
                                ? kind == pagekinds::name::colour || kind == pagekinds::name::image
                                : kind == pagekinds::name::imageJump;
    return screenKind && screenpages::areaFromStored(element(record, 4)) == Area::Window;
}

} // namespace

const QList<Pane> &panes() {
    static const QList<Pane> all{
        pane(Side::Command, pagekinds::name::none),
        clickCommand(),
        mousePointer(),
        smoothMove(),
        keyCommand(),
        enterText(),
        windowCommand(),
        pointerInWindow(),
        smoothMoveInWindow(),
        imageJump(),
        seconds(pagekinds::name::waitUntilOver),
        seconds(pagekinds::name::time),
        pane(Side::Condition, pagekinds::name::immediately),
        clickCondition(),
        keyCondition(),
        clockTime(),
        windowCondition(),
        colourCondition(),
        imageCondition(),
    };
    return all;
}

const Pane *find(Side side, const QString &stored) {
    for (const Pane &p : panes()) {
        if (p.side == side && p.stored == stored)
            return &p;
    }
    return nullptr;
}

QList<QWidget *> valueWidgets(const tarnwick &w) {
    QList<QWidget *> out;
    for (const Pane &p : panes()) {
        for (QWidget *widget : p.widgets(w)) {
            if (!out.contains(widget))
                out.append(widget);
        }
    }
    return out;
}

void follow(tarnwick &w, Side side, const QStringList &record) {
    if (const Pane *p = editorpanes::find(side, element(record, 0)); p && p->follow)
        p->follow(w, record);
}

bool showWindowMatches(tarnwick &w) {
    const int i = w.document->currentPage() - 1;
    if (i < 0 || i >= w.document->pageCount())
        return false;
    const QStringList &command = w.document->listCommand().at(i);
    const QStringList &condition = w.document->listCondition().at(i);
    bool shown = false;
    if (looksAtWindow(Side::Command, command)) {
        showMatches(w.windowMatchLabel, command, w.settings.is_japanese);
        shown = true;
    }
    if (looksAtWindow(Side::Condition, condition)) {
        showMatches(w.conditionWindowMatchLabel, condition, w.settings.is_japanese);
        shown = true;
    }
    return shown;
}

void applyValues(QStringList &command, QStringList &condition, const Values &values,
                 bool japanese) {
    if (const Pane *p = editorpanes::find(Side::Command, element(command, 0)))
        p->apply(command, values, japanese);
    if (const Pane *p = editorpanes::find(Side::Condition, element(condition, 0)))
        p->apply(condition, values, japanese);
}

} // namespace editorpanes
