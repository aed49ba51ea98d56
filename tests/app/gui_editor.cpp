// The editor driven through the real window: "追加" for every kind, the key
// capture through the recording input layer, the value widgets writing into
// the page, the navigation and its shortcuts, the page list, the clipboard
// and undo/redo.

#include "app/editorpanes.h"
#include "app/tarnwick.h"
#include "capture/keycapture.h"
#include "core/pagekinds.h"
#include "support/editorfields.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <memory>

namespace {

constexpr int kVkControl = 17;
constexpr int kVkShift = 16;
constexpr int kVkA = 65;

testsupport::FakeWindow fakeWindow(std::uint64_t id, const char16_t *title, const char16_t *program,
                                   platform::Rect client) {
    testsupport::FakeWindow w;
    w.info.id = id;
    w.info.title = title;
    w.info.program = program;
    w.info.client = client;
    return w;
}

// Two editors with similar titles, and a terminal.
std::vector<testsupport::FakeWindow> desktop() {
    return {fakeWindow(1, u"メモ - エディター", u"gedit", {0, 0, 400, 300}),
            fakeWindow(2, u"メモ帳 - エディター", u"gedit", {500, 100, 640, 480}),
            fakeWindow(3, u"端末", u"XTerm", {0, 400, 800, 600})};
}

QStringList itemTexts(const QComboBox *combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList texts(const QListWidget *list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

} // namespace

class EditorTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<testsupport::RecordingInput> input;
    std::unique_ptr<tarnwick> w;

    // A window in the editor, shown and active so its shortcuts work.
    void openEditor(const QJsonObject &settings = {}) {
        QJsonObject config{{"is_used_this", true}, {"is_message_delete", false}};
        for (auto it = settings.begin(); it != settings.end(); ++it)
            config.insert(it.key(), it.value());
        testsupport::writeTestConfig(config);
        w = std::make_unique<tarnwick>();
        w->show();
        QApplication::setActiveWindow(w.get());
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        w->newProjectButton->click();
        QVERIFY(w->editorOpen);
    }

    // The page navigation that an empty key or text hides.
    QList<QWidget *> navigation() const {
        return {w->runButton,          w->nextPageButton, w->addCommandButton, w->pageList,
                w->addConditionButton, w->copyButton,     w->menuBar()};
    }
    bool navigationShown() const {
        for (QWidget *widget : navigation()) {
            if (!widget->isVisible())
                return false;
        }
        return true;
    }
    bool navigationHidden() const {
        for (QWidget *widget : navigation()) {
            if (widget->isVisible())
                return false;
        }
        return true;
    }

    // Widgets by name, for the data tables.
    QWidget *widget(const QString &name) const { return testsupport::editorField(*w, name); }
    QStringList shownOf(const QStringList &names) const {
        return testsupport::shownFields(*w, names);
    }
    QStringList allValueWidgets() const { return testsupport::plainFieldNames(*w); }

    void addCommandKind(int index) {
        w->commandCombo->setCurrentIndex(index);
        w->addCommandButton->click();
    }
    void addConditionKind(int index) {
        w->conditionCombo->setCurrentIndex(index);
        w->addConditionButton->click();
    }
    void setPage(const QStringList &command, const QStringList &condition) {
        w->document->setCurrentCommand(command);
        w->document->setCurrentCondition(condition);
        w->refreshPage();
    }
    QStringList command() const { return w->document->currentCommand(); }
    QStringList condition() const { return w->document->currentCondition(); }

private slots:
    void init() { input = std::make_unique<testsupport::RecordingInput>(); }
    void cleanup() {
        w.reset();
        input.reset();
    }

    void commandKinds_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("shown");
        for (bool ja : {true, false}) {
            const char *lang = ja ? "ja " : "en ";
            QTest::addRow("%snone", lang)
                << ja << 0 << QStringList{"なし"} << (ja ? "なし" : "None")
                << QStringList{"conditionTimeSpin"};
            QTest::addRow("%sclick", lang)
                << ja << 1 << QStringList{"クリック", "左", "0.01"} << (ja ? "クリック" : "Click")
                << QStringList{"commandClickCombo", "commandTimeSpin", "commandSecLabel",
                               "conditionTimeSpin"};
            QTest::addRow("%spointer", lang)
                << ja << 2 << QStringList{"マウスポインター", "0", "0"}
                << (ja ? "マウスポインター" : "Mouse Pointer")
                << QStringList{"coordXSpin",     "coordYSpin", "coordXLabel",
                               "coordGetButton", "testButton", "conditionTimeSpin"};
            QTest::addRow("%ssmooth", lang)
                << ja << 3 << QStringList{"スムーズムーブ", "0", "0", "1"}
                << (ja ? "スムーズムーブ" : "Smooth Move")
                << QStringList{"commandTimeSpin",  "commandSecLabel", "testButton",
                               "coordXSpin2",      "coordYSpin2",     "coordGetButton2",
                               "conditionTimeSpin"};
            QTest::addRow("%stext", lang)
                << ja << 5 << QStringList{"入力", "", "3"} << (ja ? "入力" : "Enter Text")
                << QStringList{"commandTimeSpin", "commandSecLabel", "inputTextEdit",
                               "conditionTimeSpin"};
        }
    }
    void commandKinds() {
        QFETCH(bool, japanese);
        QFETCH(int, index);
        QFETCH(QStringList, record);
        QFETCH(QString, label);
        QFETCH(QStringList, shown);
        openEditor({{"is_japanese", japanese}});
        // Choosing a kind changes nothing until "追加".
        w->commandCombo->setCurrentIndex(index);
        QCOMPARE(command(), QStringList{"なし"});
        w->addCommandButton->click();
        QCOMPARE(command(), record);
        QCOMPARE(w->commandLabel->text(), label);
        QCOMPARE(shownOf(allValueWidgets()), shown);
        if (index == 1) {
            QCOMPARE(w->commandClickCombo->currentText(), japanese ? "左" : "Left");
            QCOMPARE(w->commandTimeSpin->value(), 0.01);
        }
        // The page list names the page by its command.
        QCOMPARE(w->pageList->item(1)->text(), "1." + label);
        // A step only when the page changed ("なし" on a fresh page is no change).
        QCOMPARE(w->undoButton->isVisible(), index != 0);
    }

    void conditionKinds_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QStringList>("shown");
        for (bool ja : {true, false}) {
            const char *lang = ja ? "ja " : "en ";
            QTest::addRow("%swait", lang)
                << ja << 0 << QStringList{"終わるまで待つ", "0.1"}
                << (ja ? "終わるまで待つ" : "Wait until over") << QStringList{"conditionTimeSpin"};
            QTest::addRow("%stime", lang)
                << ja << 1 << QStringList{"時間", "0.1"} << (ja ? "時間" : "Time")
                << QStringList{"conditionTimeSpin"};
            QTest::addRow("%snow", lang)
                << ja << 2 << QStringList{"即時"} << (ja ? "即時" : "Immediately") << QStringList{};
            QTest::addRow("%sclick", lang)
                << ja << 3 << QStringList{"クリック", "左"} << (ja ? "クリック" : "Click")
                << QStringList{"conditionClickCombo"};
        }
    }
    void conditionKinds() {
        QFETCH(bool, japanese);
        QFETCH(int, index);
        QFETCH(QStringList, record);
        QFETCH(QString, label);
        QFETCH(QStringList, shown);
        openEditor({{"is_japanese", japanese}});
        addConditionKind(2); // away from the starting kind first
        addConditionKind(index);
        QCOMPARE(condition(), record);
        QCOMPARE(w->conditionLabel->text(), label);
        QCOMPARE(shownOf(allValueWidgets()), shown);
        QVERIFY(navigationShown());
    }

    void clockTimeStartsNow() {
        openEditor();
        const QTime before = QTime::currentTime();
        addConditionKind(5);
        const QTime after = QTime::currentTime();
        const QStringList record = condition();
        QCOMPARE(record.size(), 3);
        QCOMPARE(record.at(0), "時刻");
        const QTime stored(record.at(1).toInt(), record.at(2).toInt());
        QVERIFY(stored == QTime(before.hour(), before.minute()) ||
                stored == QTime(after.hour(), after.minute()));
        QCOMPARE(w->clockHourSpin->value(), stored.hour());
        QCOMPARE(w->clockMinuteSpin->value(), stored.minute());
        QCOMPARE(shownOf(allValueWidgets()),
                 QStringList({"clockHourSpin", "clockColonLabel", "clockMinuteSpin"}));
        // Editing the clock writes both values.
        w->clockHourSpin->setValue(24);
        w->clockMinuteSpin->setValue(7);
        QCOMPARE(condition(), QStringList({"時刻", "24", "7"}));
    }

    void keyCapture_data() {
        QTest::addColumn<bool>("forCondition");
        QTest::addColumn<bool>("japanese");
        QTest::newRow("command") << false << true;
        QTest::newRow("condition") << true << true;
        QTest::newRow("command en") << false << false;
    }
    void keyCapture() {
        QFETCH(bool, forCondition);
        QFETCH(bool, japanese);
        openEditor({{"is_japanese", japanese}});
        if (forCondition)
            addConditionKind(4);
        else
            addCommandKind(4);

        QCOMPARE(forCondition ? condition() : command(),
                 forCondition ? QStringList({"キー", ""}) : QStringList({"キー", "", "0.01"}));
        QVERIFY(w->keyPollTimer->isActive());
        QVERIFY(input->hookInstalled());
        QVERIFY(navigationHidden());
        QLabel *prompt = forCondition ? w->conditionKeyPromptLabel : w->commandKeyPromptLabel;
        QCOMPARE(prompt->text(),
                 japanese ? "単一または複数キーを押してください" : "Press one or more keys");
        QVERIFY(prompt->isVisible());
        QCOMPARE(w->operationGroup->isEnabled(), forCondition);
        QCOMPARE(w->conditionGroup->isEnabled(), !forCondition);
        QVERIFY(!w->pageGroup->isEnabled());
        QVERIFY(!w->menuBar()->isEnabled());
        if (!forCondition)
            QVERIFY(!w->commandTimeSpin->isVisible());

        // Adding anything while the capture runs changes nothing.
        const PageList commandsBefore = w->document->listCommand();
        const PageList conditionsBefore = w->document->listCondition();
        addCommandKind(1);
        addConditionKind(2);
        QCOMPARE(w->document->listCommand(), commandsBefore);
        QCOMPARE(w->document->listCondition(), conditionsBefore);

        // Ctrl and Shift, then A: swallowed and recorded.
        QVERIFY(input->sendHookEvent(kVkControl, true));
        QVERIFY(input->sendHookEvent(kVkShift, true));
        QVERIFY(input->sendHookEvent(kVkA, true));
        QTRY_VERIFY_WITH_TIMEOUT(!w->keyPollTimer->isActive(), 5000);
        QVERIFY(!input->hookInstalled());
        QCOMPARE(KeyCaptureState::editor().captureActive.load(), 0);
        QCOMPARE(forCondition ? condition() : command(),
                 forCondition ? QStringList({"キー", "65,6"})
                              : QStringList({"キー", "65,6", "0.01"}));
        QCOMPARE(prompt->text(), "Ctrl+Shift+A");
        QVERIFY(navigationShown());
        QVERIFY(w->operationGroup->isEnabled());
        QVERIFY(w->conditionGroup->isEnabled());
        QVERIFY(w->pageGroup->isEnabled());
        QVERIFY(w->menuBar()->isEnabled());
        // Keys after the capture are not swallowed.
        QVERIFY(!input->sendHookEvent(kVkA, true));
    }

    // The condition's own key can bring the page controls back during a
    // command capture; using them must not move the capture to another page.
    void captureKeepsItsPage() {
        openEditor();
        w->nextPage();
        w->returnPage();
        QCOMPARE(w->document->listCommand().size(), 2);
        addConditionKind(4);
        QVERIFY(input->sendHookEvent(kVkA, true));
        QTRY_VERIFY_WITH_TIMEOUT(!w->keyPollTimer->isActive(), 5000);
        QCOMPARE(condition(), QStringList({"キー", "65,0"}));

        addCommandKind(4);
        QVERIFY(w->keyPollTimer->isActive());
        const PageList commands = w->document->listCommand();
        const PageList conditions = w->document->listCondition();
        w->nextPageButton->show();
        w->deleteButton->show();
        w->undoButton->show();
        w->nextPage();
        w->deletePage();
        w->pageBack();
        w->pageList->setCurrentRow(2);
        QCOMPARE(w->document->currentPage(), 1);
        QCOMPARE(w->pageList->currentRow(), 1);
        QCOMPARE(w->document->listCommand(), commands);
        QCOMPARE(w->document->listCondition(), conditions);

        QVERIFY(input->sendHookEvent(kVkShift, true));
        QVERIFY(input->sendHookEvent(kVkA, true));
        QTRY_VERIFY_WITH_TIMEOUT(!w->keyPollTimer->isActive(), 5000);
        QCOMPARE(w->document->currentPage(), 1);
        QCOMPARE(command(), QStringList({"キー", "65,4", "0.01"}));
        QCOMPARE(w->document->listCommand().at(1), QStringList({"なし"}));
    }

    void keyHookFailure() {
        openEditor();
        input->failNextHookInstall(5);
        addCommandKind(4);
        QCOMPARE(w->commandLabel->text(), "キーフックに失敗");
        QVERIFY(!w->keyPollTimer->isActive());
        QCOMPARE(KeyCaptureState::editor().captureActive.load(), 0);
        QCOMPARE(command(), QStringList({"キー", "", "0.01"}));
        QVERIFY(navigationHidden());
        QVERIFY(w->operationGroup->isEnabled());
        QVERIFY(w->pageGroup->isEnabled());
        // Undo stays available and brings the page and its navigation back.
        QVERIFY(w->undoButton->isVisible());
        w->undoButton->click();
        QCOMPARE(command(), QStringList{"なし"});
        QVERIFY(navigationShown());
    }

    void keySecondsKeepTheKey() {
        openEditor();
        setPage({"キー", "65,6", "0.01"}, {"即時"});
        QCOMPARE(w->commandKeyPromptLabel->text(), "Ctrl+Shift+A");
        QVERIFY(navigationShown());
        w->commandTimeSpin->setValue(0.25);
        QCOMPARE(command(), QStringList({"キー", "65,6", "0.25"}));
    }

    void missingConditionKeyHidesNavigation() {
        openEditor();
        // The condition's rule comes last and decides.
        setPage({"キー", "65,6", "0.01"}, {"キー", "なし"});
        QVERIFY(navigationHidden());
        setPage({"キー", "", "0.01"}, {"キー", "13,0"});
        QVERIFY(navigationShown());
        QCOMPARE(w->conditionKeyPromptLabel->text(), "Enter");
        QCOMPARE(w->commandKeyPromptLabel->text(), "なし");
    }

    void enterTextNavigation() {
        openEditor();
        addCommandKind(5);
        QVERIFY(navigationHidden());
        // The arrow shortcuts obey the hidden buttons.
        QTest::keyClick(w.get(), Qt::Key_Right);
        QCOMPARE(w->document->listCommand().size(), 1);

        const int refreshesBefore = int(w->document->listCommandHistory().size());
        w->inputTextEdit->setFocus();
        QTest::keyClicks(w->inputTextEdit, "h");
        QCOMPARE(command(), QStringList({"入力", "h", "3"}));
        QVERIFY(navigationShown());
        QVERIFY(!w->prevPageButton->isVisible());                                 // page 1
        QVERIFY(!w->deleteButton->isVisible());                                   // one page
        QVERIFY(!w->pasteButton->isVisible());                                    // empty clipboard
        QCOMPARE(int(w->document->listCommandHistory().size()), refreshesBefore); // no refresh ran

        QTest::keyClick(w->inputTextEdit, Qt::Key_Backspace);
        QCOMPARE(command(), QStringList({"入力", "", "3"}));
        QVERIFY(navigationHidden());

        // Line breaks are kept; text that looks like markup stays as typed.
        setPage({"入力", "<b>x</b>\nline", "3"}, {"即時"});
        QCOMPARE(w->inputTextEdit->toPlainText(), "<b>x</b>\nline");
        w->commandTimeSpin->setValue(2);
        QCOMPARE(command(), QStringList({"入力", "<b>x</b>\nline", "2"}));
    }

    void enterTextKeptAsWritten_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("no-break space") << QString::fromUtf16(u"a\u00A0b");
        QTest::newRow("line separator") << QString::fromUtf16(u"a\u2028b");
        QTest::newRow("paragraph separator") << QString::fromUtf16(u"a\u2029b");
        QTest::newRow("CR LF") << QStringLiteral("a\r\nb\rc");
        QTest::newRow("tab and trailing spaces") << QStringLiteral("\ta  \n ");
    }
    void enterTextKeptAsWritten() {
        QFETCH(QString, text);
        openEditor();
        addCommandKind(5);
        setPage({"入力", text, "3"}, {"時間", "1"});
        // Another value of the page changes; the text is saved as it was.
        w->commandTimeSpin->setValue(2);
        w->conditionTimeSpin->setValue(4);
        QCOMPARE(command(), QStringList({"入力", text, "2"}));
        // Editing the text itself takes what the box shows.
        w->inputTextEdit->setFocus();
        QTest::keyClick(w->inputTextEdit, Qt::Key_End, Qt::ControlModifier);
        QTest::keyClicks(w->inputTextEdit, "z");
        QCOMPARE(command().at(1), w->inputTextEdit->toPlainText());
        QVERIFY(command().at(1).endsWith('z'));
    }

    void clickSidesStoredInJapanese_data() {
        QTest::addColumn<bool>("japanese");
        QTest::newRow("ja") << true;
        QTest::newRow("en") << false;
    }
    void clickSidesStoredInJapanese() {
        QFETCH(bool, japanese);
        openEditor({{"is_japanese", japanese}});
        addCommandKind(1);
        addConditionKind(3);
        w->commandClickCombo->setCurrentIndex(1);
        QCOMPARE(command(), QStringList({"クリック", "右", "0.01"}));
        w->conditionClickCombo->setCurrentIndex(1);
        QCOMPARE(condition(), QStringList({"クリック", "右"}));
        w->commandClickCombo->setCurrentIndex(0);
        QCOMPARE(command().at(1), "左");
        // Shown again from the record after a refresh.
        w->refreshPage();
        QCOMPARE(w->conditionClickCombo->currentText(), japanese ? "右" : "Right");
        QCOMPARE(w->commandClickCombo->currentText(), japanese ? "左" : "Left");
    }

    void coordinatesWritten() {
        openEditor();
        addCommandKind(2);
        w->coordXSpin->setValue(-9999999);
        w->coordYSpin->setValue(99999999);
        QCOMPARE(command(), QStringList({"マウスポインター", "-9999999", "99999999"}));
        addCommandKind(3);
        w->coordXSpin2->setValue(12);
        w->coordYSpin2->setValue(-34);
        w->commandTimeSpin->setValue(2.5);
        QCOMPARE(command(), QStringList({"スムーズムーブ", "12", "-34", "2.5"}));
    }

    void outOfRangeValueKeptUntilEdited() {
        openEditor();
        setPage({"クリック", "左", "0.001"}, {"時間", "0.001"});
        QCOMPARE(w->commandTimeSpin->value(), 0.01);
        QCOMPARE(w->conditionTimeSpin->value(), 0.01);
        QCOMPARE(command().at(2), "0.001");
        QCOMPARE(condition().at(1), "0.001");
        // Leaving the page and coming back keeps them too.
        w->nextPageButton->click();
        w->prevPageButton->click();
        QCOMPARE(command().at(2), "0.001");
        QCOMPARE(condition().at(1), "0.001");
        // Any edit on the page rewrites the page's values from the widgets.
        w->conditionTimeSpin->setValue(0.5);
        QCOMPARE(condition(), QStringList({"時間", "0.5"}));
        QCOMPARE(command(), QStringList({"クリック", "左", "0.01"}));
    }

    void navigationAndPageList() {
        openEditor();
        QCOMPARE(texts(w->pageList), QStringList({"+", "1.なし", "+"}));
        QCOMPARE(w->pageCountLabel->text(), "1/1");
        QCOMPARE(w->windowTitle(), "新規プロジェクト");
        QVERIFY(!w->prevPageButton->isVisible());
        w->nextPageButton->click();
        QCOMPARE(w->pageCountLabel->text(), "2/2");
        QCOMPARE(texts(w->pageList), QStringList({"1.なし", "+", "2.なし", "+"}));
        QCOMPARE(w->pageList->currentRow(), 2);
        QVERIFY(w->prevPageButton->isVisible());
        QVERIFY(w->deleteButton->isVisible());
        addCommandKind(1);
        w->prevPageButton->click();
        QCOMPARE(w->pageCountLabel->text(), "1/2");
        QCOMPARE(texts(w->pageList), QStringList({"+", "1.なし", "+", "2.クリック"}));
        // Picking a page entry shows that page.
        w->pageList->setCurrentRow(3);
        QCOMPARE(w->document->currentPage(), 2);
        QCOMPARE(w->commandLabel->text(), "クリック");
    }

    void plusEntryByKeyboard() {
        openEditor();
        setPage({"クリック", "左", "0.01"}, {"即時"});
        w->nextPageButton->click();
        setPage({"入力", "b", "3"}, {"即時"});
        w->nextPageButton->click();
        setPage({"キー", "13,0", "0.01"}, {"即時"});
        w->prevPageButton->click(); // page 2 of 3: rows 1.,+,2.,+,3.
        QCOMPARE(w->pageList->currentRow(), 2);

        w->pageList->setFocus();
        QTest::keyClick(w->pageList, Qt::Key_Up); // onto the "+" above page 2
        QCOMPARE(w->document->currentPage(), 2);
        QCOMPARE(w->document->listCommand().size(), 4);
        QCOMPARE(w->document->listCommand().at(1), QStringList{"なし"});
        QCOMPARE(w->document->listCondition().at(1), QStringList({"終わるまで待つ", "0.1"}));
        QCOMPARE(w->document->listCommand().at(2).at(0), "入力");
        QCOMPARE(w->pageList->currentRow(), 2);

        QTest::keyClick(w->pageList, Qt::Key_Down); // onto the "+" below page 2
        QCOMPARE(w->document->currentPage(), 3);
        QCOMPARE(w->document->listCommand().size(), 5);
        QCOMPARE(w->document->listCommand().at(2), QStringList{"なし"});
        QCOMPARE(w->document->listCommand().at(3).at(0), "入力");

        QTest::keyClick(w->pageList, Qt::Key_Home); // onto a page entry
        QCOMPARE(w->document->currentPage(), 1);
        QCOMPARE(w->document->listCommand().size(), 5);
        QCOMPARE(texts(w->pageList),
                 QStringList({"+", "1.クリック", "+", "2.なし", "3.なし", "4.入力", "5.キー"}));
        QCOMPARE(w->pageCountLabel->text(), "1/5");
    }

    void shortcutsObeyButtons() {
        openEditor();
        // Undo at the start is impossible.
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w->document->historyIndex(), 0);
        // Left on page 1 and Ctrl+D with one page do nothing.
        QTest::keyClick(w.get(), Qt::Key_Left);
        QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(w->document->currentPage(), 1);
        QCOMPARE(w->document->listCommand().size(), 1);
        // Ctrl+V with an empty clipboard: the paste button is hidden.
        QTest::keyClick(w.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(w->document->listCommand().size(), 1);

        addCommandKind(1);
        QTest::keyClick(w.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(w->document->copiedCommand(), QStringList({"クリック", "左", "0.01"}));
        QVERIFY(w->pasteButton->isVisible());
        QTest::keyClick(w.get(), Qt::Key_Right);
        QCOMPARE(w->document->currentPage(), 2);
        QTest::keyClick(w.get(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(command(), QStringList({"クリック", "左", "0.01"}));
        QTest::keyClick(w.get(), Qt::Key_Left);
        QCOMPARE(w->document->currentPage(), 1);
        QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier); // no question configured
        QCOMPARE(w->document->listCommand().size(), 1);

        QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w->document->listCommand().size(), 2);
        QVERIFY(w->redoButton->isVisible());
        QTest::keyClick(w.get(), Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(w->document->listCommand().size(), 1);
        QVERIFY(!w->redoButton->isVisible());
        // Redo at the newest state does nothing.
        QTest::keyClick(w.get(), Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w->document->listCommand().size(), 1);

        // An empty key hides the buttons, and so disables their shortcuts.
        w->nextPageButton->click();
        setPage({"キー", "", "0.01"}, {"即時"});
        const int page = w->document->currentPage();
        QTest::keyClick(w.get(), Qt::Key_Left);
        QTest::keyClick(w.get(), Qt::Key_Right);
        QTest::keyClick(w.get(), Qt::Key_C, Qt::ControlModifier);
        QTest::keyClick(w.get(), Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(w.get(), Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(w->document->currentPage(), page);
        QCOMPARE(w->document->listCommand().size(), 2);
        QCOMPARE(command(), QStringList({"キー", "", "0.01"}));
        QCOMPARE(w->document->copiedCommand(), QStringList({"クリック", "左", "0.01"}));
    }

    void undoRedoSteps() {
        openEditor();
        addCommandKind(1);
        addConditionKind(2);
        QCOMPARE(w->document->historyIndex(), 2);
        w->undoButton->click();
        QCOMPARE(condition(), QStringList({"終わるまで待つ", "0.1"}));
        QCOMPARE(command(), QStringList({"クリック", "左", "0.01"}));
        QVERIFY(w->redoButton->isVisible());
        QVERIFY(w->isProjectDirty());
        w->undoButton->click();
        QVERIFY(!w->isProjectDirty()); // back at the saved state
        QVERIFY(!w->undoButton->isVisible());
        // A new change drops the redo states.
        addCommandKind(3);
        QVERIFY(!w->redoButton->isVisible());
        QCOMPARE(w->document->listCommandHistory().size(), 2);

        // Undoing an empty Enter Text page brings the navigation back.
        addCommandKind(5);
        QVERIFY(navigationHidden());
        w->undoButton->click();
        QCOMPARE(command().at(0), "スムーズムーブ");
        QVERIFY(navigationShown());

        // Value edits join the next refreshing step; undo discards them.
        w->commandTimeSpin->setValue(7);
        w->nextPageButton->click();
        w->undoButton->click();
        QCOMPARE(w->document->listCommand().size(), 1);
        QCOMPARE(command(), QStringList({"スムーズムーブ", "0", "0", "1"}));
        QCOMPARE(w->document->currentPage(), 1);
    }

    void undoAfterDeletingTheLastPage() {
        openEditor();
        w->nextPageButton->click();
        w->nextPageButton->click();
        addCommandKind(1);
        w->deleteButton->click();
        QCOMPARE(w->document->listCommand().size(), 2);
        QCOMPARE(w->document->currentPage(), 2);
        w->undoButton->click();
        QCOMPARE(w->document->listCommand().size(), 3);
        QCOMPARE(w->document->currentPage(), 2);
        QCOMPARE(w->pageCountLabel->text(), "2/3");
        // Undo that removes the page being shown shows the new last page.
        w->nextPageButton->click();
        w->undoButton->click(); // before the Click command
        w->undoButton->click(); // before the third page
        QCOMPARE(w->document->listCommand().size(), 2);
        QCOMPARE(w->document->currentPage(), 2);
    }

    void deleteQuestion_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("pagesAfter");
        QTest::newRow("ja yes") << true << int(QMessageBox::Yes) << 1;
        QTest::newRow("ja no") << true << int(QMessageBox::No) << 2;
        QTest::newRow("en yes") << false << int(QMessageBox::Yes) << 1;
    }
    void deleteQuestion() {
        QFETCH(bool, japanese);
        QFETCH(int, answer);
        QFETCH(int, pagesAfter);
        openEditor({{"is_japanese", japanese}, {"is_message_delete", true}});
        w->nextPageButton->click();
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::StandardButton(answer));
        w->deleteButton->click();
        QCOMPARE(answerer.count(), 1);
        const testsupport::SeenBox box = answerer.last();
        QCOMPARE(box.title, japanese ? "最終確認" : "Warning");
        QCOMPARE(box.text,
                 japanese ? "2ページ目を削除しますか？" : "Do you want to delete page 2?");
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.defaultButton, QMessageBox::No);
        QCOMPARE(w->document->listCommand().size(), pagesAfter);
        QCOMPARE(w->document->currentPage(), 1 + (pagesAfter == 2));
    }

    void pasteQuestion_data() {
        QTest::addColumn<bool>("ask");
        QTest::addColumn<QStringList>("targetCondition");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("replaced");
        const QStringList fresh{"終わるまで待つ", "0.1"};
        const QStringList blank{"時間", "0.1"};
        QTest::newRow("fresh page asks, yes")
            << true << fresh << int(QMessageBox::Yes) << true << true;
        QTest::newRow("fresh page asks, no")
            << true << fresh << int(QMessageBox::No) << true << false;
        QTest::newRow("blank page never asks") << true << blank << 0 << false << true;
        QTest::newRow("question off") << false << fresh << 0 << false << true;
    }
    void pasteQuestion() {
        QFETCH(bool, ask);
        QFETCH(QStringList, targetCondition);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, replaced);
        openEditor({{"is_message_paste", ask}});
        setPage({"入力", "abc", "3"}, {"即時"});
        w->copyButton->click();
        w->nextPageButton->click();
        setPage({"なし"}, targetCondition);
        testsupport::ModalAnswerer answerer;
        if (answer)
            answerer.answer(QMessageBox::StandardButton(answer));
        w->pasteButton->click();
        QCOMPARE(answerer.count(), asked ? 1 : 0);
        if (asked) {
            QCOMPARE(answerer.last().text, "2 ページ目を置き換えますか？");
            QCOMPARE(answerer.last().defaultButton, QMessageBox::No);
        }
        QCOMPARE(command(), replaced ? QStringList({"入力", "abc", "3"}) : QStringList{"なし"});
        QCOMPARE(condition(), replaced ? QStringList{"即時"} : targetCondition);
        // The clipboard keeps its copy.
        QCOMPARE(w->document->copiedCommand(), QStringList({"入力", "abc", "3"}));
    }

    void languageSwitchRelabels() {
        openEditor();
        addCommandKind(4);
        QVERIFY(input->sendHookEvent(kVkA, true));
        QTRY_VERIFY_WITH_TIMEOUT(!w->keyPollTimer->isActive(), 5000);
        addConditionKind(1);
        w->toggleLanguage();
        QCOMPARE(w->commandLabel->text(), "Key");
        QCOMPARE(w->conditionLabel->text(), "Time");
        QCOMPARE(texts(w->pageList), QStringList({"+", "1.key", "+"}));
        // The kind menus keep their index and the kind they stand for.
        QCOMPARE(w->selectedCommandKind, "キー");
        w->conditionCombo->setCurrentIndex(5);
        QCOMPARE(w->selectedConditionKind, "時刻");
    }

    // Every kind of the registry has its pane, and the kind menus list the
    // registry's rows in order with the stored kind as item data.
    void everyKindHasItsPane_data() {
        QTest::addColumn<bool>("condition");
        QTest::newRow("commands") << false;
        QTest::newRow("conditions") << true;
    }
    void everyKindHasItsPane() {
        QFETCH(bool, condition);
        openEditor();
        const pagekinds::Side side =
            condition ? pagekinds::Side::Condition : pagekinds::Side::Command;
        const QList<pagekinds::Kind> &rows = pagekinds::all(side);
        QComboBox *combo = condition ? w->conditionCombo : w->commandCombo;
        QCOMPARE(combo->count(), rows.size());
        for (int i = 0; i < rows.size(); ++i) {
            const editorpanes::Pane *pane = editorpanes::find(side, rows.at(i).stored);
            QVERIFY2(pane, qPrintable(rows.at(i).stored));
            QVERIFY(!pane->widgets(*w).contains(nullptr));
            QCOMPARE(combo->itemData(i).toString(), rows.at(i).stored);
            // A command showing the seconds says in their Help Mode tip what
            // they mean to it, and only such a command.
            if (!condition)
                QCOMPARE(!rows.at(i).secondsHelp.japanese().isEmpty(),
                         pane->widgets(*w).contains(w->commandTimeSpin));
        }
        QVERIFY(!editorpanes::find(side, "謎"));
        // No pane for a kind the registry does not have.
        int panes = 0;
        for (const editorpanes::Pane &pane : editorpanes::panes())
            panes += pane.side == side ? 1 : 0;
        QCOMPARE(panes, rows.size());
    }

    // "追加" goes by the item's kind, whatever the item says: after a language
    // switch, and even with an item text no table knows.
    void addTakesTheItemsKind_data() {
        QTest::addColumn<bool>("condition");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("record");
        QTest::newRow("command Smooth Move")
            << false << 3 << QStringList{"スムーズムーブ", "0", "0", "1"};
        QTest::newRow("command Enter Text") << false << 5 << QStringList{"入力", "", "3"};
        QTest::newRow("condition Time") << true << 1 << QStringList{"時間", "0.1"};
        QTest::newRow("condition Click") << true << 3 << QStringList{"クリック", "左"};
    }
    void addTakesTheItemsKind() {
        QFETCH(bool, condition);
        QFETCH(int, index);
        QFETCH(QStringList, record);
        openEditor();
        w->toggleLanguage(); // Japanese to English while the editor is open
        QComboBox *combo = condition ? w->conditionCombo : w->commandCombo;
        QPushButton *add = condition ? w->addConditionButton : w->addCommandButton;
        combo->setCurrentIndex(index);
        combo->setItemText(index, "?");
        add->click();
        QCOMPARE(condition ? this->condition() : command(), record);
        // Back in Japanese the item is named by its kind again.
        w->toggleLanguage();
        QCOMPARE(combo->itemText(index), record.first());
        combo->setCurrentIndex(0);
        add->click();
        QCOMPARE((condition ? this->condition() : command()).first(),
                 condition ? "終わるまで待つ" : "なし");
    }

    // A position taken with Ctrl+Alt+G goes into the kinds that have one
    // (gui_coordinates checks the ordinary records).
    void positionGoesToItsKind_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("short smooth move padded")
            << QStringList{"スムーズムーブ"} << QStringList{"スムーズムーブ", "31", "-7"};
        QTest::newRow("click has no position")
            << QStringList{"クリック", "左", "1"} << QStringList{"クリック", "左", "1"};
    }
    void positionGoesToItsKind() {
        QFETCH(QStringList, command);
        QFETCH(QStringList, after);
        openEditor();
        setPage(command, {"即時"});
        input->setCursorPos(31, -7);
        w->getCoordinate2();
        QCOMPARE(this->command(), after);
    }

    // ---- window pages ----

    // "追加" puts the kind's record on the page and shows the window fields;
    // edits go into elements 1 to 3 and the kind's own elements.
    void windowPanes_data() {
        QTest::addColumn<bool>("condition");
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("edited");
        QTest::newRow("window") << false << 6
                                << QStringList{"ウィンドウ切替", "^メモ帳", "正規表現", "gedit",
                                               "2.5"};
        QTest::newRow("window pointer")
            << false << 7
            << QStringList{"ウィンドウ座標", "^メモ帳", "正規表現", "gedit", "-30", "40"};
        QTest::newRow("window move")
            << false << 8
            << QStringList{"ウィンドウムーブ", "^メモ帳", "正規表現", "gedit", "-30", "40", "2.5"};
        QTest::newRow("window condition")
            << true << 6 << QStringList{"ウィンドウ", "^メモ帳", "正規表現", "gedit", "ない"};
    }
    void windowPanes() {
        QFETCH(bool, condition);
        QFETCH(int, index);
        QFETCH(QStringList, edited);
        input->setWindows(desktop());
        openEditor();
        if (condition)
            addConditionKind(index);
        else
            addCommandKind(index);
        QCOMPARE(condition ? this->condition() : command(),
                 pagekinds::all(condition ? pagekinds::Side::Condition : pagekinds::Side::Command)
                     .at(index)
                     .fresh(QTime::currentTime()));
        QComboBox *title = condition ? w->conditionWindowTitleCombo : w->windowTitleCombo;
        QComboBox *mode = condition ? w->conditionWindowModeCombo : w->windowModeCombo;
        QLineEdit *program = condition ? w->conditionWindowProgramEdit : w->windowProgramEdit;
        QLabel *matches = condition ? w->conditionWindowMatchLabel : w->windowMatchLabel;
        for (QWidget *field : {static_cast<QWidget *>(title), static_cast<QWidget *>(mode),
                               static_cast<QWidget *>(program), static_cast<QWidget *>(matches)})
            QVERIFY(field->isVisible());
        // The empty pattern matches every window.
        QCOMPARE(matches->text(), "一致: 3");
        QVERIFY(navigationShown());

        title->setEditText("^メモ帳");
        QCOMPARE(matches->text(), "一致: 0"); // still "contains"
        mode->setCurrentIndex(2);
        QCOMPARE(matches->text(), "一致: 1");
        program->setText("gedit");
        if (condition) {
            w->windowStateCombo->setCurrentIndex(2);
        } else {
            w->commandTimeSpin->setValue(2.5);
            w->coordXSpin->setValue(-30);
            w->coordYSpin->setValue(40);
            w->coordXSpin2->setValue(-30);
            w->coordYSpin2->setValue(40);
        }
        QCOMPARE(condition ? this->condition() : command(), edited);

        // Shown again as written, in English too.
        w->nextPage();
        w->returnPage();
        w->toggleLanguage();
        QCOMPARE(title->currentText(), "^メモ帳");
        QCOMPARE(mode->currentText(), "regex");
        QCOMPARE(program->text(), "gedit");
        QCOMPARE(matches->text(), "Matches: 1");
        QCOMPARE(condition ? this->condition() : command(), edited);
    }

    // The title box offers the titles of the windows open when it drops
    // down; picking one writes it into the page.
    void titlesOfOpenWindowsOffered() {
        openEditor();
        addCommandKind(6);
        input->setWindows(desktop());
        w->windowTitleCombo->showPopup();
        QCOMPARE(itemTexts(w->windowTitleCombo),
                 QStringList({"メモ - エディター", "メモ帳 - エディター", "端末"}));
        w->windowTitleCombo->hidePopup();
        QVERIFY(w->windowTitleCombo->currentText().isEmpty()); // the typed text stays
        w->windowTitleCombo->setCurrentIndex(1);
        QCOMPARE(command(),
                 QStringList({"ウィンドウ切替", "メモ帳 - エディター", "含む", "", "5"}));
        QCOMPARE(w->windowMatchLabel->text(), "一致: 1");

        // A window closed since: the next drop-down no longer lists it.
        input->closeWindow(1);
        w->windowTitleCombo->showPopup();
        QCOMPARE(itemTexts(w->windowTitleCombo), QStringList({"メモ帳 - エディター", "端末"}));
        w->windowTitleCombo->hidePopup();
        QCOMPARE(w->windowTitleCombo->currentText(), "メモ帳 - エディター");

        // The count follows the desktop while the page is shown.
        QCOMPARE(w->windowMatchLabel->text(), "一致: 1");
        input->closeWindow(2);
        QTRY_COMPARE_WITH_TIMEOUT(w->windowMatchLabel->text(), QString("一致: 0"), 5000);
        QCOMPARE(command(),
                 QStringList({"ウィンドウ切替", "メモ帳 - エディター", "含む", "", "5"}));
    }

    void windowFieldsSayWhatIsWrong_data() {
        QTest::addColumn<bool>("access");
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QString>("ja");
        QTest::addColumn<QString>("en");
        QTest::newRow("no window access")
            << false << QStringList{"ウィンドウ", "a", "含む", "", "ある"} << "ウィンドウ取得不可"
            << "No window access";
        QTest::newRow("invalid expression")
            << true << QStringList{"ウィンドウ", "(", "正規表現", "", "ある"} << "正規表現が不正"
            << "Invalid regex";
        // On the last window's title the engine gives up: no count is known.
        QTest::newRow("expression too costly")
            << true << QStringList{"ウィンドウ", "^(a+)+$|^a{30}!$", "正規表現", "", "ある"}
            << "正規表現が複雑すぎる"
            << "Regex too costly";
    }
    void windowFieldsSayWhatIsWrong() {
        QFETCH(bool, access);
        QFETCH(QStringList, record);
        QFETCH(QString, ja);
        QFETCH(QString, en);
        input->offerWindowAccess(access);
        std::vector<testsupport::FakeWindow> windows = desktop();
        windows.push_back(
            fakeWindow(4, u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa!", u"xterm", {0, 0, 9, 9}));
        input->setWindows(windows);
        openEditor();
        setPage({"なし"}, record);
        QCOMPARE(w->conditionWindowMatchLabel->text(), ja);
        w->toggleLanguage();
        QCOMPARE(w->conditionWindowMatchLabel->text(), en);
        // The page as it was: showing it wrote nothing back.
        QCOMPARE(condition(), record);
    }

    // Where the desktop does not tell where windows are, the pages with a
    // position in a window say so; the Window page still counts matches.
    void windowPositionsUnknown_data() {
        QTest::addColumn<QStringList>("record");
        QTest::addColumn<QString>("ja");
        QTest::addColumn<QString>("en");
        QTest::newRow("window pointer")
            << QStringList{"ウィンドウ座標", "メモ", "含む", "", "1", "2"} << "ウィンドウ位置不明"
            << "No window positions";
        QTest::newRow("window move")
            << QStringList{"ウィンドウムーブ", "メモ", "含む", "", "1", "2", "0"}
            << "ウィンドウ位置不明"
            << "No window positions";
        QTest::newRow("window") << QStringList{"ウィンドウ切替", "メモ", "含む", "", "1"}
                                << "一致: 2"
                                << "Matches: 2";
    }
    void windowPositionsUnknown() {
        QFETCH(QStringList, record);
        QFETCH(QString, ja);
        QFETCH(QString, en);
        input->offerWindowGeometry(false);
        input->setWindows(desktop());
        openEditor();
        setPage(record, {"即時"});
        QVERIFY(w->windowMatchLabel->isVisible());
        QCOMPARE(w->windowMatchLabel->text(), ja);
        w->toggleLanguage();
        QCOMPARE(w->windowMatchLabel->text(), en);
        QCOMPARE(command(), record);
    }

    // Ctrl+Alt+G on a window page takes the window under the pointer and
    // the position in its client area.
    void positionInTheWindowUnderThePointer_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("y");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("window pointer")
            << QStringList{"ウィンドウ座標", "", "正規表現", "", "0", "0"} << 530 << 140
            << QStringList{"ウィンドウ座標", "メモ帳 - エディター", "含む", "gedit", "30", "40"};
        QTest::newRow("window move keeps its duration")
            << QStringList{"ウィンドウムーブ", "x", "一致", "y", "1", "2", "3"} << 10 << 450
            << QStringList{"ウィンドウムーブ", "端末", "含む", "XTerm", "10", "50", "3"};
        QTest::newRow("screen position on a plain pointer page")
            << QStringList{"マウスポインター", "0", "0"} << 530 << 140
            << QStringList{"マウスポインター", "530", "140"};
    }
    void positionInTheWindowUnderThePointer() {
        QFETCH(QStringList, command);
        QFETCH(int, x);
        QFETCH(int, y);
        QFETCH(QStringList, after);
        input->setWindows(desktop());
        openEditor();
        setPage(command, {"即時"});
        input->setCursorPos(x, y);
        w->getCoordinate2();
        QCOMPARE(this->command(), after);
    }

    void noWindowUnderThePointer() {
        input->setWindows(desktop());
        openEditor();
        const QStringList page{"ウィンドウ座標", "メモ", "含む", "", "5", "6"};
        setPage(page, {"即時"});
        input->setCursorPos(450, 50); // between the windows
        testsupport::ModalAnswerer answerer;
        w->getCoordinate2();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, "ウィンドウがありません");
        QCOMPARE(command(), page);
    }

    // The Test button goes to the page's position in its window as it is now.
    void testButtonFindsTheWindow() {
        input->setWindows(desktop());
        openEditor();
        setPage({"ウィンドウ座標", "メモ帳", "含む", "", "5", "6"}, {"即時"});
        input->clearEvents();
        w->testButton->click();
        QTRY_COMPARE_WITH_TIMEOUT(input->eventTexts(),
                                  std::vector<std::string>{"setCursorPos 505 106"}, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(w->isVisible(), 5000);

        // Gone: said so, and the pointer stays.
        setPage({"ウィンドウ座標", "ブラウザー", "含む", "", "5", "6"}, {"即時"});
        input->clearEvents();
        testsupport::ModalAnswerer answerer;
        w->testButton->click();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().text, "1ページ目: ウィンドウ「ブラウザー」が見つかりません。");
        QVERIFY(w->isVisible());
        QCOMPARE(input->eventTexts(), std::vector<std::string>{});
    }

    // Where the desktop does not tell where windows are, the Test button
    // says so instead of moving to the position as if from the origin.
    void testButtonWithoutWindowPositions() {
        input->setWindows(desktop());
        input->offerWindowGeometry(false);
        openEditor();
        setPage({"ウィンドウ座標", "メモ帳", "含む", "", "5", "6"}, {"即時"});
        input->clearEvents();
        testsupport::ModalAnswerer answerer;
        w->testButton->click();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().text,
                 "1ページ目: "
                 "このデスクトップはウィンドウの位置を教えないため、ウィンドウ"
                 "からの位置を使えません。");
        QVERIFY(w->isVisible());
        QCOMPARE(input->eventTexts(), std::vector<std::string>{});
    }

    // Showing every page of a project without window pages, in both
    // languages, changes nothing: it is saved as it was read.
    void projectWithoutWindowPagesSavedAsRead() {
        QTemporaryDir dir;
        const QString path = dir.filePath("every_kind.cmdat");
        QVERIFY(QFile::copy(QStringLiteral(TARNWICK_TEST_DATA "/every_kind.cmdat"), path));
        const QByteArray original = readAll(path);
        input->setWindows(desktop());
        openEditor({{"is_message_file", false}});
        w->openProjectFile(path);
        QCOMPARE(w->document->filePath(), path);
        // Page by page as the page list would (an empty key hides the arrows).
        for (int pass = 0; pass < 2; ++pass) {
            for (int page = 1; page <= w->document->listCommand().size(); ++page) {
                w->document->setCurrentPage(page);
                w->refreshPage();
            }
            w->toggleLanguage();
        }
        QVERIFY(QFile::remove(path));
        w->saveFile3();
        QCOMPARE(readAll(path), original);
    }

    void editorValues_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QStringList>("condition");
        QTest::addColumn<QStringList>("commandAfter");
        QTest::addColumn<QStringList>("conditionAfter");
        // Widget values set for every row, then one edit (see editorValues());
        // the other kinds are checked through their widgets above.
        QTest::newRow("text") << true << QStringList{"入力", "", "3"}
                              << QStringList{"終わるまで待つ", "0.1"}
                              << QStringList{"入力", "abc\ndef", "0.25"}
                              << QStringList{"終わるまで待つ", "2.5"};
        QTest::newRow("none untouched") << true << QStringList{"なし"} << QStringList{"キー", ""}
                                        << QStringList{"なし"} << QStringList{"キー", ""};
        // Short records from a file are padded instead of written past their end.
        QTest::newRow("short records")
            << true << QStringList{"スムーズムーブ"} << QStringList{"時刻"}
            << QStringList{"スムーズムーブ", "30", "-40", "0.25"}
            << QStringList{"時刻", "24", "59"};
    }
    void editorValues() {
        QFETCH(bool, japanese);
        QFETCH(QStringList, command);
        QFETCH(QStringList, condition);
        QFETCH(QStringList, commandAfter);
        QFETCH(QStringList, conditionAfter);
        openEditor({{"is_japanese", japanese}});
        setPage(command, condition);
        {
            // All at once, as one edit writes them.
            const QList<QWidget *> all = w->findChildren<QWidget *>();
            std::vector<std::unique_ptr<QSignalBlocker>> quiet;
            for (QWidget *widget : all)
                quiet.push_back(std::make_unique<QSignalBlocker>(widget));
            w->inputTextEdit->setPlainText("abc\ndef");
            w->commandTimeSpin->setValue(0.25);
            w->commandClickCombo->setCurrentText(japanese ? "右" : "Right");
            w->coordXSpin->setValue(-9999999);
            w->coordYSpin->setValue(99999999);
            w->coordXSpin2->setValue(30);
            w->coordYSpin2->setValue(-40);
            w->conditionTimeSpin->setValue(2.5);
            w->conditionClickCombo->setCurrentText(japanese ? "左" : "Left");
            w->clockHourSpin->setValue(24);
            w->clockMinuteSpin->setValue(59);
        }
        w->changeSomeThing();
        command = this->command();
        condition = this->condition();
        QCOMPARE(command, commandAfter);
        QCOMPARE(condition, conditionAfter);
    }
};

QTEST_MAIN(EditorTest)
#include "gui_editor.moc"
