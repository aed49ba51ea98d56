// The editor's part of named pages and jumps: names kept with their pages
// through insertion, deletion and undo, shown in the page list, given from
// its menu (the jumps follow a new name, a name taken is refused), the
// question before a page that jumps point at goes, the Go to Page pane, and
// names saved and read back.

#include "app/projectfiles.h"
#include "app/tarnwick.h"
#include "core/pageflow.h"
#include "core/pagekinds.h"
#include "core/projectfile.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QInputDialog>
#include <QJsonObject>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QStringList kNone{QStringLiteral("なし")};
const QStringList kNow{QStringLiteral("即時")};

QStringList goTo(const QString &target, const QString &count = QStringLiteral("毎回")) {
    return {pagekinds::name::goToPage(), target, count};
}

} // namespace

class FlowEditTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::RecordingInput> input;
    std::unique_ptr<tarnwick> w;

    // The editor on three pages named a, b, c; page 3 jumps to page 1.
    void openNamed(bool askDelete = false) {
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_message_delete", askDelete}});
        w = std::make_unique<tarnwick>();
        w->show();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->newProjectButton->click();
        QVERIFY(w->editorOpen);
        w->document->setPages({kNone, kNone, goTo("a")}, {kNow, kNow, kNow}, {"a", "b", "c"});
        w->document->setCurrentPage(2);
        w->refreshPage();
    }

    QStringList listTexts() const {
        QStringList out;
        for (int i = 0; i < w->pageList->count(); ++i)
            out << w->pageList->item(i)->text();
        return out;
    }

private slots:
    void init() { input = std::make_unique<testsupport::RecordingInput>(); }
    void cleanup() {
        w.reset();
        input.reset();
    }

    // Each operation on pages keeps every name with its page.
    void namesFollowTheirPages_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("insert above") << "above" << QStringList{"a", "", "b", "c"};
        QTest::newRow("insert below") << "below" << QStringList{"a", "b", "", "c"};
        QTest::newRow("delete") << "delete" << QStringList{"a", "c"};
        QTest::newRow("delete, then undo") << "undo" << QStringList{"a", "b", "c"};
        QTest::newRow("a new last page") << "append" << QStringList{"a", "b", "c", ""};
    }

    void namesFollowTheirPages() {
        QFETCH(QString, operation);
        QFETCH(QStringList, names);
        openNamed();
        if (operation == "above" || operation == "below") {
            w->pageList->setCurrentRow(operation == "above" ? w->document->currentPage() - 1
                                                            : w->document->currentPage() + 1);
        } else if (operation == "delete" || operation == "undo") {
            w->deleteButton->click();
            if (operation == "undo")
                w->undoButton->click();
        } else {
            w->document->setCurrentPage(3);
            w->refreshPage();
            w->nextPageButton->click();
        }
        QCOMPARE(w->document->listName(), names);
        QCOMPARE(w->document->listName().size(), w->document->listCommand().size());
        // The jump still names page "a", wherever it went.
        QCOMPARE(pageflow::check(w->document->listCommand(), w->document->listCondition(),
                                 w->document->listName())
                     .refused(),
                 false);
    }

    void pageListShowsNames() {
        openNamed();
        QCOMPARE(listTexts(),
                 (QStringList{"1.なし [a]", "+", "2.なし [b]", "+", "3.ページへ [c]"}));
    }

    // Named from the list's menu; the jump to the page follows the new name,
    // and a name another page has is refused.
    void nameFromTheMenu_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("warnings");
        QTest::newRow("renamed, the jump follows")
            << 1 << "start" << QStringList{"start", "b", "c"} << "start" << 0;
        QTest::newRow("unnamed, the jump names no page")
            << 1 << "" << QStringList{"", "b", "c"} << "" << 0;
        QTest::newRow("another page's name") << 2 << "a" << QStringList{"a", "b", "c"} << "a" << 1;
        QTest::newRow("spaces around are dropped")
            << 2 << "  mid  " << QStringList{"a", "mid", "c"} << "a" << 0;
    }

    void nameFromTheMenu() {
        QFETCH(int, page);
        QFETCH(QString, typed);
        QFETCH(QStringList, names);
        QFETCH(QString, target);
        QFETCH(int, warnings);
        openNamed();
        w->document->setCurrentPage(page);
        w->refreshPage();
        testsupport::ModalAnswerer answerer;
        answerer.act([typed](QWidget *dialog) {
            auto *input = qobject_cast<QInputDialog *>(dialog);
            QVERIFY(input);
            input->setTextValue(typed);
            input->accept();
        });
        QList<QAction *> actions = w->pageList->actions();
        QCOMPARE(actions.size(), 1);
        actions.first()->trigger();
        QCOMPARE(answerer.count(), warnings);
        QCOMPARE(w->document->listName(), names);
        QCOMPARE(w->document->listCommand().at(2).at(1), target);
    }

    // A page that jumps point at: asked first whatever the setting, naming
    // the jumps; yes leaves them without a page to go to.
    void deleteATarget_data() {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("pages");
        QTest::addColumn<QString>("target");
        QTest::newRow("yes") << int(QMessageBox::Yes) << 2 << "";
        QTest::newRow("no") << int(QMessageBox::No) << 3 << "a";
    }

    void deleteATarget() {
        QFETCH(int, answer);
        QFETCH(int, pages);
        QFETCH(QString, target);
        openNamed(false);
        w->document->setCurrentPage(1);
        w->refreshPage();
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        w->deleteButton->click();
        QCOMPARE(answerer.count(), 1);
        QVERIFY2(answerer.last().text.contains(QLatin1String("Pages 3 jump to page 1")) ||
                     answerer.last().text.contains(QStringLiteral("3 ページ目から")),
                 qPrintable(answerer.last().text));
        QCOMPARE(int(w->document->listCommand().size()), pages);
        QCOMPARE(w->document->listCommand().constLast().at(1), target);
    }

    // The Go to Page pane lists the named pages by number and name and
    // writes what is chosen.
    void goToPagePane() {
        openNamed();
        w->document->setCurrentPage(3);
        w->refreshPage();
        QVERIFY(w->jumpTargetCombo->isVisible());
        QCOMPARE(w->jumpTargetCombo->currentText(), QStringLiteral("1.a"));
        QVERIFY(w->jumpEveryCheck->isChecked());
        w->jumpTargetCombo->setCurrentIndex(w->jumpTargetCombo->findData(QStringLiteral("b")));
        w->jumpEveryCheck->setChecked(false);
        w->jumpCountSpin->setValue(4);
        QCOMPARE(w->document->listCommand().at(2), goTo("b", "4"));
    }

    // Saved with the pages and read back; a project without names is
    // written as before.
    void namesSavedAndRead() {
        QTemporaryDir dir;
        openNamed();
        w->document->setFilePath(dir.filePath("named.cmdat"));
        w->files->writeProjectFile();
        const projectfile::LoadResult back = projectfile::load(w->document->filePath());
        QCOMPARE(back.status, projectfile::LoadStatus::Ok);
        QCOMPARE(back.names, (QStringList{"a", "b", "c"}));
        QVERIFY(!w->isProjectDirty());
        w->document->setNames({"a", "x", "c"});
        QVERIFY(w->isProjectDirty());
        w->document->setNames({"a", "b", "c", QString()}); // a page without a name is no change
        QVERIFY(!w->isProjectDirty());
        w->newFile();
        QVERIFY(w->document->listName().isEmpty() ||
                w->document->listName() == QStringList{QString()});
        w->files->readChosenProjectFile(dir.filePath("named.cmdat"));
        QCOMPARE(w->document->listName(), (QStringList{"a", "b", "c"}));
    }

    // A project whose calls cannot be played opens (so they can be mended)
    // and says at once which page and file are at fault.
    void callsToldOnOpen_data() {
        QTest::addColumn<QString>("called");
        QTest::addColumn<QString>("told");
        QTest::newRow("itself") << "top.cmdat"
                                << "comes back round to itself";
        QTest::newRow("missing") << "gone.cmdat"
                                 << "cannot be played";
        QTest::newRow("fine") << ""
                              << "";
    }
    void callsToldOnOpen() {
        QFETCH(QString, called);
        QFETCH(QString, told);
        QTemporaryDir dir;
        const QString top = dir.filePath("top.cmdat");
        const QString callee = dir.filePath("callee.cmdat");
        QCOMPARE(projectfile::save(callee, {kNone}, {kNow}), projectfile::SaveStatus::Ok);
        const QString target = called.isEmpty() ? QStringLiteral("callee.cmdat") : called;
        QCOMPARE(
            projectfile::save(top, {kNone, {pagekinds::name::callProject(), target}}, {kNow, kNow}),
            projectfile::SaveStatus::Ok);
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_japanese", false}});
        w = std::make_unique<tarnwick>();
        testsupport::ModalAnswerer answerer;
        w->files->readChosenProjectFile(top);
        QCOMPARE(w->document->listCommand().size(), 2);
        QCOMPARE(w->document->filePath(), top);
        if (told.isEmpty()) {
            QCOMPARE(answerer.count(), 0);
            return;
        }
        QCOMPARE(answerer.count(), 1);
        QVERIFY2(answerer.last().text.startsWith("Page 2:"), qPrintable(answerer.last().text));
        QVERIFY2(answerer.last().text.contains(told), qPrintable(answerer.last().text));
        QVERIFY(answerer.last().text.contains(target));
    }
};

QTEST_MAIN(FlowEditTest)
#include "gui_flowedit.moc"
