#include "projectdocument.h"

#include <algorithm>

ProjectDocument::ProjectDocument(QObject *parent) : QObject(parent) {
    listCommand_ = {pagerecords::newPageCommand()};
    listCondition_ = {pagerecords::newPageCondition()};
    savedListCommand_ = listCommand_;
    savedListCondition_ = listCondition_;
    steps().reset(listCommand_, listCondition_);
}

Page ProjectDocument::page(int index) const {
    return Page{listCommand_.value(index), listCondition_.value(index)};
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

void ProjectDocument::setPages(const PageList &commands, const PageList &conditions) {
    const Before was = before();
    assignPages(commands, conditions);
    announce(was, true);
}

void ProjectDocument::assignPages(const PageList &commands, const PageList &conditions) {
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
    announce(was, false);
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
    announce(was, true);
}

bool ProjectDocument::deleteCurrent() {
    const Before was = before();
    project().clampCurrentPage();
    const bool deleted = project().deleteCurrent();
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
    const bool recorded = steps().record(listCommand_, listCondition_);
    if (recorded)
        emit historyChanged();
    return recorded;
}

bool ProjectDocument::undo() {
    const Before was = before();
    const bool moved = steps().undo(listCommand_, listCondition_);
    if (!moved)
        return false;
    emit historyChanged();
    announce(was, true);
    return true;
}

bool ProjectDocument::redo() {
    const Before was = before();
    const bool moved = steps().redo(listCommand_, listCondition_);
    if (!moved)
        return false;
    emit historyChanged();
    announce(was, true);
    return true;
}

bool ProjectDocument::isModified() const {
    return !history::sameContent(listCommand_, listCondition_, savedListCommand_,
                                 savedListCondition_);
}

void ProjectDocument::markSaved() {
    setSavedPages(listCommand_, listCondition_);
}

void ProjectDocument::setSavedPages(const PageList &commands, const PageList &conditions) {
    const Before was = before();
    savedListCommand_ = commands;
    savedListCondition_ = conditions;
    announce(was, false);
}

void ProjectDocument::replaceProject(const PageList &commands, const PageList &conditions) {
    const Before was = before();
    assignPages(commands, conditions);
    savedListCommand_ = listCommand_;
    savedListCondition_ = listCondition_;
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
