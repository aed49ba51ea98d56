#pragma once

// What the panes of the kinds that jump, branch or call share: the pages a
// jump may name, and the pane of a kind that adds a time limit to another
// (that kind's pane, with the button showing the limit and the pages).

#include "editorpanes.h"
#include "tarnwick.h"

#include <QList>
#include <QPushButton>
#include <QString>
#include <QStringList>

class QComboBox;

namespace flowpanes {

// The named pages as "3.retry" (item data: the name), "(next page)" first,
// with `current` kept where no page has it (yet).
void fillTargets(QComboBox *combo, const QStringList &names, const QString &current, bool japanese);

// The branch button of the page's side: the limit, the page when what is
// waited for does not come and the one when it does, by number and name.
void showBranch(tarnwick &w, bool condition, const QStringList &record);

template <editorpanes::Pane (*Base)(), bool Condition> editorpanes::Pane branchPane() {
    editorpanes::Pane p = Base();
    p.widgets = [](const tarnwick &w) {
        QList<QWidget *> widgets = Base().widgets(w);
        widgets.append(Condition ? w.conditionBranchButton : w.commandBranchButton);
        return widgets;
    };
    p.show = [](tarnwick &w, const QStringList &record) {
        Base().show(w, record);
        showBranch(w, Condition, record);
    };
    return p;
}

} // namespace flowpanes
