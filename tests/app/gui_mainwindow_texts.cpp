// Both languages for every text of the main window, switching back and forth,
// Help Mode's 30 tooltips, and the first-run welcome that turns Help Mode on.

#include "app/tarnwick.h"
#include "app/uitexts.h"
#include "core/pagekinds.h"
#include "support/modalhelper.h"
#include "support/testconfig.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <functional>

namespace {

using TextOf = std::function<QString(tarnwick &)>;

struct TextRow {
    const char *name;
    TextOf text;
    QString ja;
    QString en;
};

#define TITLE(m) #m, [](tarnwick & t) { return t.m->title(); }
#define TEXT(m) #m, [](tarnwick & t) { return t.m->text(); }
#define ITEM(m, i) #m "[" #i "]", [](tarnwick & t) { return t.m->itemText(i); }

// Texts outside the editor's own writing (page list, counter, labels).
const QList<TextRow> &textRows() {
    static const QList<TextRow> rows = {
        {TITLE(operationGroup), "操作", "Operation"},
        {TITLE(conditionGroup), "条件", "Condition"},
        {TITLE(pageGroup), "ページ", "Page"},
        {TEXT(newProjectButton), "新しいプロジェクトを作成", "Create New Project"},
        {TEXT(loadProjectButton), "プロジェクトを読み込む", "Load Project"},
        {TEXT(languageButton), "English", "日本語"},
        {TEXT(addCommandButton), "追加", "Add"},
        {TEXT(addConditionButton), "追加", "Add"},
        {TEXT(testButton), "テスト", "Test"},
        {TEXT(commandSecLabel), "秒", "sec"},
        {TEXT(conditionSecLabel), "秒", "sec"},
        {TEXT(prevPageButton), "←", "←"},
        {TEXT(runButton), "実行", "Run"},
        {TEXT(nextPageButton), "→", "→"},
        {TEXT(deleteButton), "削除", "Delete"},
        {TEXT(undoButton), "元に戻す", "Undo"},
        {TEXT(redoButton), "やり直し", "Start over"},
        {TEXT(copyButton), "コピー", "Copy"},
        {TEXT(pasteButton), "ペースト", "Paste"},
        {TEXT(coordXLabel), "X:", "X:"},
        {TEXT(coordXLabel2), "X:", "X:"},
        {TEXT(coordYLabel), "Y:", "Y:"},
        {TEXT(coordYLabel2), "Y:", "Y:"},
        {TEXT(coordGetButton), "取得", "Get"},
        {TEXT(coordGetButton2), "取得", "Get"},
        {TEXT(clockColonLabel), ":", ":"},
        {ITEM(commandCombo, 0), "なし", "None"},
        {ITEM(commandCombo, 1), "クリック", "Click"},
        {ITEM(commandCombo, 2), "マウスポインター", "Mouse Pointer"},
        {ITEM(commandCombo, 3), "スムーズムーブ", "Smooth Move"},
        {ITEM(commandCombo, 4), "キー", "Key"},
        {ITEM(commandCombo, 5), "入力", "Enter Text"},
        {ITEM(commandClickCombo, 0), "左", "Left"},
        {ITEM(commandClickCombo, 1), "右", "Right"},
        {ITEM(conditionClickCombo, 0), "左", "Left"},
        {ITEM(conditionClickCombo, 1), "右", "Right"},
        {ITEM(conditionCombo, 0), "終わるまで待つ", "Wait until over"},
        {ITEM(conditionCombo, 1), "時間", "Time"},
        {ITEM(conditionCombo, 2), "即時", "Immediately"},
        {ITEM(conditionCombo, 3), "クリック", "Click"},
        {ITEM(conditionCombo, 4), "キー", "Key"},
        {ITEM(conditionCombo, 5), "時刻", "Clock Time"},
        {TITLE(fileMenu), "ファイル", "File"},
        {TITLE(reportMenu), "報告", "Report"},
        {TITLE(settingsMenu), "設定", "Settings"},
        {TITLE(versionMenu), "バージョン", "Version"},
        {TITLE(helpMenu), "ヘルプ", "Help"},
        {TITLE(otherMenu), "その他", "Other"},
        {TEXT(newAction), "新規作成", "New"},
        {TEXT(openAction), "開く", "Open"},
        {TEXT(saveAsAction), "名前を付けて保存", "Save As"},
        {TEXT(saveAction), "上書き保存", "Save"},
        {TEXT(reportBugAction), "バグを報告", "Report a Bug"},
        {TEXT(suggestAction), "改善案を報告", "Suggest an Improvement"},
        {TEXT(needReplyAction), "返信が必要な場合", "Need a Reply"},
        {TEXT(askSaveAction), "ファイルを保存するか確認する", "Ask Before Saving File"},
        {TEXT(askPasteAction), "ページにペーストするか確認する", "Ask Before Pasting to Page"},
        {TEXT(askDeleteAction), "ページを削除するか確認する", "Ask Before Deleting Page"},
        {TEXT(versionInfoAction), "バージョン情報", "Version Information"},
        {TEXT(helpModeAction), "ヘルプモード", "Help Mode"},
        {TEXT(askHowToUseAction), "使い方を質問する", "Ask How to Use"},
        {TEXT(languageAction), "English", "日本語"},
        {TEXT(viewTermsAction), "利用規約を見る", "View 利用規約"},
        {TEXT(viewOssNoticeAction), "オープンソースソフトウェアに関する告知を見る",
         "View オープンソースソフトウェアに関する告知"},
        {TEXT(viewQtInfoAction), "Qtライブラリの差替え又は再インストールに関する情報を見る",
         "View Qtライブラリの差替え又は再インストールに関する情報"},
        {TEXT(viewLgplAction), "LGPLv3のライセンス文章を見る", "View LGPLv3のライセンス文章"},
    };
    return rows;
}

// The placeholders that the editor overwrites once it is open.
const QList<TextRow> &placeholderRows() {
    static const QList<TextRow> rows = {
        {TEXT(commandLabel), "X", "X"},
        {TEXT(conditionLabel), "時間", "Time"},
        {TEXT(pageCountLabel), "1/1", "1/1"},
    };
    return rows;
}

#undef TITLE
#undef TEXT
#undef ITEM

struct TipRow {
    const char *name;
    std::function<QWidget *(tarnwick &)> widget;
    QString ja;
    QString en;
};

#define TIP(m) #m, [](tarnwick & t) -> QWidget * { return t.m; }

// Both languages of a tip, as the two last members of a row.
#define TIP_TEXTS(text) (text).in(true), (text).in(false)

const QString coordXJa = QStringLiteral(
    "マウスポインターのX座標です。\n自分で入力するか「取得」ボタンで簡単に取得できます。");
const QString coordXEn = QStringLiteral(
    "The X coordinate of the mouse pointer.\nYou can enter it manually or easily get it with the "
    "\"Get\" button.");
const QString coordYJa = QStringLiteral(
    "マウスポインターのY座標です。\n自分で入力するか「取得」ボタンで簡単に取得できます。");
const QString coordYEn = QStringLiteral(
    "The Y coordinate of the mouse pointer.\nYou can enter it manually or easily get it with the "
    "\"Get\" button.");
const QString getJa = QStringLiteral("マウスポインターの座標を簡単に取得できます。");
const QString getEn = QStringLiteral("Easily gets the mouse pointer coordinates.");
const QString clickJa = QStringLiteral("クリックの種類を右か左で設定します。");
const QString clickEn = QStringLiteral("Sets the click type to either right or left.");

// The Help Mode lines of the kinds after the first six of a side, each
// followed (commands) or led (conditions) by a line break.
QString laterKinds(pagekinds::Side side, bool japanese) {
    QString out;
    const QList<pagekinds::Kind> &rows = pagekinds::all(side);
    for (int i = 6; i < rows.size(); ++i) {
        const QString line = rows.at(i).help.in(japanese);
        out +=
            side == pagekinds::Side::Command ? line + QLatin1Char('\n') : QLatin1Char('\n') + line;
    }
    return out;
}
// The seconds' lines of the commands after the first six, each followed by a
// line break.
QString laterSeconds(bool japanese) {
    QString out;
    const QList<pagekinds::Kind> &rows = pagekinds::commands();
    for (int i = 6; i < rows.size(); ++i) {
        if (!rows.at(i).secondsHelp.japanese().isEmpty())
            out += rows.at(i).secondsHelp.in(japanese) + QLatin1Char('\n');
    }
    return out;
}
const pagekinds::Side commands = pagekinds::Side::Command;
const pagekinds::Side conditions = pagekinds::Side::Condition;

const QList<TipRow> &tipRows() {
    static const QList<TipRow> rows = {
        {TIP(commandCombo),
         "追加する操作を指定します。\nなし:何も行われません、条件のみを指定する場合に使用します。\n"
         "クリック:時間を指定してクリックします。\n"
         "マウスポインター:マウスポインターを指定の座標に移動します。\n"
         "スムーズムーブ:"
         "実行時のマウスポインターから指定の座標に時間を指定してスムーズに移動します。\n"
         "キー:時間を指定して単一または複数のキーを入力します。\n"
         "入力:指定の時間をかけて文章全体を入力します。（日本語対応）\n" +
             laterKinds(commands, true) +
             "「クリック」「スムーズムーブ」「キー」は操作が実行中でも次の操作に進みます、"
             "条件で時間を指定して調整してください。\n"
             "操作を追加す場合は右の「追加」ボタンを押してください。",
         "Select the action to add.\nNone: Does nothing. Use this when you want to specify only a "
         "condition.\nClick: Clicks for the specified amount of time.\nMouse Pointer: Moves the "
         "mouse pointer to the specified coordinates.\nSmooth Move: Smoothly moves the mouse "
         "pointer from its current position at runtime to the specified coordinates over the "
         "specified amount of time.\nKey: Presses one or more keys for the specified amount of "
         "time.\nInput: Types text, spreading the specified time over the whole text. (Supports "
         "Japanese)\n" +
             laterKinds(commands, false) +
             "\"Click\", \"Smooth Move\", and \"Key\" proceed to the next action even while the "
             "operation is still running. Adjust the timing by setting a condition.\nTo add the "
             "action, press the \"Add\" button on the right."},
        {TIP(addCommandButton), "右のメニューで設定した操作を追加します。",
         "Adds the action configured in the menu on the right."},
        {TIP(testButton), "設定している座標にマウスポインターを移動します。",
         "Moves the mouse pointer to the configured coordinates."},
        {TIP(commandLabel), "設定中の操作です。", "The action currently being configured."},
        {TIP(inputTextEdit), "入力する文章を設定します。（日本語対応）",
         "Sets the text to input. (Supports Japanese)"},
        {TIP(commandClickCombo), clickJa, clickEn},
        {TIP(conditionClickCombo), clickJa, clickEn},
        {TIP(commandTimeSpin),
         "時間を指定します。\n操作によって意味が変わります。\nクリック:"
         "クリックする時間を指定します。\n"
         "スムーズムーブ:マウスポインターが指定した座標に着くまでにかかる時間を指定します。\n"
         "キー:キーを入力する時間を指定します。\n"
         "入力:文章全体を入力するのにかかる時間を指定します。\n" +
             laterSeconds(true) + "単位は秒です。",
         "Specifies the time.\nIts meaning depends on the action.\nClick: Specifies the duration "
         "of the click.\nSmooth Move: Specifies the time it takes for the mouse pointer to reach "
         "the specified coordinates.\nKey: Specifies the duration for pressing the key(s).\n"
         "Input: Specifies the time it takes to type the whole text.\n" +
             laterSeconds(false) + "The unit is seconds."},
        {TIP(conditionCombo),
         "追加する条件を指定します。\n"
         "終わるまで待つ:操作が終わるまで待ってから、次の操作に進みます。\n"
         "時間:次の操作に進むまでの時間を指定します。\n即時:何も待たずに次の操作に進みます。\n"
         "クリック:クリックされた時に次の操作に進みます。\n"
         "キー:単一または複数のキーを指定して、それが入力された時に次の操作に進みます。\n"
         "時刻:次の操作に進む時刻を設定します。" +
             laterKinds(conditions, true),
         "Select the condition to add.\nWait until over: Wait until the current command finishes "
         "before proceeding to the next command.\nTime: Specifies how long to wait before "
         "proceeding to the next action.\nImmediate: Proceeds to the next action without "
         "waiting.\nClick: Clicking will proceed to the next command.\nKey: Specify one or more "
         "keys, and proceed to the next action when they are pressed.\nClock Time:Set the time "
         "to proceed to the next command." +
             laterKinds(conditions, false)},
        {TIP(addConditionButton), "右のメニューで設定した条件を追加します。",
         "Adds the condition configured in the menu on the right."},
        {TIP(conditionLabel), "設定中の条件です。", "The condition currently being configured."},
        {TIP(conditionTimeSpin),
         "時間を指定します。\n条件によって意味が変わります。\n"
         "時間:次の操作に進むまでの時間を指定します。\n"
         "終わるまで待つ:操作が終わってから、次の操作に進むまでの時間を指定します。",
         "Specifies the time.\nThe meaning changes depending on the condition.\nTime: Specifies "
         "the time before proceeding to the next operation.\nWait until over: Specifies the time "
         "after the operation finishes before proceeding to the next operation."},
        {TIP(prevPageButton), "前のページに戻ります。(左矢印キー)",
         "Returns to the previous page.(Left arrow key)"},
        {TIP(runButton), "現在のプロジェクトを実行します。", "Runs the current project."},
        {TIP(nextPageButton), "次のページに進みます。(右矢印キー)",
         "Advances to the next page.(Right arrow key)"},
        {TIP(deleteButton), "現在のページを削除します。(Ctrl + D)",
         "Deletes the current page.(Ctrl + D)"},
        {TIP(pageCountLabel), "すべてのページの数と現在のページです。",
         "Shows the total number of pages and the current page."},
        {TIP(pageList), "押したページに飛びます、「+」を押すと「+」の位置にページを追加できます。",
         "Jump to the page you click. Press \"+\" to add a page at the position of \"+\"."},
        {TIP(copyButton), "現在のページをコピーします。(Ctrl + C)",
         "Copies the current page.(Ctrl + C)"},
        {TIP(pasteButton), "コピーしたのページをペーストします。(Ctrl + V)",
         "Pastes the copied page.(Ctrl + V)"},
        {TIP(coordXSpin), coordXJa, coordXEn},
        {TIP(coordYSpin), coordYJa, coordYEn},
        {TIP(coordGetButton), getJa, getEn},
        {TIP(coordXSpin2), coordXJa, coordXEn},
        {TIP(coordYSpin2), coordYJa, coordYEn},
        {TIP(coordGetButton2), getJa, getEn},
        {TIP(clockHourSpin), "操作が次へ進む時刻の設定です。何時かを設定します。",
         "This is where you set the time for the command to advance to the next step. Set the "
         "time."},
        {TIP(clockMinuteSpin), "操作が次へ進む時刻の設定です。何分かを設定します。",
         "This sets the time for the command to advance to the next step. You can set the number "
         "of minutes."},
        {TIP(undoButton), "1つ前の状態に戻します。(Ctrl + Z)",
         "Revert to the previous state.(Ctrl + Z)"},
        {TIP(redoButton), "戻した状態を戻します。(Ctrl + Y)(Ctrl + Shift + Z)",
         "Revert the state to its original condition.(Ctrl + Y)(Ctrl + Shift + Z)"},
        // The window pages' fields, one set per side.
        {TIP(windowTitleCombo), TIP_TEXTS(uitexts::tipWindowTitle)},
        {TIP(windowModeCombo), TIP_TEXTS(uitexts::tipWindowMode)},
        {TIP(windowProgramEdit), TIP_TEXTS(uitexts::tipWindowProgram)},
        {TIP(windowMatchLabel), TIP_TEXTS(uitexts::tipWindowMatches)},
        {TIP(conditionWindowTitleCombo), TIP_TEXTS(uitexts::tipWindowTitle)},
        {TIP(conditionWindowModeCombo), TIP_TEXTS(uitexts::tipWindowMode)},
        {TIP(conditionWindowProgramEdit), TIP_TEXTS(uitexts::tipWindowProgram)},
        {TIP(conditionWindowMatchLabel), TIP_TEXTS(uitexts::tipWindowMatches)},
        {TIP(windowStateCombo), TIP_TEXTS(uitexts::tipWindowState)},
        // The screen pages' fields.
        {TIP(commandImage.area), TIP_TEXTS(uitexts::tipScreenArea)},
        {TIP(commandImage.threshold), TIP_TEXTS(uitexts::tipThreshold)},
        {TIP(commandImage.fromScreen), TIP_TEXTS(uitexts::tipTemplateFromScreen)},
        {TIP(commandImage.fromFile), TIP_TEXTS(uitexts::tipTemplateFromFile)},
        {TIP(commandImage.preview), TIP_TEXTS(uitexts::tipTemplatePreview)},
        {TIP(conditionImage.area), TIP_TEXTS(uitexts::tipScreenArea)},
        {TIP(conditionImage.threshold), TIP_TEXTS(uitexts::tipThreshold)},
        {TIP(conditionImage.fromScreen), TIP_TEXTS(uitexts::tipTemplateFromScreen)},
        {TIP(conditionImage.fromFile), TIP_TEXTS(uitexts::tipTemplateFromFile)},
        {TIP(conditionImage.preview), TIP_TEXTS(uitexts::tipTemplatePreview)},
        {TIP(lookSecondsSpin), TIP_TEXTS(uitexts::tipLookSeconds)},
        {TIP(offsetXSpin), TIP_TEXTS(uitexts::tipJumpOffset)},
        {TIP(offsetYSpin), TIP_TEXTS(uitexts::tipJumpOffset)},
        {TIP(colourAreaCombo), TIP_TEXTS(uitexts::tipScreenArea)},
        {TIP(colourXSpin), coordXJa, coordXEn},
        {TIP(colourYSpin), coordYJa, coordYEn},
        {TIP(colourGetButton), TIP_TEXTS(uitexts::tipColourHex)},
        {TIP(colourHexEdit), TIP_TEXTS(uitexts::tipColourHex)},
        {TIP(colourStateCombo), TIP_TEXTS(uitexts::tipColourState)},
        {TIP(toleranceSpin), TIP_TEXTS(uitexts::tipTolerance)},
    };
    return rows;
}

#undef TIP
#undef TIP_TEXTS

const QString welcomeText = QStringLiteral(
    "ダウンロードありがとうございます。\n現在はヘルプモードがONになっています。\n"
    "意味を知りたいボタンや文字などにカーソルを合わせると説明が表示されます。\n"
    "説明を表示しないようにするにはメニューバーの「ヘルプ」で設定できます。\n\n"
    "Thank you for download.\nHelp mode is currently ON.\n"
    "Hover your cursor over buttons or text you want to know the meaning of,\n"
    "and an explanation will be displayed.\n"
    "You can disable the explanation display in the \"Help\" menu in the menu bar.\n"
    "You can switch to \"English mode\" by pressing the button labeled \"English\".");

// Everything a language switch could disturb, for before/after comparisons.
QStringList snapshot(tarnwick &t) {
    QStringList s;
    for (const TextRow &r : textRows())
        s << r.text(t);
    for (const TextRow &r : placeholderRows())
        s << r.text(t);
    for (QWidget *w : t.findChildren<QWidget *>())
        s << w->toolTip();
    for (QComboBox *c : t.findChildren<QComboBox *>())
        s << QString::number(c->currentIndex()) << QString::number(c->count());
    s << QString::number(t.commandTimeSpin->value()) << QString::number(t.coordYSpin->value());
    return s;
}

} // namespace

class MainWindowTextsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { testsupport::writeTestConfig(); }

    void texts_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < textRows().size(); ++i)
            QTest::newRow(textRows().at(i).name) << i;
    }
    // The window opens in Japanese; the start page's language button
    // switches every text to English and back.
    void texts() {
        QFETCH(int, row);
        const TextRow &r = textRows().at(row);
        tarnwick window;
        QVERIFY(window.settings.is_japanese);
        QCOMPARE(r.text(window), r.ja);
        window.languageButton->click();
        QVERIFY(!window.settings.is_japanese);
        QCOMPARE(r.text(window), r.en);
        window.languageButton->click();
        QVERIFY(window.settings.is_japanese);
        QCOMPARE(r.text(window), r.ja);
    }

    void placeholderTextsOnTheStartPage() {
        tarnwick window;
        window.languageAction->trigger();
        QVERIFY(!window.settings.is_japanese);
        for (const TextRow &r : placeholderRows())
            QCOMPARE(r.text(window), r.en);
        window.languageAction->trigger();
        for (const TextRow &r : placeholderRows())
            QCOMPARE(r.text(window), r.ja);
    }

    void englishConfigurationOpensInEnglish() {
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_japanese", false}});
        tarnwick window;
        QVERIFY(!window.settings.is_japanese);
        for (const TextRow &r : textRows())
            QCOMPARE(r.text(window), r.en);
    }

    // The start page stays the start page; nothing but texts changes.
    void switchingOnTheStartPage() {
        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.languageButton->click();
        QCOMPARE(window.newProjectButton->text(), QStringLiteral("Create New Project"));
        QCOMPARE(window.loadProjectButton->text(), QStringLiteral("Load Project"));
        QCOMPARE(window.languageButton->text(), QStringLiteral("日本語"));
        QVERIFY(!window.editorOpen);
        QVERIFY(window.newProjectButton->isVisible());
        QVERIFY(!window.commandCombo->isVisible());
        QVERIFY(!window.operationGroup->isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick Free"));
    }

    // Whatever widget, menu or action the window gains, its text follows the
    // language: in English with Help Mode on, nothing the user can see is
    // Japanese but the button that names the other language and the licence
    // documents' own (Japanese) names after "View".
    void noJapaneseLeftInEnglish() {
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_help", true}});
        tarnwick window;
        window.languageButton->click();
        window.newProjectButton->click();
        QVERIFY(window.editorOpen && !window.settings.is_japanese);
        auto japanese = [](const QString &text) {
            for (const QChar c : text) {
                const char16_t u = c.unicode();
                if ((u >= 0x3000 && u <= 0x9FFF) || (u >= 0xFF00 && u <= 0xFFEF))
                    return true;
            }
            return false;
        };
        QStringList left;
        auto check = [&](const QObject *owner, const QString &text) {
            if (japanese(text) && text != QStringLiteral("日本語") &&
                !text.startsWith(QStringLiteral("View ")))
                left << owner->metaObject()->className() + QStringLiteral(": ") + text;
        };
        for (QWidget *w : window.findChildren<QWidget *>()) {
            check(w, w->toolTip());
            if (auto *b = qobject_cast<QAbstractButton *>(w))
                check(b, b->text());
            if (auto *l = qobject_cast<QLabel *>(w))
                check(l, l->text());
            if (auto *g = qobject_cast<QGroupBox *>(w))
                check(g, g->title());
            if (auto *m = qobject_cast<QMenu *>(w))
                check(m, m->title());
            if (auto *c = qobject_cast<QComboBox *>(w))
                for (int i = 0; i < c->count(); ++i)
                    check(c, c->itemText(i));
            if (auto *list = qobject_cast<QListWidget *>(w))
                for (int i = 0; i < list->count(); ++i)
                    check(list, list->item(i)->text());
        }
        for (QAction *a : window.findChildren<QAction *>()) {
            check(a, a->text());
            check(a, a->toolTip());
        }
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char('\n'))));
    }

    // Items are renamed in place: selections stay and no change is signalled.
    void switchingTwiceRestoresEverything() {
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_help", true}});
        tarnwick window;
        window.commandCombo->setCurrentIndex(3);
        window.conditionCombo->setCurrentIndex(5);
        window.commandClickCombo->setCurrentIndex(1);
        window.commandTimeSpin->setValue(2.5);
        window.coordYSpin->setValue(99999999);
        const QStringList before = snapshot(window);

        QList<QSignalSpy *> spies;
        for (QComboBox *c : window.findChildren<QComboBox *>())
            spies << new QSignalSpy(c, &QComboBox::currentIndexChanged);
        window.languageButton->click();
        QCOMPARE(window.commandCombo->currentIndex(), 3);
        QCOMPARE(window.commandCombo->currentText(), QStringLiteral("Smooth Move"));
        QCOMPARE(window.conditionCombo->currentText(), QStringLiteral("Clock Time"));
        QCOMPARE(window.commandClickCombo->currentText(), QStringLiteral("Right"));
        QVERIFY(snapshot(window) != before);
        window.languageButton->click();
        for (QSignalSpy *spy : spies)
            QCOMPARE(spy->count(), 0);
        qDeleteAll(spies);
        QCOMPARE(snapshot(window), before);
    }

    void helpModeTooltips_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < tipRows().size(); ++i)
            QTest::newRow(tipRows().at(i).name) << i;
    }
    void helpModeTooltips() {
        QFETCH(int, row);
        const TipRow &r = tipRows().at(row);
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_help", true}});
        tarnwick window;
        QWidget *w = r.widget(window);
        QVERIFY(window.helpModeAction->isChecked());
        QCOMPARE(w->toolTip(), r.ja);
        window.languageButton->click();
        QCOMPARE(w->toolTip(), r.en);

        window.helpModeAction->trigger(); // off
        QVERIFY(!window.settings.is_help);
        QVERIFY(w->toolTip().isEmpty());
        window.languageButton->click();
        QVERIFY(w->toolTip().isEmpty());

        window.helpModeAction->trigger(); // on again, now in Japanese
        QVERIFY(window.settings.is_help);
        QCOMPARE(w->toolTip(), r.ja);
    }

    // Only the widgets of Help Mode ever carry a tooltip, and with Help
    // Mode off none does.
    void noOtherTooltips() {
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_help", true}});
        tarnwick window;
        QList<QWidget *> tipped;
        for (const TipRow &r : tipRows())
            tipped << r.widget(window);
        for (QWidget *w : window.findChildren<QWidget *>()) {
            if (!tipped.contains(w))
                QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->metaObject()->className()));
            else
                QVERIFY(!w->toolTip().isEmpty());
        }
        window.helpModeAction->trigger();
        for (QWidget *w : window.findChildren<QWidget *>())
            QVERIFY(w->toolTip().isEmpty());
    }

    void helpModeOffByDefault() {
        tarnwick window;
        QVERIFY(!window.settings.is_help);
        QVERIFY(!window.helpModeAction->isChecked());
        for (const TipRow &r : tipRows())
            QVERIFY(r.widget(window)->toolTip().isEmpty());
    }

    // On the very first start a greeting comes before the window and turns
    // Help Mode on; a saved configuration remembers it was shown.
    void welcomeOnFirstStartOnly() {
        testsupport::removeTestConfig();
        testsupport::ModalAnswerer answerer;
        bool windowVisibleDuringBox = true;
        answerer.act([&](QWidget *box) {
            windowVisibleDuringBox = false;
            for (QWidget *top : QApplication::topLevelWidgets()) {
                if (qobject_cast<tarnwick *>(top) && top->isVisible())
                    windowVisibleDuringBox = true;
            }
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
        {
            tarnwick window;
            QCOMPARE(answerer.count(), 1);
            const testsupport::SeenBox box = answerer.last();
            QCOMPARE(box.title, QStringLiteral("はじめまして"));
            QCOMPARE(box.text, welcomeText);
            QCOMPARE(box.icon, QMessageBox::Information);
            QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
            QVERIFY(!windowVisibleDuringBox);

            QVERIFY(window.settings.is_used_this);
            QVERIFY(window.settings.is_help);
            QVERIFY(window.helpModeAction->isChecked());
            QCOMPARE(window.commandCombo->toolTip(), tipRows().at(0).ja);
            window.show();
            QVERIFY(window.close());
        }
        {
            tarnwick again;
            QCOMPARE(answerer.count(), 1);
            QVERIFY(again.settings.is_help);
            QVERIFY(again.helpModeAction->isChecked());
        }
    }
};

QTEST_MAIN(MainWindowTextsTest)
#include "gui_mainwindow_texts.moc"
