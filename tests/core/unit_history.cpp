#include "core/history.h"
#include "core/projectdocument.h"

#include <QTest>

#include <memory>

// The project and its history as the editor keeps them: an edit is followed
// by a refresh, which clamps the current page and records a step.
class HistoryTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ProjectDocument> doc;

    bool refresh() {
        doc->clampCurrentPage();
        return doc->recordStep();
    }
    void undo() {
        QVERIFY(doc->undo());
        doc->clampCurrentPage();
    }
    bool saved() const { return !doc->isModified(); }
    void setKind(int page, const QString &kind) { doc->setCommandAt(page - 1, QStringList{kind}); }
    const PageList &commands() const { return doc->listCommand(); }
    qsizetype steps() const { return doc->listCommandHistory().size(); }

private slots:
    void init() { doc = std::make_unique<ProjectDocument>(); }

    void nothingToUndoAtStart() {
        QVERIFY(!refresh());
        QVERIFY(!doc->canUndo());
        QVERIFY(!doc->canRedo());
        QVERIFY(!doc->undo());
        QVERIFY(!doc->redo());
        QCOMPARE(doc->historyIndex(), 0);
    }

    void oneStepPerRefresh() {
        // Two edits between refreshes make one step.
        setKind(1, "クリック");
        doc->setConditionAt(0, {"即時"});
        QVERIFY(refresh());
        QCOMPARE(steps(), 2);
        QCOMPARE(doc->listConditionHistory().size(), 2);
        QCOMPARE(doc->historyIndex(), 1);
        QVERIFY(!refresh()); // nothing changed since
        QCOMPARE(steps(), 2);

        undo();
        QCOMPARE(commands(), PageList{pagerecords::newPageCommand()});
        QCOMPARE(doc->listCondition(), PageList{pagerecords::newPageCondition()});
        QVERIFY(doc->canRedo());
        QVERIFY(!doc->canUndo());
        QVERIFY(doc->redo());
        QCOMPARE(commands().at(0), QStringList{"クリック"});
        QCOMPARE(doc->listCondition().at(0), QStringList{"即時"});
    }

    void newChangeDropsRedo() {
        setKind(1, "A");
        refresh();
        setKind(1, "B");
        refresh();
        undo();
        undo();
        QCOMPARE(steps(), 3);
        setKind(1, "C");
        QVERIFY(refresh());
        QCOMPARE(steps(), 2);
        QCOMPARE(doc->listConditionHistory().size(), 2);
        QCOMPARE(doc->historyIndex(), 1);
        QVERIFY(!doc->canRedo());
        undo();
        QCOMPARE(commands().at(0), pagerecords::newPageCommand());
        QVERIFY(doc->redo());
        QCOMPARE(commands().at(0), QStringList{"C"}); // not A or B
    }

    void undoAfterDeletingLastPageWhileOnIt() {
        doc->goNext();
        doc->goNext();
        setKind(3, "C");
        refresh();
        QCOMPARE(doc->currentPage(), 3);
        QVERIFY(doc->deleteCurrent());
        refresh();
        QCOMPARE(doc->currentPage(), 2);
        undo();
        QCOMPARE(commands().size(), 3);
        QCOMPARE(doc->listCondition().size(), 3);
        QCOMPARE(commands().at(2), QStringList{"C"});
        QCOMPARE(doc->currentPage(), 2); // one below the restored last page
    }

    void undoShrinkingBelowCurrentPage() {
        doc->goNext();
        doc->goNext();
        refresh();
        QCOMPARE(doc->currentPage(), 3);
        undo();
        QCOMPARE(commands().size(), 1);
        QCOMPARE(doc->currentPage(), 1); // lowered to the page count
    }

    void unsavedRuleFollowsUndo() {
        QVERIFY(saved());
        setKind(1, "クリック");
        refresh();
        QVERIFY(!saved());
        undo();
        QVERIFY(saved());
        QVERIFY(doc->redo());
        QVERIFY(!saved());
        // Changing a value back makes the project saved again.
        setKind(1, "なし");
        QVERIFY(saved());
    }

    void stepsShareUnchangedPages() {
        for (int i = 0; i < 99; ++i)
            doc->goNext();
        refresh();
        const QList<PageList> &history = doc->listCommandHistory();
        const PageList before = history.at(doc->historyIndex());
        setKind(50, "キー");
        refresh();
        const PageList &after = history.at(doc->historyIndex());
        // Only the edited page's strings differ; the other pages are the very
        // same string data, and the unchanged condition list is one list.
        QCOMPARE(after.at(0).constData(), before.at(0).constData());
        QCOMPARE(after.at(98).constData(), before.at(98).constData());
        QVERIFY(after.at(49).constData() != before.at(49).constData());
        const QList<PageList> &conditions = doc->listConditionHistory();
        QCOMPARE(conditions.at(doc->historyIndex()).constData(),
                 conditions.at(doc->historyIndex() - 1).constData());
    }

    void brokenHistoryRecovers() {
        // An index outside the entries (say, after the history was cleared by
        // hand) records the project as the new current state.
        QList<PageList> commandHistory, conditionHistory;
        int index = 3;
        history::History hist{commandHistory, conditionHistory, index};
        QVERIFY(!hist.canUndo());
        QVERIFY(!hist.canRedo());
        QVERIFY(hist.record(commands(), doc->listCondition()));
        QCOMPARE(commandHistory.size(), 1);
        QCOMPARE(index, 0);
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "unit_history.moc"
