#include "editorpanes.h"

#include "core/projectdocument.h"
#include "tarnwick.h"

#include "core/pagerecords.h"
#include "core/windowmatch.h"
#include "platform/backend.h"
#include "run/windowlookup.h"
#include "uitexts.h"

#include <QLabel>

namespace editorpanes {

namespace {

using pagekinds::Side;
using pagerecords::element;

void showMatches(QLabel *label, const Pane &pane, const QStringList &record, bool japanese) {
    const windowmatch::Choice choice = windowmatch::fromRecord(record);
    platform::WindowAccess *access = platform::backend().windowAccess();
    if (!access)
        label->setText(uitexts::noWindowAccess.in(japanese));
    else if (!platform::backend().capabilities().windowGeometry && pane.needsWindowPlace)
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

bool looksAtWindow(const Pane &pane, const QStringList &record) {
    return pane.looksAtWindow && pane.looksAtWindow(record);
}

// A kind's pane with the kind it belongs to.
Pane ofKind(const pagekinds::Kind &kind, Pane pane) {
    pane.side = kind.side;
    pane.stored = kind.stored;
    return pane;
}

} // namespace

const QList<Pane> &panes() {
#define TARNWICK_COMMAND_PANE(id) ofKind(kinds::command::id::kind(), kinds::command::id::pane()),
#define TARNWICK_CONDITION_PANE(id)                                                                \
    ofKind(kinds::condition::id::kind(), kinds::condition::id::pane()),
    static const QList<Pane> all{TARNWICK_COMMANDS(TARNWICK_COMMAND_PANE)
                                     TARNWICK_CONDITIONS(TARNWICK_CONDITION_PANE)};
#undef TARNWICK_COMMAND_PANE
#undef TARNWICK_CONDITION_PANE
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
    if (const Pane *p = editorpanes::find(Side::Command, element(command, 0));
        p && looksAtWindow(*p, command)) {
        showMatches(w.windowMatchLabel, *p, command, w.settings.is_japanese);
        shown = true;
    }
    if (const Pane *p = editorpanes::find(Side::Condition, element(condition, 0));
        p && looksAtWindow(*p, condition)) {
        showMatches(w.conditionWindowMatchLabel, *p, condition, w.settings.is_japanese);
        shown = true;
    }
    return shown;
}

void applyValues(QStringList &command, QStringList &condition, const tarnwick &w) {
    if (const Pane *p = editorpanes::find(Side::Command, element(command, 0)))
        p->apply(command, w);
    if (const Pane *p = editorpanes::find(Side::Condition, element(condition, 0)))
        p->apply(condition, w);
}

} // namespace editorpanes
