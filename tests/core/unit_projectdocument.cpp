#include "core/projectdocument.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

const QStringList kClick{"クリック", "左", "0.01"};
const QStringList kNow{"即時"};
const Page kNewPage{pagerecords::newPageCommand(), pagerecords::newPageCondition()};
const Page kBlank{{"なし"}, {"時間", "0.1"}};

// A document of `count` new pages showing page `current`, saved as it is.
void preparePages(ProjectDocument &doc, int count, int current) {
    doc.replaceProject(PageList(count, kNewPage.command), PageList(count, kNewPage.condition));
    doc.setCurrentPage(current);
}

using Operation = std::function<void(ProjectDocument &)>;

struct Spies {
    explicit Spies(ProjectDocument &doc)
        : pages(&doc, &ProjectDocument::pagesChanged),
          current(&doc, &ProjectDocument::currentPageChanged),
          modified(&doc, &ProjectDocument::modifiedChanged),
          path(&doc, &ProjectDocument::pathChanged),
          clipboard(&doc, &ProjectDocument::clipboardChanged),
          history(&doc, &ProjectDocument::historyChanged) {}
    QSignalSpy pages, current, modified, path, clipboard, history;
};

} // namespace

Q_DECLARE_METATYPE(Operation)

class ProjectDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void newDocument() {
        ProjectDocument doc;
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(doc.page(0), kNewPage);
        QCOMPARE(doc.currentPage(), 1);
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.hasCopiedPage());
        QCOMPARE(doc.listCommandHistory(), QList<PageList>{doc.listCommand()});
        QCOMPARE(doc.historyIndex(), 0);
        QVERIFY(!doc.canUndo() && !doc.canRedo());
        QCOMPARE(doc.page(5), Page{}); // outside the project
    }

    // Each operation on three saved pages showing page 2: the pages after
    // it, the current page, and which signals it sent.
    void operations_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<PageList>("commands");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("pagesSignals");
        QTest::addColumn<int>("currentSignals");
        QTest::addColumn<bool>("modified");

        const QStringList none = kNewPage.command;
        QTest::newRow("next") << Operation([](ProjectDocument &d) { d.goNext(); })
                              << PageList{none, none, none} << 3 << 0 << 1 << false;
        QTest::newRow("next past the end") << Operation([](ProjectDocument &d) {
            d.goNext();
            d.goNext();
        }) << PageList{none, none, none, none}
                                           << 4 << 1 << 2 << true;
        QTest::newRow("previous") << Operation([](ProjectDocument &d) { d.goPrevious(); })
                                  << PageList{none, none, none} << 1 << 0 << 1 << false;
        QTest::newRow("plus above") << Operation([](ProjectDocument &d) { d.insertAtPlusRow(1); })
                                    << PageList{none, none, none, none} << 2 << 1 << 0 << true;
        QTest::newRow("plus below") << Operation([](ProjectDocument &d) { d.insertAtPlusRow(3); })
                                    << PageList{none, none, none, none} << 3 << 1 << 1 << true;
        QTest::newRow("delete") << Operation([](ProjectDocument &d) { QVERIFY(d.deleteCurrent()); })
                                << PageList{none, none} << 1 << 1 << 1 << true;
        QTest::newRow("edit") << Operation([](ProjectDocument &d) { d.setCurrentCommand(kClick); })
                              << PageList{none, kClick, none} << 2 << 1 << 0 << true;
        QTest::newRow("same record again")
            << Operation([](ProjectDocument &d) { d.setCommandAt(0, kNewPage.command); })
            << PageList{none, none, none} << 2 << 0 << 0 << false;
        QTest::newRow("record outside")
            << Operation([](ProjectDocument &d) { d.setCommandAt(3, kClick); })
            << PageList{none, none, none} << 2 << 0 << 0 << false;
        QTest::newRow("insert recorded pages") << Operation([](ProjectDocument &d) {
            d.insertPages(d.currentPage(), {Page{kClick, kNow}, Page{kClick, kNow}});
        }) << PageList{none, none, kClick, kClick, none}
                                               << 2 << 1 << 0 << true;
        QTest::newRow("insert beyond the end is appending") << Operation([](ProjectDocument &d) {
            d.insertPages(99, {Page{kClick, kNow}});
        }) << PageList{none, none, none, kClick} << 2 << 1 << 0
                                                            << true;
        QTest::newRow("out of range page is clamped") << Operation([](ProjectDocument &d) {
            d.setCurrentPage(9);
            d.clampCurrentPage();
        }) << PageList{none, none, none} << 3 << 0 << 2
                                                      << false;
        QTest::newRow("fewer conditions are padded") << Operation([](ProjectDocument &d) {
            d.setPages({kClick, kClick}, {kNow});
        }) << PageList{kClick, kClick} << 2 << 1 << 0 << true;
        QTest::newRow("an empty project is one new page")
            << Operation([](ProjectDocument &d) { d.setPages({}, {}); }) << PageList{none} << 2 << 1
            << 0 << true;
        QTest::newRow("new project") << Operation([](ProjectDocument &d) { d.newProject(); })
                                     << PageList{none} << 1 << 1 << 1 << false;
    }

    void operations() {
        QFETCH(Operation, operation);
        QFETCH(PageList, commands);
        ProjectDocument doc;
        preparePages(doc, 3, 2);
        Spies spies(doc);
        operation(doc);
        QCOMPARE(doc.listCommand(), commands);
        QCOMPARE(doc.listCondition().size(), commands.size());
        QTEST(doc.currentPage(), "current");
        QTEST(int(spies.pages.count()), "pagesSignals");
        QTEST(int(spies.current.count()), "currentSignals");
        QTEST(doc.isModified(), "modified");
        // modifiedChanged is sent exactly when the answer turned.
        QFETCH(bool, modified);
        QCOMPARE(spies.modified.count(), modified ? 1 : 0);
        if (modified)
            QCOMPARE(spies.modified.at(0).at(0).toBool(), true);
    }

    void deletingTheOnlyPageIsRefused() {
        ProjectDocument doc;
        Spies spies(doc);
        QVERIFY(!doc.deleteCurrent());
        QCOMPARE(doc.pageCount(), 1);
        QCOMPARE(spies.pages.count(), 0);
    }

    void clipboard() {
        ProjectDocument doc;
        preparePages(doc, 2, 1);
        Spies spies(doc);
        QVERIFY(!doc.pasteCurrent()); // nothing copied yet
        doc.setCurrentCommand(kClick);
        doc.copyCurrent();
        QCOMPARE(spies.clipboard.count(), 1);
        QCOMPARE(doc.copiedCommand(), kClick);
        QCOMPARE(doc.copiedCondition(), kNewPage.condition);
        doc.goNext();
        QVERIFY(!doc.currentIsBlank()); // a new page waits until over
        doc.setCurrentCondition(kBlank.condition);
        QVERIFY(doc.currentIsBlank());
        QVERIFY(doc.pasteCurrent());
        QCOMPARE(doc.page(1), doc.page(0));
        // The copy stays for the next paste; New keeps it too.
        doc.newProject();
        QVERIFY(doc.hasCopiedPage());
    }

    void undoRedo() {
        ProjectDocument doc;
        Spies spies(doc);
        doc.setCurrentCommand(kClick);
        QVERIFY(doc.recordStep());
        QVERIFY(!doc.recordStep()); // nothing changed since
        QCOMPARE(spies.history.count(), 1);
        QVERIFY(doc.canUndo() && !doc.canRedo());

        QVERIFY(doc.undo());
        QCOMPARE(doc.currentCommand(), kNewPage.command);
        QVERIFY(!doc.isModified());
        QVERIFY(!doc.recordStep()); // the state undone to is no new step
        QVERIFY(!doc.undo());
        QVERIFY(doc.redo());
        QCOMPARE(doc.currentCommand(), kClick);
        QVERIFY(!doc.redo());
        QCOMPARE(spies.history.count(), 3);
        QCOMPARE(spies.modified.count(), 3); // edited, undone, redone
        QCOMPARE(doc.historyIndex(), 1);
    }

    // New and Open keep the history: undo goes back to the project before,
    // which is then unsaved.
    void replacingKeepsTheHistory() {
        ProjectDocument doc;
        doc.setCurrentCommand(kClick);
        doc.recordStep();
        doc.replaceProject({kClick, kClick}, {kNow, kNow});
        QVERIFY(!doc.isModified());
        QCOMPARE(doc.savedListCommand(), (PageList{kClick, kClick}));
        doc.recordStep();
        QCOMPARE(doc.listCommandHistory().size(), 3);
        QVERIFY(doc.undo());
        QCOMPARE(doc.listCommand(), PageList{kClick});
        QVERIFY(doc.isModified());
    }

    void savedCopy() {
        ProjectDocument doc;
        Spies spies(doc);
        doc.setCurrentCommand(kClick);
        QVERIFY(doc.isModified());
        doc.markSaved();
        QVERIFY(!doc.isModified());
        doc.setSavedPages({kNewPage.command}, {kNewPage.condition});
        QVERIFY(doc.isModified());
        QCOMPARE(spies.modified.count(), 3);
    }

    void filePath() {
        ProjectDocument doc;
        Spies spies(doc);
        doc.setFilePath(QStringLiteral("/p/a.cmdat"));
        doc.setFilePath(QStringLiteral("/p/a.cmdat")); // no change, no signal
        QCOMPARE(doc.filePath(), QStringLiteral("/p/a.cmdat"));
        QCOMPARE(spies.path.count(), 1);
        QCOMPARE(spies.path.at(0).at(0).toString(), QStringLiteral("/p/a.cmdat"));
        QCOMPARE(spies.pages.count() + spies.modified.count(), 0);
    }

    // The names stay with their pages through each page operation, undo and
    // redo included, and jumps follow a renamed page and lose a deleted one.
    // Start: pages a, b, c showing page 2; page 3 jumps to "a".
    void namesFollowTheirPages_data() {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("modified");

        QTest::newRow("plus above") << Operation([](ProjectDocument &d) { d.insertAtPlusRow(1); })
                                    << QStringList{"a", "", "b", "c"} << "a" << true;
        QTest::newRow("plus below") << Operation([](ProjectDocument &d) { d.insertAtPlusRow(3); })
                                    << QStringList{"a", "b", "", "c"} << "a" << true;
        QTest::newRow("next past the end") << Operation([](ProjectDocument &d) {
            d.setCurrentPage(3);
            d.goNext();
        }) << QStringList{"a", "b", "c", ""}
                                           << "a" << true;
        QTest::newRow("a page inserted with its name") << Operation([](ProjectDocument &d) {
            d.insertPages(0, {Page{kClick, kNow, "z"}});
        }) << QStringList{"z", "a", "b", "c"} << "a" << true;
        QTest::newRow("the jumped-to page deleted") << Operation([](ProjectDocument &d) {
            d.setCurrentPage(1);
            QVERIFY(d.deleteCurrent());
        }) << QStringList{"b", "c"} << "" << true;
        QTest::newRow("deleted, then undone") << Operation([](ProjectDocument &d) {
            d.setCurrentPage(1);
            d.deleteCurrent();
            d.recordStep();
            QVERIFY(d.undo());
        }) << QStringList{"a", "b", "c"} << "a"
                                              << false;
        QTest::newRow("renamed, then undone and redone") << Operation([](ProjectDocument &d) {
            d.renamePage(0, "start");
            d.recordStep();
            QVERIFY(d.undo());
            QCOMPARE(d.listName().at(0), QStringLiteral("a"));
            QVERIFY(d.redo());
        }) << QStringList{"start", "b", "c"} << "start" << true;
        QTest::newRow("name taken away")
            << Operation([](ProjectDocument &d) { d.renamePage(0, QString()); })
            << QStringList{"", "b", "c"} << "" << true;
        QTest::newRow("a trailing page without a name is no change")
            << Operation([](ProjectDocument &d) {
                   d.setNames({"a", "b", "c", "", ""});
               })
            << QStringList{"a", "b", "c"} << "a" << false;
        QTest::newRow("pasted: the page, not its name") << Operation([](ProjectDocument &d) {
            d.setCurrentPage(1);
            d.copyCurrent();
            d.setCurrentPage(3);
            QVERIFY(d.pasteCurrent());
        }) << QStringList{"a", "b", "c"} << "" << true;
        QTest::newRow("new project") << Operation([](ProjectDocument &d) { d.newProject(); })
                                     << QStringList{""} << "" << false;
    }

    void namesFollowTheirPages() {
        QFETCH(Operation, operation);
        QFETCH(QStringList, names);
        QFETCH(QString, target);
        const QStringList jump{QStringLiteral("ページへ"), QStringLiteral("a"),
                               QStringLiteral("毎回")};
        ProjectDocument doc;
        doc.replaceProject({kClick, kClick, jump}, {kNow, kNow, kNow}, {"a", "b", "c"});
        doc.recordStep();
        doc.setCurrentPage(2);
        Spies spies(doc);
        operation(doc);
        QCOMPARE(doc.listName(), names);
        QCOMPARE(doc.listName().size(), doc.listCommand().size());
        for (int i = 0; i < doc.pageCount(); ++i)
            QCOMPARE(doc.page(i).name, names.at(i));
        // The jump, wherever it went (gone with a new project).
        QString found;
        for (const QStringList &record : doc.listCommand())
            if (record.value(0) == jump.at(0))
                found = record.value(1);
        QCOMPARE(found, target);
        QTEST(doc.isModified(), "modified");
        if (doc.listName() != QStringList{"a", "b", "c"})
            QVERIFY(spies.pages.count() > 0);
    }

    // A project without names is recorded in the history as it always was;
    // with names, they are restored by undo and count for the saved copy.
    void namesInTheHistoryAndSavedCopy() {
        ProjectDocument doc;
        doc.recordStep();
        QCOMPARE(doc.listCommandHistory().constLast(), doc.listCommand());
        Spies spies(doc);
        doc.setNames({"x"});
        QCOMPARE(spies.pages.count(), 1);
        QVERIFY(doc.isModified());
        QVERIFY(doc.recordStep());
        QCOMPARE(doc.listCommandHistory().constLast().size(), doc.listCommand().size() + 1);
        doc.markSaved();
        QCOMPARE(doc.savedListName(), QStringList{"x"});
        QVERIFY(!doc.isModified());
        QVERIFY(doc.undo());
        QCOMPARE(doc.listName(), QStringList{QString()});
        QCOMPARE(doc.listCommand(), doc.savedListCommand()); // the names record is no page
        QVERIFY(doc.isModified());
    }

    // An edit that writes what is there already leaves the page shared with
    // the history, so a step costs only the pages that changed.
    void unchangedRecordsStayShared() {
        ProjectDocument doc;
        preparePages(doc, 3, 1);
        doc.recordStep();
        const PageList recorded = doc.listCommandHistory().at(doc.historyIndex());
        doc.setCommandAt(2, kNewPage.command);
        QCOMPARE(doc.listCommand().constData(), recorded.constData());
        doc.setCommandAt(1, kClick);
        QVERIFY(doc.recordStep());
        const PageList after = doc.listCommandHistory().at(doc.historyIndex());
        QCOMPARE(after.at(0).constData(), recorded.at(0).constData());
    }
};

QTEST_GUILESS_MAIN(ProjectDocumentTest)
#include "unit_projectdocument.moc"
