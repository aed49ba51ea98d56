#pragma once

// The editor's value widgets by name, for the editor tests' data tables: the
// fields of the plain kinds under the window's names for them, then the
// screen and window pages' fields under short names ("c…" for the
// condition's). Header only: only the app tests, which link the window, use it.

#include "app/tarnwick.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QSpinBox>
#include <QStringList>
#include <QTextEdit>

namespace testsupport {

struct EditorField {
    const char *name;
    QWidget *widget;
    bool plain; // a field of the plain kinds (not a screen or window page's)
};

inline QList<EditorField> editorFields(const tarnwick &w) {
    const tarnwick::ImageFields &c = w.commandImage;
    const tarnwick::ImageFields &d = w.conditionImage;
    return {
        {"commandClickCombo", w.commandClickCombo, true},
        {"commandTimeSpin", w.commandTimeSpin, true},
        {"commandSecLabel", w.commandSecLabel, true},
        {"coordXSpin", w.coordXSpin, true},
        {"coordYSpin", w.coordYSpin, true},
        {"coordXLabel", w.coordXLabel, true},
        {"coordGetButton", w.coordGetButton, true},
        {"testButton", w.testButton, true},
        {"coordXSpin2", w.coordXSpin2, true},
        {"coordYSpin2", w.coordYSpin2, true},
        {"coordGetButton2", w.coordGetButton2, true},
        {"commandKeyPromptLabel", w.commandKeyPromptLabel, true},
        {"inputTextEdit", w.inputTextEdit, true},
        {"conditionTimeSpin", w.conditionTimeSpin, true},
        {"conditionSecLabel", w.conditionSecLabel, true},
        {"conditionClickCombo", w.conditionClickCombo, true},
        {"conditionKeyPromptLabel", w.conditionKeyPromptLabel, true},
        {"clockHourSpin", w.clockHourSpin, true},
        {"clockColonLabel", w.clockColonLabel, true},
        {"clockMinuteSpin", w.clockMinuteSpin, true},
        {"area", c.area, false},
        {"threshold", c.threshold, false},
        {"x", c.x, false},
        {"y", c.y, false},
        {"width", c.width, false},
        {"height", c.height, false},
        {"fromScreen", c.fromScreen, false},
        {"fromFile", c.fromFile, false},
        {"size", c.size, false},
        {"preview", c.preview, false},
        {"cArea", d.area, false},
        {"cThreshold", d.threshold, false},
        {"cX", d.x, false},
        {"cY", d.y, false},
        {"cWidth", d.width, false},
        {"cHeight", d.height, false},
        {"cFromScreen", d.fromScreen, false},
        {"cFromFile", d.fromFile, false},
        {"cSize", d.size, false},
        {"cPreview", d.preview, false},
        {"lookSeconds", w.lookSecondsSpin, false},
        {"offsetX", w.offsetXSpin, false},
        {"offsetY", w.offsetYSpin, false},
        {"note", w.jumpNoteLabel, false},
        {"colourArea", w.colourAreaCombo, false},
        {"colourX", w.colourXSpin, false},
        {"colourY", w.colourYSpin, false},
        {"colourGet", w.colourGetButton, false},
        {"swatch", w.colourSwatch, false},
        {"hex", w.colourHexEdit, false},
        {"colourState", w.colourStateCombo, false},
        {"tolerance", w.toleranceSpin, false},
        {"title", w.windowTitleCombo, false},
        {"mode", w.windowModeCombo, false},
        {"program", w.windowProgramEdit, false},
        {"matches", w.windowMatchLabel, false},
        {"cTitle", w.conditionWindowTitleCombo, false},
        {"cMode", w.conditionWindowModeCombo, false},
        {"cProgram", w.conditionWindowProgramEdit, false},
        {"cMatches", w.conditionWindowMatchLabel, false},
    };
}

// The field of that name; null for a name the table does not have.
inline QWidget *editorField(const tarnwick &w, const QString &name) {
    for (const EditorField &f : editorFields(w)) {
        if (name == QLatin1String(f.name))
            return f.widget;
    }
    return nullptr;
}

// Of `names`, those whose fields are shown, in the same order.
inline QStringList shownFields(const tarnwick &w, const QStringList &names) {
    QStringList out;
    for (const QString &name : names) {
        if (editorField(w, name)->isVisible())
            out << name;
    }
    return out;
}

// The names of the plain kinds' fields, in the table's order.
inline QStringList plainFieldNames(const tarnwick &w) {
    QStringList out;
    for (const EditorField &f : editorFields(w)) {
        if (f.plain)
            out << QLatin1String(f.name);
    }
    return out;
}

} // namespace testsupport
