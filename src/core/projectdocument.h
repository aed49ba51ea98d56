#pragma once

// The project being edited, apart from any window: its pages, the current
// page, the copy last created, loaded or saved (which decides whether the
// project is unsaved), the undo history, the one-page clipboard and the
// file path. Every change goes through a method here and is announced by a
// signal; the page list decisions themselves are core/pagerecords' and the
// history's are core/history's.
//
// The accessors keep the names the editor has always used for this state
// (listCommand, currentPage, copiedCommand, historyIndex, ...).

#include "history.h"
#include "pagerecords.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <utility>

// One page as a whole: its records, which files and runs see, and its name
// ("" for none), by which the jumps name it. The document keeps the name
// beside the records through every page operation.
struct Page {
    // A page without a name unless one is given.
    Page(QStringList command = {}, QStringList condition = {}, QString name = {})
        : command(std::move(command)), condition(std::move(condition)), name(std::move(name)) {}

    QStringList command;
    QStringList condition;
    QString name;

    bool operator==(const Page &other) const {
        return command == other.command && condition == other.condition && name == other.name;
    }
    bool operator!=(const Page &other) const { return !(*this == other); }
};

class ProjectDocument : public QObject {
    Q_OBJECT

public:
    // A new project: one new page, saved, its only history state.
    explicit ProjectDocument(QObject *parent = nullptr);

    // ---- pages ----
    const PageList &listCommand() const { return listCommand_; }
    const PageList &listCondition() const { return listCondition_; }
    // The pages' names, one a page ("" for none).
    const QStringList &listName() const { return listName_; }
    int pageCount() const { return int(listCommand_.size()); }
    // Page `index` (0-based); an empty page outside the project.
    Page page(int index) const;
    // The current page's records.
    QStringList currentCommand() const { return listCommand_.value(currentPage_ - 1); }
    QStringList currentCondition() const { return listCondition_.value(currentPage_ - 1); }

    // Replaces every page. The shorter list is padded with new pages and an
    // empty project becomes one new page, so the lists stay parallel; the
    // names are padded with "" (and cut) to the pages.
    void setPages(const PageList &commands, const PageList &conditions,
                  const QStringList &names = {});
    // Replaces the names alone, padded or cut to the pages.
    void setNames(const QStringList &names);
    // Gives page `index` a new name ("" for none); the jumps to its old name
    // follow it. Nothing outside the project; the caller refuses a name
    // another page has.
    void renamePage(int index, const QString &name);
    // Writes one record of page `index`; nothing outside the project. Only a
    // real change is written, which keeps the pages shared with the history.
    void setCommandAt(int index, const QStringList &record);
    void setConditionAt(int index, const QStringList &record);
    void setCurrentCommand(const QStringList &record) { setCommandAt(currentPage_ - 1, record); }
    void setCurrentCondition(const QStringList &record) {
        setConditionAt(currentPage_ - 1, record);
    }
    // Inserts pages before page `index` (0-based, clamped to the project),
    // names included.
    void insertPages(int index, const QList<Page> &pages);

    // ---- the current page and the page list operations ----
    int currentPage() const { return currentPage_; }
    // Any number: callers may set a page the project does not have yet;
    // clampCurrentPage (each redraw calls it) brings it back.
    void setCurrentPage(int page);
    void clampCurrentPage();
    void goNext();
    void goPrevious();
    void insertAtPlusRow(int row);
    // The jumps to the removed page's name name no page afterwards.
    bool deleteCurrent();

    // ---- page clipboard ----
    const QStringList &copiedCommand() const { return copied_.command; }
    const QStringList &copiedCondition() const { return copied_.condition; }
    bool hasCopiedPage() const { return !copied_.command.isEmpty(); }
    void copyCurrent();
    // Puts the copied page on the current page; false when nothing is copied.
    bool pasteCurrent();
    // Whether pasting may replace the current page without asking.
    bool currentIsBlank() const;

    // ---- undo history ----
    // A step's names ride in it as one more command record after the pages,
    // only where a page has a name, so a project without names is recorded
    // as it always was. No stored kind starts with a NUL.
    static const QString &namesRecord();
    const QList<PageList> &listCommandHistory() const { return listCommandHistory_; }
    const QList<PageList> &listConditionHistory() const { return listConditionHistory_; }
    int historyIndex() const { return historyIndex_; }
    bool canUndo() const;
    bool canRedo() const;
    // Records the pages as a new step when they changed since the last one.
    bool recordStep();
    // The previous or next state; the current page is left to the clamp.
    bool undo();
    bool redo();

    // ---- the saved copy ----
    const PageList &savedListCommand() const { return savedListCommand_; }
    const PageList &savedListCondition() const { return savedListCondition_; }
    const QStringList &savedListName() const { return savedListName_; }
    // The pages differ from the saved copy, string by string; names count
    // only where a page has one.
    bool isModified() const;
    // The pages as they are now are the saved copy.
    void markSaved();
    // Sets the saved copy apart from the pages (the saved state a recording
    // or a test starts from).
    void setSavedPages(const PageList &commands, const PageList &conditions,
                       const QStringList &names = {});
    // New and Open: the pages replaced and saved, page 1 shown. The history
    // is kept, so undo goes back to the project before.
    void replaceProject(const PageList &commands, const PageList &conditions,
                        const QStringList &names = {});
    void newProject();

    // ---- the file ----
    const QString &filePath() const { return filePath_; }
    void setFilePath(const QString &path);

signals:
    // The page list or a page's records changed.
    void pagesChanged();
    void currentPageChanged(int page);
    void modifiedChanged(bool modified);
    void pathChanged(const QString &path);
    void clipboardChanged();
    void historyChanged();

private:
    pagerecords::Project project() {
        return pagerecords::Project{listCommand_, listCondition_, currentPage_};
    }
    history::History steps() {
        return history::History{listCommandHistory_, listConditionHistory_, historyIndex_};
    }
    // Announces what an operation changed, compared with what was before.
    struct Before {
        int pageCount;
        int currentPage;
        bool modified;
    };
    Before before() const { return Before{pageCount(), currentPage_, modified_}; }
    void announce(const Before &was, bool pagesTouched);
    // setPages without the signals.
    void assignPages(const PageList &commands, const PageList &conditions,
                     const QStringList &names);
    // The names padded with "" or cut to the pages.
    void fitNames();
    // The commands as a history step holds them (see namesRecord) and back.
    PageList commandsWithNames() const;
    void takeNamesFromCommands();

    PageList listCommand_;
    PageList listCondition_;
    PageList savedListCommand_;
    PageList savedListCondition_;
    QStringList listName_;
    QStringList savedListName_;
    QList<PageList> listCommandHistory_;
    QList<PageList> listConditionHistory_;
    int historyIndex_ = 0;
    int currentPage_ = 1;
    Page copied_;
    QString filePath_;
    bool modified_ = false;
};
