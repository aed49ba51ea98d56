#include "core/history.h"
#include "core/pagerecords.h"

#include <QTest>

using history::History;
using pagerecords::Project;

// The project and its history as the main window keeps them: an edit is
// followed by a refresh, which clamps the current page and records a step.
class HistoryTest : public QObject {
    Q_OBJECT

private:
    PageList commands;
    PageList conditions;
    PageList savedCommands;
    PageList savedConditions;
    QList<PageList> commandHistory;
    QList<PageList> conditionHistory;
    int index = 0;
    int currentPage = 1;

    History hist() { return History{commandHistory, conditionHistory, index}; }
    Project project() { return Project{commands, conditions, currentPage}; }
    bool refresh() {
        project().clampCurrentPage();
        return hist().record(commands, conditions);
    }
    void undo() {
        QVERIFY(hist().undo(commands, conditions));
        project().clampCurrentPage();
    }
    bool saved() const {
        return history::sameContent(commands, conditions, savedCommands, savedConditions);
    }
    void setKind(int page, const QString &kind) { commands[page - 1] = QStringList{kind}; }

private slots:
    void init() {
        commands = {pagerecords::newPageCommand()};
        conditions = {pagerecords::newPageCondition()};
        savedCommands = commands;
        savedConditions = conditions;
        commandHistory.clear();
        conditionHistory.clear();
        hist().reset(commands, conditions);
        currentPage = 1;
    }

    void nothingToUndoAtStart() {
        QVERIFY(!refresh());
        QVERIFY(!hist().canUndo());
        QVERIFY(!hist().canRedo());
        QVERIFY(!hist().undo(commands, conditions));
        QVERIFY(!hist().redo(commands, conditions));
        QCOMPARE(index, 0);
    }

    void oneStepPerRefresh() {
        // Two edits between refreshes make one step.
        setKind(1, "クリック");
        conditions[0] = {"即時"};
        QVERIFY(refresh());
        QCOMPARE(commandHistory.size(), 2);
        QCOMPARE(conditionHistory.size(), 2);
        QCOMPARE(index, 1);
        QVERIFY(!refresh()); // nothing changed since
        QCOMPARE(commandHistory.size(), 2);

        undo();
        QCOMPARE(commands, PageList{pagerecords::newPageCommand()});
        QCOMPARE(conditions, PageList{pagerecords::newPageCondition()});
        QVERIFY(hist().canRedo());
        QVERIFY(!hist().canUndo());
        QVERIFY(hist().redo(commands, conditions));
        QCOMPARE(commands.at(0), QStringList{"クリック"});
        QCOMPARE(conditions.at(0), QStringList{"即時"});
    }

    void newChangeDropsRedo() {
        setKind(1, "A");
        refresh();
        setKind(1, "B");
        refresh();
        undo();
        undo();
        QCOMPARE(commandHistory.size(), 3);
        setKind(1, "C");
        QVERIFY(refresh());
        QCOMPARE(commandHistory.size(), 2);
        QCOMPARE(conditionHistory.size(), 2);
        QCOMPARE(index, 1);
        QVERIFY(!hist().canRedo());
        undo();
        QCOMPARE(commands.at(0), pagerecords::newPageCommand());
        QVERIFY(hist().redo(commands, conditions));
        QCOMPARE(commands.at(0), QStringList{"C"}); // not A or B
    }

    void undoAfterDeletingLastPageWhileOnIt() {
        project().goNext();
        project().goNext();
        setKind(3, "C");
        refresh();
        QCOMPARE(currentPage, 3);
        QVERIFY(project().deleteCurrent());
        refresh();
        QCOMPARE(currentPage, 2);
        undo();
        QCOMPARE(commands.size(), 3);
        QCOMPARE(conditions.size(), 3);
        QCOMPARE(commands.at(2), QStringList{"C"});
        QCOMPARE(currentPage, 2); // one below the restored last page
    }

    void undoShrinkingBelowCurrentPage() {
        project().goNext();
        project().goNext();
        refresh();
        QCOMPARE(currentPage, 3);
        undo();
        QCOMPARE(commands.size(), 1);
        QCOMPARE(currentPage, 1); // lowered to the page count
    }

    void unsavedRuleFollowsUndo() {
        QVERIFY(saved());
        setKind(1, "クリック");
        refresh();
        QVERIFY(!saved());
        undo();
        QVERIFY(saved());
        QVERIFY(hist().redo(commands, conditions));
        QVERIFY(!saved());
        // Changing a value back makes the project saved again.
        setKind(1, "なし");
        QVERIFY(saved());
    }

    void stepsShareUnchangedPages() {
        for (int i = 0; i < 99; ++i)
            project().goNext();
        refresh();
        const PageList before = commandHistory.at(index);
        setKind(50, "キー");
        refresh();
        const PageList &after = commandHistory.at(index);
        // Only the edited page's strings differ; the other pages are the very
        // same string data, and the unchanged condition list is one list.
        QCOMPARE(after.at(0).constData(), before.at(0).constData());
        QCOMPARE(after.at(98).constData(), before.at(98).constData());
        QVERIFY(after.at(49).constData() != before.at(49).constData());
        QCOMPARE(conditionHistory.at(index).constData(),
                 conditionHistory.at(index - 1).constData());
    }

    void brokenHistoryRecovers() {
        // An index outside the entries (say, after the history was cleared by
        // hand) records the project as the new current state.
        commandHistory.clear();
        conditionHistory.clear();
        index = 3;
        QVERIFY(!hist().canUndo());
        QVERIFY(!hist().canRedo());
        QVERIFY(refresh());
        QCOMPARE(commandHistory.size(), 1);
        QCOMPARE(index, 0);
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "unit_history.moc"
