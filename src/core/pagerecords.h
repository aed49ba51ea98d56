#pragma once

// The page records of a project and the decisions about them that need no
// window: fresh records per kind, the kind texts of both languages, the
// blank-page rule, the page list texts and the page list operations
// (navigation, "+" insertion, deletion). A project is two parallel lists of
// string lists; element 0 of each record is the Japanese kind string.

#include "pagekinds.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QTime>

using PageList = QList<QStringList>;

namespace pagerecords {

// Click sides as records store them.
using pagekinds::leftSide;
using pagekinds::rightSide;

inline const QString plusEntry = QStringLiteral("+");

// Seconds as every record writes them: at most six significant digits.
QString secondsText(double seconds);

// The records of a page made by "→", "+" or a new project.
QStringList newPageCommand();
QStringList newPageCondition();

// The record "追加" puts on the page for a kind string (the registry row's
// fresh record); empty for a kind this version does not know. A Clock Time
// condition starts at `now`.
QStringList freshCommandRecord(const QString &kindString);
QStringList freshConditionRecord(const QString &kindString, const QTime &now);

// The kind string for the text of a kind menu item; English items are
// translated, Japanese items are the kind strings themselves. A text no row
// has comes back as it is.
QString commandKindFromMenuText(const QString &text, bool japanese);
QString conditionKindFromMenuText(const QString &text, bool japanese);

// The texts of the kind labels; a null QString for a kind the editor does not
// know, so that the label keeps its previous text.
QString commandKindLabel(const QString &kindString, bool japanese);
QString conditionKindLabel(const QString &kindString, bool japanese);

// The label of a page in the page list (English "key" is lower case there).
// An unknown kind shows as itself.
QString pageListLabel(const QString &kindString, bool japanese);

// Click sides: the stored "左"/"右" from a click-side menu text, and the menu
// text for a stored side.
QString clickSideFromMenuText(const QString &text, bool japanese);
QString clickSideMenuText(const QString &side, bool japanese);

// A page that pasting may replace without asking: command "なし" and the
// condition ("時間", "0.1") exactly.
bool isBlankPage(const QStringList &command, const QStringList &condition);

// True when a key element means "no key captured yet".
bool isMissingKey(const QString &keyText);

// Element `index` of a record, or an empty text when the record is shorter
// (records read from a file can be).
QString element(const QStringList &record, int index);
// Writes element `index`, padding a short record with empty texts first.
void setElement(QStringList &record, int index, const QString &value);

// The page list texts: "%1.%2" per page, with a "+" entry just above and
// just below the current page's entry. The current page's entry is at row
// `currentPage`.
QStringList pageListTexts(const PageList &commands, int currentPage, bool japanese);
// The text of page `page` (1-based) in the page list.
QString pageListText(const PageList &commands, int page, bool japanese);
// The page number of a page list entry ("12.キー" gives 12); 0 when the text
// is not a page entry.
int pageNumberOfEntry(const QString &text);

// The project with its current page; operations keep both lists the same
// length and at least one page long, and `currentPage` within 1..count.
struct Project {
    PageList &commands;
    PageList &conditions;
    int &currentPage;

    int pageCount() const { return int(commands.size()); }

    // `currentPage` lowered to the page count (and raised to 1).
    void clampCurrentPage();
    // "→": the next page, appending a new page after the last one.
    void goNext();
    // "←": the previous page, staying on page 1.
    void goPrevious();
    // A "+" entry at `row` of the page list was chosen: inserts a new page
    // above or below the current page and makes it current.
    void insertAtPlusRow(int row);
    // Removes the current page; the page before it becomes current (page 1
    // stays page 1). Refused (false) when only one page is left.
    bool deleteCurrent();
    // The current page's records.
    QStringList &command() { return commands[currentPage - 1]; }
    QStringList &condition() { return conditions[currentPage - 1]; }
};

} // namespace pagerecords
