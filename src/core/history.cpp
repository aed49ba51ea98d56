#include "history.h"

namespace history {

bool History::record(const PageList &projectCommands, const PageList &projectConditions) {
    const bool indexValid = index >= 0 && index < commands.size() && index < conditions.size();
    if (indexValid && commands.at(index) == projectCommands &&
        conditions.at(index) == projectConditions)
        return false;
    // Drop the redo states (or whatever an out-of-range index left behind).
    const int keep = indexValid ? index + 1 : 0;
    commands.resize(keep);
    conditions.resize(keep);
    commands.append(projectCommands);
    conditions.append(projectConditions);
    index = int(commands.size()) - 1;
    return true;
}

bool History::canUndo() const {
    return index > 0 && index < commands.size();
}

bool History::canRedo() const {
    return index >= 0 && index < commands.size() - 1 && index < conditions.size() - 1;
}

bool History::undo(PageList &projectCommands, PageList &projectConditions) {
    if (!canUndo())
        return false;
    return restore(index - 1, projectCommands, projectConditions);
}

bool History::redo(PageList &projectCommands, PageList &projectConditions) {
    if (!canRedo())
        return false;
    return restore(index + 1, projectCommands, projectConditions);
}

void History::reset(const PageList &projectCommands, const PageList &projectConditions) {
    commands = {projectCommands};
    conditions = {projectConditions};
    index = 0;
}

bool History::restore(int to, PageList &projectCommands, PageList &projectConditions) {
    if (to < 0 || to >= commands.size() || to >= conditions.size())
        return false;
    index = to;
    projectCommands = commands.at(to);
    projectConditions = conditions.at(to);
    return true;
}

bool sameContent(const PageList &commandsA, const PageList &conditionsA, const PageList &commandsB,
                 const PageList &conditionsB) {
    return commandsA == commandsB && conditionsA == conditionsB;
}

} // namespace history
