#pragma once

// Every kind of command and condition a page can hold, one row each: the
// stored name (Japanese whatever the interface language), the names the menus
// and labels show, how many elements a record of the kind needs, the record
// "追加" puts on a page and its line in Help Mode. Each row is made in its
// kind's folder (src/kinds/<side>s/<id>/kind.cpp); the lists below follow
// the registry (kinds/registry.h), so whatever lists, reads, shows or runs
// kinds walks them and a new kind is one folder and one registry line.

#include "core/flowshape.h"
#include "core/uitext.h"
#include "kinds/registry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

namespace pagekinds {

// Stored names, for the code that has to name one kind (a new page, the key
// capture, a recording). Each is spelled once, in its kind's folder; the
// Click and Key conditions share the commands' names.
namespace name {
// A condition that shares a command's stored name (Click, Key) declares it
// again here and leaves its definition to the command.
#define TARNWICK_DECLARE_NAME(id) const QString &id();
TARNWICK_COMMANDS(TARNWICK_DECLARE_NAME)
TARNWICK_CONDITIONS(TARNWICK_DECLARE_NAME)
#undef TARNWICK_DECLARE_NAME
} // namespace name

// Click sides as records store them.
inline const QString leftSide = QStringLiteral("左");
inline const QString rightSide = QStringLiteral("右");

// What the Window condition waits for, as records store it, in menu order.
inline const QString windowActive = QStringLiteral("アクティブ");
inline const QString windowExists = QStringLiteral("ある");
inline const QString windowGone = QStringLiteral("ない");

// Where the screen pages look (element 4), as records store them: the whole
// screen, a rectangle of it (Image pages only), or the chosen window's client
// area, whose positions are then relative to that area.
inline const QString areaScreen = QStringLiteral("画面");
inline const QString areaRectangle = QStringLiteral("範囲");
inline const QString areaWindow = QStringLiteral("ウィンドウ");

// What the Colour condition waits for, as records store it, in menu order.
inline const QString colourBecomes = QStringLiteral("になる");
inline const QString colourLeaves = QStringLiteral("でなくなる");

enum class Side { Command, Condition };

struct Kind {
    Side side = Side::Command;
    QString stored;        // element 0 of a record, e.g. "クリック"
    QString japanese;      // menu and label text in Japanese
    QString english;       // menu and label text in English
    QString englishInList; // the page list's English label (commands only)
    int elements = 1;      // a record needs at least this many, the kind included
    // The record "追加" puts on the page; a clock-based kind starts at `now`.
    QStringList (*fresh)(const QTime &now) = nullptr;
    // The kind's line in the Help Mode tip of its list.
    UiText help{u"", u""};
    // Its line in the Help Mode tip of the command seconds, for a command
    // that shows them; empty for any other.
    UiText secondsHelp{u"", u""};
    // Where the run may go after a page of the kind besides the next page.
    pageflow::Shape flow;
    // A kind that adds a time limit to another kind (whose elements its
    // record begins with): that kind's stored name; empty otherwise.
    QString base;
};

// The rows as the kinds' folders make them: the menu texts in English (the
// Japanese one is the stored name).
Kind commandKind(const QString &stored, const char *english, const char *englishInList,
                 int elements, QStringList (*fresh)(const QTime &), UiText help,
                 UiText secondsHelp = {u"", u""});
Kind conditionKind(const QString &stored, const char *english, int elements,
                   QStringList (*fresh)(const QTime &), UiText help);

// In menu order.
const QList<Kind> &commands();
const QList<Kind> &conditions();
const QList<Kind> &all(Side side);

// The row of a stored kind name, null when this version does not know it.
const Kind *find(Side side, const QString &stored);

// The menu text of a row in one language.
QString menuText(const Kind &kind, bool japanese);

// The row whose menu text in that language is `text`; null when none is.
const Kind *findByMenuText(Side side, const QString &text, bool japanese);

// Why a record cannot be shown or run; None when it has a kind this version
// knows and all the elements that kind needs.
enum class RecordProblem { None, Empty, UnknownKind, TooShort };
RecordProblem check(Side side, const QStringList &record);

} // namespace pagekinds

// Each kind's row, made in its folder.
#define TARNWICK_DECLARE_COMMAND_KIND(id)                                                          \
    namespace kinds::command::id {                                                                 \
    const pagekinds::Kind &kind();                                                                 \
    }
#define TARNWICK_DECLARE_CONDITION_KIND(id)                                                        \
    namespace kinds::condition::id {                                                               \
    const pagekinds::Kind &kind();                                                                 \
    }
TARNWICK_COMMANDS(TARNWICK_DECLARE_COMMAND_KIND)
TARNWICK_CONDITIONS(TARNWICK_DECLARE_CONDITION_KIND)
#undef TARNWICK_DECLARE_COMMAND_KIND
#undef TARNWICK_DECLARE_CONDITION_KIND
