#include "editorpanes.h"

#include "tarnwick.h"

#include "core/keycombination.h"
#include "core/pagerecords.h"
#include "core/windowmatch.h"
#include "platform/backend.h"
#include "run/windowlookup.h"
#include "uitexts.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
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
    spin->setValue(text.toFloat());
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
            pagerecords::clickSideMenuText(element(r, 1), w.is_japanese));
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
        w.coordXSpin->setValue(element(r, 1).toInt());
        w.coordYSpin->setValue(element(r, 2).toInt());
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
        w.coordXSpin2->setValue(element(r, 1).toInt());
        w.coordYSpin2->setValue(element(r, 2).toInt());
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

void applyWindow(QStringList &r, const QString &title, int mode, const QString &program) {
    windowmatch::Choice choice;
    choice.title = title;
    choice.mode = windowmatch::modeAt(mode);
    choice.program = program;
    windowmatch::toRecord(r, choice);
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
    else
        label->setText(
            uitexts::windowMatches.in(japanese).arg(windowlookup::count(*access, choice)));
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
        w.coordXSpin->setValue(element(r, 4).toInt());
        w.coordYSpin->setValue(element(r, 5).toInt());
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
        w.coordXSpin2->setValue(element(r, 4).toInt());
        w.coordYSpin2->setValue(element(r, 5).toInt());
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
            pagerecords::clickSideMenuText(element(r, 1), w.is_japanese));
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

bool isWindowKind(Side side, const QString &stored) {
    if (side == Side::Condition)
        return stored == pagekinds::name::windowState;
    return stored == pagekinds::name::window || stored == pagekinds::name::pointerInWindow ||
           stored == pagekinds::name::smoothMoveInWindow;
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
        seconds(pagekinds::name::waitUntilOver),
        seconds(pagekinds::name::time),
        pane(Side::Condition, pagekinds::name::immediately),
        clickCondition(),
        keyCondition(),
        clockTime(),
        windowCondition(),
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

bool showWindowMatches(tarnwick &w) {
    const int i = w.currentPage - 1;
    if (i < 0 || i >= w.listCommand.size() || i >= w.listCondition.size())
        return false;
    const QStringList &command = w.listCommand.at(i);
    const QStringList &condition = w.listCondition.at(i);
    bool shown = false;
    if (isWindowKind(Side::Command, element(command, 0))) {
        showMatches(w.windowMatchLabel, command, w.is_japanese);
        shown = true;
    }
    if (isWindowKind(Side::Condition, element(condition, 0))) {
        showMatches(w.conditionWindowMatchLabel, condition, w.is_japanese);
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
