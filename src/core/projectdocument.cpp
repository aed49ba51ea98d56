#include "projectdocument.h"

#include "pageflow.h"

#include <algorithm>

namespace {

// Names count as set only where a page has one.
QStringList namedOnly(QStringList names) {
    while (!names.isEmpty() && names.constLast().isEmpty())
        names.removeLast();
    return names;
}

} // namespace

ProjectDocument::ProjectDocument(QObject *parent) : QObject(parent) {
    listCommand_ = {pagerecords::newPageCommand()};
    listCondition_ = {pagerecords::newPageCondition()};
    savedListCommand_ = listCommand_;
    savedListCondition_ = listCondition_;
    fitNames();
    savedListName_ = listName_;
    steps().reset(listCommand_, listCondition_);
}

Page ProjectDocument::page(int index) const {
    return Page{listCommand_.value(index), listCondition_.value(index), listName_.value(index)};
}

void ProjectDocument::fitNames() {
    while (listName_.size() < listCommand_.size())
        listName_.append(QString());
    while (listName_.size() > listCommand_.size())
        listName_.removeLast();
}

const QString &ProjectDocument::namesRecord() {
    static const QString record = QStringLiteral("\u0000names");
    return record;
}

PageList ProjectDocument::commandsWithNames() const {
    if (namedOnly(listName_).isEmpty())
        return listCommand_;
    PageList commands = listCommand_;
    commands.append(QStringList{namesRecord()} + listName_);
    return commands;
}

void ProjectDocument::takeNamesFromCommands() {
    if (!listCommand_.isEmpty() && listCommand_.constLast().value(0) == namesRecord())
        listName_ = listCommand_.takeLast().mid(1);
    else
        listName_.clear();
    fitNames();
}

void ProjectDocument::announce(const Before &was, bool pagesTouched) {
    modified_ = isModified();
    if (pagesTouched || was.pageCount != pageCount())
        emit pagesChanged();
    if (was.currentPage != currentPage_)
        emit currentPageChanged(currentPage_);
    if (was.modified != modified_)
        emit modifiedChanged(modified_);
}

void ProjectDocument::setPages(const PageList &commands, const PageList &conditions,
                               const QStringList &names) {
    const Before was = before();
    assignPages(commands, conditions, names);
    announce(was, true);
}

void ProjectDocument::setNames(const QStringList &names) {
    QStringList fitted = names;
    while (fitted.size() < listCommand_.size())
        fitted.append(QString());
    while (fitted.size() > listCommand_.size())
        fitted.removeLast();
    if (fitted == listName_)
        return;
    const Before was = before();
    listName_ = fitted;
    announce(was, true);
}

void ProjectDocument::renamePage(int index, const QString &name) {
    if (index < 0 || index >= listName_.size() || listName_.at(index) == name)
        return;
    const Before was = before();
    pageflow::renameTargets(listCommand_, listCondition_, listName_.at(index), name);
    listName_[index] = name;
    announce(was, true);
}

void ProjectDocument::assignPages(const PageList &commands, const PageList &conditions,
                                  const QStringList &names) {
    listName_ = names;
    listCommand_ = commands;
    listCondition_ = conditions;
    while (listCommand_.size() < listCondition_.size())
        listCommand_.append(pagerecords::newPageCommand());
    while (listCondition_.size() < listCommand_.size())
        listCondition_.append(pagerecords::newPageCondition());
    if (listCommand_.isEmpty()) {
        listCommand_.append(pagerecords::newPageCommand());
        listCondition_.append(pagerecords::newPageCondition());
    }
    fitNames();
}

void ProjectDocument::setCommandAt(int index, const QStringList &record) {
    if (index < 0 || index >= listCommand_.size() || listCommand_.at(index) == record)
        return;
    const Before was = before();
    listCommand_[index] = record;
    announce(was, true);
}

void ProjectDocument::setConditionAt(int index, const QStringList &record) {
    if (index < 0 || index >= listCondition_.size() || listCondition_.at(index) == record)
        return;
    const Before was = before();
    listCondition_[index] = record;
    announce(was, true);
}

void ProjectDocument::insertPages(int index, const QList<Page> &pages) {
    if (pages.isEmpty())
        return;
    const Before was = before();
    index = std::clamp(index, 0, pageCount());
    for (int i = 0; i < pages.size(); ++i) {
        listCommand_.insert(index + i, pages.at(i).command);
        listCondition_.insert(index + i, pages.at(i).condition);
        listName_.insert(index + i, pages.at(i).name);
    }
    announce(was, true);
}

void ProjectDocument::setCurrentPage(int page) {
    const Before was = before();
    currentPage_ = page;
    announce(was, false);
}

void ProjectDocument::clampCurrentPage() {
    const Before was = before();
    project().clampCurrentPage();
    announce(was, false);
}

void ProjectDocument::goNext() {
    const Before was = before();
    project().goNext();
    fitNames();
    announce(was, was.pageCount != pageCount());
}

void ProjectDocument::goPrevious() {
    const Before was = before();
    project().goPrevious();
    announce(was, false);
}

void ProjectDocument::insertAtPlusRow(int row) {
    const Before was = before();
    project().clampCurrentPage();
    project().insertAtPlusRow(row);
    if (pageCount() > was.pageCount)
        listName_.insert(currentPage_ - 1, QString());
    fitNames();
    announce(was, true);
}

bool ProjectDocument::deleteCurrent() {
    const Before was = before();
    project().clampCurrentPage();
    const int removed = currentPage_ - 1;
    const QString name = listName_.value(removed);
    const bool deleted = project().deleteCurrent();
    if (deleted) {
        listName_.removeAt(removed);
        pageflow::renameTargets(listCommand_, listCondition_, name, {});
    }
    announce(was, deleted);
    return deleted;
}

void ProjectDocument::copyCurrent() {
    clampCurrentPage();
    copied_ = page(currentPage_ - 1);
    emit clipboardChanged();
}

bool ProjectDocument::pasteCurrent() {
    if (!hasCopiedPage())
        return false;
    clampCurrentPage();
    const Before was = before();
    listCommand_[currentPage_ - 1] = copied_.command;
    listCondition_[currentPage_ - 1] = copied_.condition;
    announce(was, true);
    return true;
}

bool ProjectDocument::currentIsBlank() const {
    return pagerecords::isBlankPage(currentCommand(), currentCondition());
}

// History asks nothing of its lists but their sizes here.
bool ProjectDocument::canUndo() const {
    return const_cast<ProjectDocument *>(this)->steps().canUndo();
}

bool ProjectDocument::canRedo() const {
    return const_cast<ProjectDocument *>(this)->steps().canRedo();
}

bool ProjectDocument::recordStep() {
    const bool recorded = steps().record(commandsWithNames(), listCondition_);
    if (recorded)
        emit historyChanged();
    return recorded;
}

bool ProjectDocument::undo() {
    const Before was = before();
    const bool moved = steps().undo(listCommand_, listCondition_);
    if (!moved)
        return false;
    takeNamesFromCommands();
    emit historyChanged();
    announce(was, true);
    return true;
}

bool ProjectDocument::redo() {
    const Before was = before();
    const bool moved = steps().redo(listCommand_, listCondition_);
    if (!moved)
        return false;
    takeNamesFromCommands();
    emit historyChanged();
    announce(was, true);
    return true;
}

bool ProjectDocument::isModified() const {
    return !history::sameContent(listCommand_, listCondition_, savedListCommand_,
                                 savedListCondition_) ||
           namedOnly(listName_) != namedOnly(savedListName_);
}

void ProjectDocument::markSaved() {
    setSavedPages(listCommand_, listCondition_, listName_);
}

void ProjectDocument::setSavedPages(const PageList &commands, const PageList &conditions,
                                    const QStringList &names) {
    const Before was = before();
    savedListCommand_ = commands;
    savedListCondition_ = conditions;
    savedListName_ = names;
    announce(was, false);
}

void ProjectDocument::replaceProject(const PageList &commands, const PageList &conditions,
                                     const QStringList &names) {
    const Before was = before();
    assignPages(commands, conditions, names);
    savedListCommand_ = listCommand_;
    savedListCondition_ = listCondition_;
    savedListName_ = listName_;
    currentPage_ = 1;
    announce(was, true);
}

void ProjectDocument::newProject() {
    replaceProject({pagerecords::newPageCommand()}, {pagerecords::newPageCondition()});
}

void ProjectDocument::setFilePath(const QString &path) {
    if (path == filePath_)
        return;
    filePath_ = path;
    emit pathChanged(filePath_);
}
