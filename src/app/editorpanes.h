#pragma once

// The editor's part of each kind: which value widgets a page of the kind
// shows, how its record goes into them and how they are written back. One
// pane per row of core/pagekinds, found by stored name; the main window's
// refresh, edit and capture slots only walk these, so a new kind is one new
// pane here.

#include "core/pagekinds.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class tarnwick;

namespace editorpanes {

// The values of the editor's value widgets, as the widgets give them.
struct Values {
    QString inputText;
    double commandSeconds = 0;
    QString commandClickText;
    int coordX = 0;
    int coordY = 0;
    int coordX2 = 0;
    int coordY2 = 0;
    double conditionSeconds = 0;
    QString conditionClickText;
    int hour = 0;
    int minute = 0;
    // The window fields; modes and states by menu position.
    QString windowTitle;
    int windowMode = 0;
    QString windowProgram;
    QString conditionWindowTitle;
    int conditionWindowMode = 0;
    QString conditionWindowProgram;
    int windowState = 0;
    // The screen pages; areas and states by menu position.
    struct Image {
        int area = 0;
        int threshold = 90; // percent
        int x = 0;
        int y = 0;
        int width = 0;
        int height = 0;
    };
    Image commandImage;
    Image conditionImage;
    double lookSeconds = 0;
    int offsetX = 0;
    int offsetY = 0;
    int colourArea = 0;
    int colourX = 0;
    int colourY = 0;
    QString colourHex; // "#RRGGBB"; anything else keeps the page's colour
    int tolerance = 0;
    int colourState = 0;
    // The kinds that jump or call.
    QString jumpTarget; // a page's name
    int jumpCount = 0;
    bool jumpEvery = false;
    QString callPath;
};

struct Pane {
    pagekinds::Side side = pagekinds::Side::Command;
    QString stored;
    // The value widgets a page of this kind shows; the others stay hidden.
    QList<QWidget *> (*widgets)(const tarnwick &w) = nullptr;
    // Puts the record's values into the widgets (signals are ignored then).
    void (*show)(tarnwick &w, const QStringList &record) = nullptr;
    // Writes the widget values into the record; short records are padded.
    void (*apply)(QStringList &record, const Values &values, bool japanese) = nullptr;
    // When set: the page hides its navigation while this is true, since the
    // page cannot run yet (a key not captured, a text not typed).
    bool (*incomplete)(const QStringList &record) = nullptr;
    // Each edit decides the navigation again by `incomplete` (typing brings
    // it back at once).
    bool editsDecideNavigation = false;
    // "追加" starts a key capture for the page.
    bool capturesKeyOnAdd = false;
    // When set: after the record is shown and after every edit, shows what
    // follows from the record beyond the edited widgets (the fields of the
    // area the page looks at, the colour's swatch).
    void (*follow)(tarnwick &w, const QStringList &record) = nullptr;
    // Writes a position taken with Ctrl+Alt+G; null for a kind without one.
    void (*takePosition)(QStringList &record, int x, int y) = nullptr;
    // Set instead for a kind whose position counts from a window's client
    // area: the window under the pointer, the position within it.
    void (*takeWindowPosition)(QStringList &record, const QString &title, const QString &program,
                               int x, int y) = nullptr;
};

const QList<Pane> &panes();

// The pane of a stored kind name; null for a kind this version does not know.
const Pane *find(pagekinds::Side side, const QString &stored);

// Every value widget some pane shows, each once.
QList<QWidget *> valueWidgets(const tarnwick &w);

// The window pages' match counts again, from the windows open now (or that
// the desktop gives no access to windows). False when the page shown has no
// window kind.
bool showWindowMatches(tarnwick &w);

// The `follow` of the record's pane, where it has one.
void follow(tarnwick &w, pagekinds::Side side, const QStringList &record);

// Writes the widget values into the page's records by the page's kinds.
void applyValues(QStringList &command, QStringList &condition, const Values &values, bool japanese);

} // namespace editorpanes
