#pragma once

// The undo/redo history of a project: parallel lists of whole project states
// (command list, condition list) and the index of the state the project was
// in when it was last recorded or restored. Entries are full copies by value;
// implicit sharing keeps the unchanged pages shared between them.

#include <QList>
#include <QStringList>

using PageList = QList<QStringList>;

namespace history {

struct History {
    QList<PageList> &commands;
    QList<PageList> &conditions;
    int &index;

    // Records the project as a new step when it differs from the state at
    // `index`; the redo states after `index` are dropped first. Returns
    // whether a step was recorded. A history that lost its entries (or an
    // index outside them) takes the project as its new current state.
    bool record(const PageList &projectCommands, const PageList &projectConditions);

    bool canUndo() const;
    bool canRedo() const;
    // Moves to the previous or next state and writes it into the project.
    // Returns false (and changes nothing) at either end.
    bool undo(PageList &projectCommands, PageList &projectConditions);
    bool redo(PageList &projectCommands, PageList &projectConditions);

    // Starts over with the project as the only state.
    void reset(const PageList &projectCommands, const PageList &projectConditions);

private:
    bool restore(int to, PageList &projectCommands, PageList &projectConditions);
};

// Whether two projects hold the same pages, compared string by string: the
// unsaved rule compares the project with its saved copy this way.
bool sameContent(const PageList &commandsA, const PageList &conditionsA, const PageList &commandsB,
                 const PageList &conditionsB);

} // namespace history
