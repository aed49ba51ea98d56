// The main window as built: every widget's place, size, sheet and start
// visibility, the combo items and ranges, the menus with their actions and
// the window-wide shortcuts.

#include "app/tarnwick.h"
#include "capture/templatecapture.h"
#include "core/pagekinds.h"
#include "support/testconfig.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>
#include <functional>

namespace {

const QString S1 =
    QStringLiteral("\n        QGroupBox {\n            font-size: 24px;\n"
                   "            border: 2px solid black;\n"
                   "            border-radius: 5px;\n            margin-top: 10px;\n"
                   "        }\n        QGroupBox::title {\n"
                   "            subcontrol-origin: margin;\n            left: 10px;\n"
                   "            padding: 0 3px;\n        }\n"
                   "        QToolTip { font-size: 14pt; }\n    ");
const QString S2 = QStringLiteral("QPushButton{font-size:24px;} QToolTip { font-size: 14pt; }");
const QString S3 = QStringLiteral("QComboBox{font-size: 24px;} QToolTip { font-size: 14pt; }");
const QString S4 = QStringLiteral("QLabel{font-size:24px;} QToolTip { font-size: 14pt; }");
const QString S5 = QStringLiteral("QTextEdit{font-size: 24px;} QToolTip { font-size: 14pt; }");
const QString S6 = QStringLiteral("QLabel{font-size:30px;} QToolTip { font-size: 14pt; }");
const QString S7 = QStringLiteral("QDoubleSpinBox{font-size: 24px;} QToolTip { font-size: 14pt; }");
const QString S8 = QStringLiteral("QPushButton{font-size:48px;} QToolTip { font-size: 14pt; }");
const QString S9 = QStringLiteral(
    "\n        QPushButton {\n           font-size: 24px;\n           background-color: #FF0000;\n"
    "           color: white;\n           border-radius: 5px;\n        }\n"
    "        QPushButton:hover {\n           background-color: #CC0000;\n        }\n"
    "        QPushButton:pressed {\n           background-color: #990000;\n        }\n"
    "        QToolTip { font-size: 14pt; }\n    ");
const QString S10 = QStringLiteral("QToolTip { font-size: 14pt; }");
const QString S11 = QStringLiteral("QPushButton{font-size:16px;} QToolTip { font-size: 14pt; }");
const QString S12 = QStringLiteral("QPushButton{font-size:12px;} QToolTip { font-size: 14pt; }");
const QString S13 = QStringLiteral("QLabel{font-size: 24px;} QToolTip { font-size: 14pt; }");
const QString S14 = QStringLiteral("QSpinBox{font-size: 24px;} QToolTip { font-size: 14pt; }");

struct Row {
    const char *name;
    std::function<QWidget *(tarnwick &)> widget;
    QRect geometry;
    QString style;
    bool shown;
};

#define W(member) #member, [](tarnwick & t) -> QWidget * { return t.member; }

// The window's widgets in creation order (the menu bar and the timer aside).
const QList<Row> &tableRows() {
    static const QList<Row> rows = {
        {W(operationGroup), {10, 30, 400, 240}, S1, false},
        {W(conditionGroup), {10, 280, 400, 240}, S1, false},
        {W(pageGroup), {430, 30, 190, 545}, S1, false},
        {W(newProjectButton), {10, 10, 610, 60}, S2, true},
        {W(loadProjectButton), {10, 80, 610, 60}, S2, true},
        {W(languageButton), {10, 150, 610, 60}, S2, true},
        {W(commandCombo), {20, 60, 225, 40}, S3, false},
        {W(addCommandButton), {255, 60, 60, 38}, S2, false},
        {W(testButton), {310, 220, 90, 38}, S2, false},
        {W(commandLabel), {20, 110, 300, 30}, S4, false},
        {W(inputTextEdit), {20, 142, 380, 73}, S5, false},
        {W(commandClickCombo), {20, 150, 90, 40}, S3, false},
        {W(commandSecLabel), {140, 210, 60, 60}, S6, false},
        {W(commandTimeSpin), {20, 220, 110, 40}, S7, false},
        {W(conditionCombo), {20, 310, 225, 40}, S3, false},
        {W(addConditionButton), {255, 310, 60, 38}, S2, false},
        {W(conditionLabel), {20, 360, 400, 60}, S4, false},
        {W(conditionSecLabel), {140, 380, 400, 60}, S6, false},
        {W(conditionClickCombo), {20, 390, 90, 40}, S3, false},
        {W(conditionTimeSpin), {20, 390, 120, 40}, S7, false},
        {W(prevPageButton), {450, 365, 62, 30}, S8, false},
        {W(runButton), {10, 525, 400, 53}, S8, false},
        {W(nextPageButton), {537, 365, 62, 30}, S8, false},
        {W(deleteButton), {453, 446, 145, 38}, S9, false},
        {W(pageCountLabel), {450, 535, 143, 24}, S4, false},
        {W(pageList), {450, 60, 150, 295}, S10, false},
        {W(copyButton), {450, 400, 62, 41}, S11, false},
        {W(pasteButton), {538, 400, 62, 41}, S11, false},
        {W(undoButton), {450, 490, 62, 41}, S12, false},
        {W(redoButton), {538, 490, 62, 41}, S12, false},
        {W(commandKeyPromptLabel), {20, 145, 380, 75}, S13, false},
        {W(conditionKeyPromptLabel), {20, 385, 380, 75}, S13, false},
        {W(coordXLabel), {20, 133, 24, 60}, S13, false},
        {W(coordXSpin), {46, 145, 114, 40}, S14, false},
        {W(coordYLabel), {170, 133, 24, 60}, S13, false},
        {W(coordYSpin), {190, 145, 120, 40}, S14, false},
        {W(coordGetButton), {320, 144, 80, 43}, S2, false},
        {W(coordXLabel2), {20, 133, 24, 60}, S13, false},
        {W(coordXSpin2), {46, 145, 114, 40}, S14, false},
        {W(coordYLabel2), {170, 133, 24, 60}, S13, false},
        {W(coordYSpin2), {190, 145, 120, 40}, S14, false},
        {W(coordGetButton2), {320, 144, 80, 43}, S2, false},
        {W(clockHourSpin), {20, 390, 70, 40}, S14, false},
        {W(clockColonLabel), {100, 395, 24, 24}, S13, false},
        {W(clockMinuteSpin), {114, 390, 70, 40}, S14, false},
    };
    return rows;
}

#undef W

} // namespace

class MainWindowLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init() { testsupport::writeTestConfig(); }

    void startPageShowsOnlyTheThreeButtons() {
        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick Free"));
        QCOMPARE(window.minimumSize(), QSize(630, 585));
        QCOMPARE(window.maximumSize(), QSize(630, 585));
        QVERIFY(!window.menuBar()->isVisible());

        QList<QWidget *> visible;
        for (QWidget *w : window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (w->isVisible() && w != window.centralWidget())
                visible << w;
        }
        const QList<QWidget *> expected = {window.newProjectButton, window.loadProjectButton,
                                           window.languageButton};
        QCOMPARE(visible, expected);
        QVERIFY(!window.editorOpen);
    }

    void widgetTable_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < tableRows().size(); ++i)
            QTest::newRow(tableRows().at(i).name) << i;
    }
    void widgetTable() {
        QFETCH(int, row);
        const Row &r = tableRows().at(row);
        tarnwick window;
        QWidget *w = r.widget(window);
        QVERIFY(w);
        // Children of the window itself, never of the frames drawn beneath them.
        QCOMPARE(w->parentWidget(), &window);
        QCOMPARE(w->geometry(), r.geometry);
        if (!qobject_cast<QGroupBox *>(w)) {
            QCOMPARE(w->minimumSize(), r.geometry.size());
            QCOMPARE(w->maximumSize(), r.geometry.size());
        }
        QCOMPARE(w->styleSheet(), r.style);
        QCOMPARE(w->isVisibleTo(&window), r.shown);
    }

    // Later widgets stack above earlier ones, so the creation order matters.
    void widgetsAreCreatedInTableOrder() {
        tarnwick window;
        QList<QWidget *> expected;
        for (const Row &r : tableRows())
            expected << r.widget(window);
        QList<QWidget *> actual;
        for (QObject *child : window.children()) {
            auto *w = qobject_cast<QWidget *>(child);
            if (w && expected.contains(w))
                actual << w;
        }
        QCOMPARE(actual, expected);
    }

    void contentsAndRanges() {
        tarnwick window;
        auto items = [](QComboBox *c) {
            QStringList list;
            for (int i = 0; i < c->count(); ++i)
                list << c->itemText(i);
            return list;
        };
        // The construction texts are replaced by the texts of the active
        // language; with Japanese active they read the same.
        QCOMPARE(items(window.commandCombo),
                 QStringList({"なし", "クリック", "マウスポインター", "スムーズムーブ", "キー",
                              "入力", "ウィンドウ切替", "ウィンドウ座標", "ウィンドウムーブ",
                              "画像ジャンプ", "ページへ", "プロジェクト呼出", "画像ジャンプ分岐"}));
        QCOMPARE(items(window.conditionCombo),
                 QStringList({"終わるまで待つ", "時間", "即時", "クリック", "キー", "時刻",
                              "ウィンドウ", "色", "画像", "クリック分岐", "キー分岐",
                              "ウィンドウ分岐", "色分岐", "画像分岐"}));
        QCOMPARE(items(window.commandClickCombo), QStringList({"左", "右"}));
        QCOMPARE(items(window.conditionClickCombo), QStringList({"左", "右"}));
        QCOMPARE(window.commandClickCombo->currentIndex(), 0);
        QCOMPARE(window.conditionClickCombo->currentIndex(), 0);

        QCOMPARE(window.pageList->count(), 1);
        QCOMPARE(window.pageList->item(0)->text(), QStringLiteral("1.なし"));
        QVERIFY(window.inputTextEdit->toPlainText().isEmpty());
        QVERIFY(window.inputTextEdit->acceptRichText());
        QVERIFY(window.commandKeyPromptLabel->text().isEmpty());
        QVERIFY(window.conditionKeyPromptLabel->text().isEmpty());
        QCOMPARE(window.clockColonLabel->text(), QStringLiteral(":"));
        QCOMPARE(window.commandLabel->alignment(), Qt::AlignLeft | Qt::AlignTop);
        QCOMPARE(window.conditionLabel->alignment(), Qt::AlignLeft | Qt::AlignTop);

        QCOMPARE(window.commandTimeSpin->minimum(), 0.01);
        QCOMPARE(window.commandTimeSpin->maximum(), 1000.0);
        QCOMPARE(window.commandTimeSpin->singleStep(), 0.01);
        QCOMPARE(window.commandTimeSpin->decimals(), 2);
        QCOMPARE(window.conditionTimeSpin->minimum(), 0.01);
        QCOMPARE(window.conditionTimeSpin->maximum(), 1000.0);
        QCOMPARE(window.conditionTimeSpin->singleStep(), 0.1);
        QCOMPARE(window.conditionTimeSpin->decimals(), 2);

        // Y reaches one digit further than X, in both coordinate sets.
        for (QSpinBox *x : {window.coordXSpin, window.coordXSpin2}) {
            QCOMPARE(x->minimum(), -9999999);
            QCOMPARE(x->maximum(), 9999999);
            QCOMPARE(x->buttonSymbols(), QAbstractSpinBox::NoButtons);
        }
        for (QSpinBox *y : {window.coordYSpin, window.coordYSpin2}) {
            QCOMPARE(y->minimum(), -9999999);
            QCOMPARE(y->maximum(), 99999999);
            QCOMPARE(y->buttonSymbols(), QAbstractSpinBox::NoButtons);
        }
        window.clockHourSpin->setValue(24);
        QCOMPARE(window.clockHourSpin->value(), 24);
        window.clockMinuteSpin->setValue(60);
        QCOMPARE(window.clockMinuteSpin->value(), 59);
        QCOMPARE(window.clockHourSpin->buttonSymbols(), QAbstractSpinBox::UpDownArrows);
        QCOMPARE(window.clockMinuteSpin->buttonSymbols(), QAbstractSpinBox::UpDownArrows);

        QVERIFY(window.keyPollTimer);
        QCOMPARE(window.keyPollTimer->parent(), &window);
        QVERIFY(!window.keyPollTimer->isActive());
    }

    void menusAndActions() {
        tarnwick window;
        QMenuBar *bar = window.menuBar();
        QList<QMenu *> menus;
        for (QAction *a : bar->actions())
            menus << a->menu();
        const QList<QMenu *> expectedMenus = {window.fileMenu,     window.reportMenu,
                                              window.settingsMenu, window.versionMenu,
                                              window.helpMenu,     window.otherMenu};
        QCOMPARE(menus, expectedMenus);

        QCOMPARE(window.fileMenu->actions(),
                 QList<QAction *>({window.newAction, window.openAction, window.saveAction,
                                   window.saveAsAction}));
        QCOMPARE(window.reportMenu->actions(),
                 QList<QAction *>(
                     {window.reportBugAction, window.suggestAction, window.needReplyAction}));
        QCOMPARE(window.settingsMenu->actions(),
                 QList<QAction *>(
                     {window.askSaveAction, window.askPasteAction, window.askDeleteAction}));
        QCOMPARE(window.versionMenu->actions(), QList<QAction *>({window.versionInfoAction}));
        QCOMPARE(window.helpMenu->actions(),
                 QList<QAction *>(
                     {window.helpModeAction, window.askHowToUseAction, window.manualAction}));
        QCOMPARE(window.otherMenu->actions(),
                 QList<QAction *>({window.recordAction, window.languageAction,
                                   window.viewTermsAction, window.viewOssNoticeAction,
                                   window.viewQtInfoAction, window.viewLgplAction}));

        // Actions belong to the window and are created with Save As before Save.
        QList<QAction *> created;
        for (QObject *child : window.children()) {
            if (auto *a = qobject_cast<QAction *>(child))
                created << a;
        }
        const QList<QAction *> expectedOrder = {
            window.newAction,         window.openAction,        window.saveAsAction,
            window.saveAction,        window.reportBugAction,   window.suggestAction,
            window.needReplyAction,   window.askSaveAction,     window.askPasteAction,
            window.askDeleteAction,   window.versionInfoAction, window.helpModeAction,
            window.askHowToUseAction, window.manualAction,      window.recordAction,
            window.languageAction,    window.viewTermsAction,   window.viewOssNoticeAction,
            window.viewQtInfoAction,  window.viewLgplAction};
        QCOMPARE(created, expectedOrder);

        const QList<QAction *> checkable = {window.askSaveAction, window.askPasteAction,
                                            window.askDeleteAction, window.helpModeAction};
        for (QAction *a : expectedOrder)
            QCOMPARE(a->isCheckable(), checkable.contains(a));

        const QList<std::pair<QAction *, QKeySequence::StandardKey>> standard = {
            {window.newAction, QKeySequence::New},
            {window.openAction, QKeySequence::Open},
            {window.saveAction, QKeySequence::Save},
            {window.helpModeAction, QKeySequence::WhatsThis},
            {window.askHowToUseAction, QKeySequence::HelpContents},
        };
        // Save As has a key everywhere: the system's, else Ctrl+Shift+S.
        QList<QKeySequence> saveAsKeys = QKeySequence::keyBindings(QKeySequence::SaveAs);
        if (saveAsKeys.isEmpty())
            saveAsKeys = {QKeySequence(QStringLiteral("Ctrl+Shift+S"))};
        for (QAction *a : expectedOrder) {
            QList<QKeySequence> keys =
                a == window.saveAsAction ? saveAsKeys : QList<QKeySequence>();
            for (const auto &[action, key] : standard) {
                if (action == a)
                    keys = QKeySequence::keyBindings(key);
            }
            QCOMPARE(a->shortcuts(), keys);
        }
    }

    // The keys the manual promises reach their commands from the editor, and
    // the File menu shows them beside the commands.
    void fileKeys_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("action"); // in the File menu
        QTest::newRow("new") << "Ctrl+N" << 0;
        QTest::newRow("open") << "Ctrl+O" << 1;
        QTest::newRow("save") << "Ctrl+S" << 2;
        QTest::newRow("save as") << "Ctrl+Shift+S" << 3;
    }
    void fileKeys() {
        QFETCH(QString, keys);
        QFETCH(int, action);
        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.newProjectButton->click();
        QAction *target = window.fileMenu->actions().value(action);
        QVERIFY(target);
        // What the menu draws beside the command.
        QVERIFY2(target->shortcuts().contains(QKeySequence(keys)),
                 qPrintable(target->shortcut().toString()));
        // Disconnected, so no file dialog opens: only whether the key arrives.
        target->disconnect(&window);
        QSignalSpy triggered(target, &QAction::triggered);
        window.activateWindow();
        QTest::keySequence(&window, QKeySequence(keys));
        QCOMPARE(triggered.count(), 1);
    }

    void windowShortcuts() {
        tarnwick window;
        const QList<QKeySequence> expected = {
            QKeySequence(Qt::Key_Left),         QKeySequence(Qt::Key_Right),
            QKeySequence(Qt::CTRL | Qt::Key_D), QKeySequence(Qt::CTRL | Qt::Key_C),
            QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::CTRL | Qt::Key_Z),
            QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
        };
        QCOMPARE(window.shortcuts.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QShortcut *s = window.shortcuts.at(i);
            QCOMPARE(s->key(), expected.at(i));
            QCOMPARE(s->parent(), &window);
            QCOMPARE(s->context(), Qt::WindowShortcut);
        }
    }
    // The layout is fixed, so a text longer than its widget is cut off. Every
    // kind's pane is shown in both languages and each visible label and
    // button is measured with the font it is drawn in.
    void noTextIsClipped() {
        for (const bool japanese : {true, false}) {
            tarnwick window;
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            if (window.settings.is_japanese != japanese)
                window.toggleLanguage();
            window.newProjectButton->click();
            QStringList clipped;
            auto measure = [&](const QString &pane) {
                for (QWidget *w : window.findChildren<QWidget *>()) {
                    if (!w->isVisible())
                        continue;
                    QString text;
                    int room = w->width();
                    const QFontMetrics metrics(w->font());
                    if (auto *b = qobject_cast<QPushButton *>(w)) {
                        text = b->text();
                        room -= 8; // the frame and its padding
                    } else if (auto *l = qobject_cast<QLabel *>(w)) {
                        text = l->text();
                        if (l->wordWrap()) {
                            // Wrapped: too many lines are cut off at the bottom.
                            const int height =
                                metrics
                                    .boundingRect(QRect(0, 0, l->width(), 10000),
                                                  int(l->alignment()) | Qt::TextWordWrap, text)
                                    .height();
                            if (!text.isEmpty() && height > l->height())
                                clipped << QStringLiteral("%1: \"%2\" (%3 lines high > %4)")
                                               .arg(pane, text)
                                               .arg(height)
                                               .arg(l->height());
                            continue;
                        }
                    } else if (auto *c = qobject_cast<QComboBox *>(w)) {
                        // Every item, as the closed box shows it beside its arrow.
                        if (c->isEditable())
                            continue;
                        QStyleOptionComboBox option;
                        option.initFrom(c);
                        option.frame = c->hasFrame();
                        const int field = c->style()
                                              ->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, c)
                                              .width() -
                                          2;
                        for (int i = 0; i < c->count(); ++i) {
                            const int width = metrics.boundingRect(c->itemText(i)).width();
                            if (width > field)
                                clipped << QStringLiteral("%1: item \"%2\" (%3 > %4)")
                                               .arg(pane, c->itemText(i))
                                               .arg(width)
                                               .arg(field);
                        }
                        continue;
                    } else if (auto *list = qobject_cast<QListWidget *>(w)) {
                        const int margin =
                            2 * (list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 1);
                        const int field = list->viewport()->width() - margin;
                        for (int i = 0; i < list->count(); ++i) {
                            const QString item = list->item(i)->text();
                            const int width = metrics.boundingRect(item).width();
                            if (width > field)
                                clipped << QStringLiteral("%1: list item \"%2\" (%3 > %4)")
                                               .arg(pane, item)
                                               .arg(width)
                                               .arg(field);
                        }
                        continue;
                    }
                    if (text.isEmpty())
                        continue;
                    for (const QString &line : text.split(QLatin1Char('\n'))) {
                        // The ink, not the advance: a colon's trailing space
                        // may run past the edge unseen.
                        const int width = metrics.boundingRect(line).width();
                        if (width > room)
                            clipped << QStringLiteral("%1: \"%2\" (%3 > %4)")
                                           .arg(pane, line)
                                           .arg(width)
                                           .arg(room);
                    }
                }
                // Nor may a widget above it cover a label's text.
                const QList<QWidget *> stack =
                    window.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
                for (int i = 0; i < stack.size(); ++i) {
                    auto *l = qobject_cast<QLabel *>(stack.at(i));
                    if (!l || !l->isVisible() || l->text().isEmpty() || l->wordWrap())
                        continue;
                    const QFontMetrics metrics(l->font());
                    const QStringList lines = l->text().split(QLatin1Char('\n'));
                    int ink = 0;
                    for (const QString &line : lines)
                        ink = std::max(ink, metrics.boundingRect(line).width());
                    const QRect text = QStyle::alignedRect(
                        l->layoutDirection(), l->alignment(),
                        QSize(std::min(ink, l->width()),
                              std::min(int(metrics.height() * lines.size()), l->height())),
                        l->geometry());
                    for (int j = i + 1; j < stack.size(); ++j) {
                        QWidget *above = stack.at(j);
                        // Frames and labels draw no background of their own.
                        if (above->isVisible() && !qobject_cast<QGroupBox *>(above) &&
                            !qobject_cast<QLabel *>(above) && above->geometry().intersects(text))
                            clipped
                                << QStringLiteral("%1: \"%2\" under a %3")
                                       .arg(pane, l->text(),
                                            QString::fromLatin1(above->metaObject()->className()));
                    }
                }
            };
            for (const pagekinds::Kind &kind : pagekinds::commands()) {
                window.document->setCurrentCommand(kind.fresh(QTime(9, 30)));
                window.refreshPage();
                measure(kind.english);
            }
            for (const pagekinds::Kind &kind : pagekinds::conditions()) {
                window.document->setCurrentCondition(kind.fresh(QTime(9, 30)));
                window.refreshPage();
                measure(kind.english);
            }
            // The key prompt, on either side, while a key is being captured.
            for (const bool condition : {false, true}) {
                const QStringList key = pagekinds::find(condition ? pagekinds::Side::Condition
                                                                  : pagekinds::Side::Command,
                                                        pagekinds::name::key())
                                            ->fresh(QTime(9, 30));
                condition ? window.document->setCurrentCondition(key)
                          : window.document->setCurrentCommand(key);
                window.refreshPage();
                window.setKeyCaptureMode(true, condition);
                measure(condition ? QStringLiteral("key prompt, condition")
                                  : QStringLiteral("key prompt, command"));
                window.setKeyCaptureMode(false, false);
            }
            // The screen pages show other fields by where they look, and
            // the jump a note where its template would be.
            const QString png =
                QString::fromLatin1(templatePng(QImage(64, 48, QImage::Format_RGB32)).toBase64());
            const QList<std::pair<QString, QStringList>> screenPages = {
                {pagekinds::name::imageJump(), {pagekinds::areaRectangle, png}},
                {pagekinds::name::imageJump(), {pagekinds::areaWindow, png}},
                {pagekinds::name::image(), {pagekinds::areaRectangle, png}},
                {pagekinds::name::image(), {pagekinds::areaWindow, png}},
                {pagekinds::name::colour(), {pagekinds::areaWindow, QString()}},
            };
            for (const auto &[stored, variant] : screenPages) {
                const bool command = stored == pagekinds::name::imageJump();
                const pagekinds::Kind *kind = pagekinds::find(
                    command ? pagekinds::Side::Command : pagekinds::Side::Condition, stored);
                QStringList record = kind->fresh(QTime(9, 30));
                record[4] = variant.at(0);
                if (!variant.at(1).isEmpty())
                    record[11] = variant.at(1);
                command ? window.document->setCurrentCommand(record)
                        : window.document->setCurrentCondition(record);
                window.refreshPage();
                measure(kind->english + QLatin1Char(' ') + variant.at(0));
            }
            clipped.removeDuplicates();
            QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QLatin1Char('\n'))));
        }
    }
};

QTEST_MAIN(MainWindowLayoutTest)
#include "gui_mainwindow_layout.moc"
