#pragma once

// The editor's part of each kind: which value widgets a page of the kind
// shows, how its record goes into them and how they are written back. Each
// kind's pane is made in its folder (src/kinds/<side>s/<id>/pane.cpp, over
// the shared fields of panefields.h) and listed from the registry; the main
// window's refresh, edit and capture slots only walk these.

#include "core/pagekinds.h"
#include "platform/screenreader.h"
#include "platform/windowaccess.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class tarnwick;

namespace editorpanes {

struct Pane {
    pagekinds::Side side = pagekinds::Side::Command;
    QString stored;
    // The value widgets a page of this kind shows; the others stay hidden.
    QList<QWidget *> (*widgets)(const tarnwick &w) = nullptr;
    // Puts the record's values into the widgets (signals are ignored then).
    void (*show)(tarnwick &w, const QStringList &record) = nullptr;
    // Writes the values of its widgets into the record; short records are
    // padded.
    void (*apply)(QStringList &record, const tarnwick &w) = nullptr;
    // When set: the page hides its navigation while this is true, since the
    // page cannot run yet (a key not captured, a text not typed).
    bool (*incomplete)(const QStringList &record) = nullptr;
    // Each edit decides the navigation again by `incomplete` (typing brings
    // it back at once).
    bool editsDecideNavigation = false;
    // When set: "追加" starts a key capture for the page, and this writes
    // the captured keys (as keycombination stores them) into its record.
    void (*takeKey)(QStringList &record, const QString &keys) = nullptr;
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
    // When set: writes a template (PNG) taken from the screen at `scale`, or
    // read from a file (at 1), into the record.
    void (*takeTemplate)(QStringList &record, const QByteArray &png, double scale) = nullptr;
    // When set: writes the colour taken at (x, y) on the screen into the
    // record; where the page looks at a window, `window` is the one under the
    // pointer and the position is taken within its client area.
    void (*takeColour)(QStringList &record, int x, int y, const platform::Rgb &colour,
                       const platform::WindowInfo *window) = nullptr;
    // When set: whether the page looks at a window (its match label then
    // counts the windows it would find).
    bool (*looksAtWindow)(const QStringList &record) = nullptr;
    // The page needs where the window is, which not every desktop tells.
    bool needsWindowPlace = false;
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
void applyValues(QStringList &command, QStringList &condition, const tarnwick &w);

} // namespace editorpanes

// Each kind's pane, made in its folder.
#define TARNWICK_DECLARE_COMMAND_PANE(id)                                                          \
    namespace kinds::command::id {                                                                 \
    editorpanes::Pane pane();                                                                      \
    }
#define TARNWICK_DECLARE_CONDITION_PANE(id)                                                        \
    namespace kinds::condition::id {                                                               \
    editorpanes::Pane pane();                                                                      \
    }
TARNWICK_COMMANDS(TARNWICK_DECLARE_COMMAND_PANE)
TARNWICK_CONDITIONS(TARNWICK_DECLARE_CONDITION_PANE)
#undef TARNWICK_DECLARE_COMMAND_PANE
#undef TARNWICK_DECLARE_CONDITION_PANE
