// The window's life: the switch to the editor, the title, the unsaved rule,
// the close question, the settings actions, the redo shortcuts and what the
// destructor leaves behind.

#include "app/tarnwick.h"
#include "capture/keycapture.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <functional>

namespace {

QString desktop() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

QByteArray configBytes() {
    QFile f(testsupport::testConfigPath());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QJsonObject configObject() {
    return QJsonDocument::fromJson(configBytes()).object();
}

// A project one edit away from its saved state.
void makeDirty(tarnwick &window) {
    window.document->setCommandAt(
        0, QStringList{QStringLiteral("入力"), QStringLiteral("abc"), QStringLiteral("0.1")});
}

} // namespace

class MainWindowLifecycleTest : public QObject {
    Q_OBJECT

private slots:
    void init() { testsupport::writeTestConfig(); }

    void freshWindow() {
        tarnwick window;
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick Free"));
        QCOMPARE(window.document->listCommand(), PageList({{"なし"}}));
        QCOMPARE(window.document->listCondition(), PageList({{"終わるまで待つ", "0.1"}}));
        QCOMPARE(window.document->listCommandHistory(),
                 QList<PageList>({window.document->listCommand()}));
        QCOMPARE(window.document->listConditionHistory(),
                 QList<PageList>({window.document->listCondition()}));
        QCOMPARE(window.document->historyIndex(), 0);
        QCOMPARE(window.document->currentPage(), 1);
        QVERIFY(!window.isProjectDirty());
        QVERIFY(!window.editorOpen);
        QCOMPARE(window.document->filePath(), desktop());
    }

    void newProjectOpensTheEditor() {
        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.newProjectButton->click();

        QVERIFY(window.editorOpen);
        QVERIFY(!window.newProjectButton->isVisible());
        QVERIFY(!window.loadProjectButton->isVisible());
        QVERIFY(!window.languageButton->isVisible());
        // What the editor shows for any page; the page's own widgets (the
        // seconds labels among them) are the refresh's to decide.
        const QList<QWidget *> editor = {
            window.commandLabel,      window.conditionCombo, window.commandCombo,
            window.addCommandButton,  window.runButton,      window.nextPageButton,
            window.pageCountLabel,    window.conditionLabel, window.addConditionButton,
            window.conditionTimeSpin, window.operationGroup, window.conditionGroup,
            window.pageList,          window.pageGroup,      window.copyButton};
        for (int i = 0; i < editor.size(); ++i)
            QVERIFY2(editor.at(i)->isVisible(), qPrintable(QString::number(i)));
        QVERIFY(window.menuBar()->isVisible());
        QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト"));

        // The title does not follow the interface language.
        window.languageAction->trigger();
        QCOMPARE(window.windowTitle(), QStringLiteral("新規プロジェクト"));
        QCOMPARE(window.runButton->text(), QStringLiteral("Run"));
    }

    void titleForPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("title");
        QTest::newRow("desktop") << desktop() << "新規プロジェクト";
        QTest::newRow("desktop with a trailing slash") << desktop() + "/"
                                                       << "新規プロジェクト";
        QTest::newRow("file") << "/tmp/work/clicks.cmdat"
                              << "clicks";
        QTest::newRow("up to the first dot") << "/tmp/work/a.b.cmdat"
                                             << "a";
        QTest::newRow("japanese name") << "/tmp/作業/手順.cmdat"
                                       << "手順";
    }
    void titleForPath() {
        QFETCH(QString, path);
        QFETCH(QString, title);
        tarnwick window;
        window.document->setFilePath(path);
        QCOMPARE(window.windowTitleForPath(), title);
    }

    // The saved copies decide, not a flag: returning to them is clean again.
    void unsavedRule() {
        tarnwick window;
        QVERIFY(!window.isProjectDirty());
        makeDirty(window);
        QVERIFY(window.isProjectDirty());
        ProjectDocument &doc = *window.document;
        doc.setPages(doc.savedListCommand(), doc.listCondition());
        QVERIFY(!window.isProjectDirty());
        doc.setConditionAt(0, {QStringLiteral("終わるまで待つ"), QStringLiteral("0.2")});
        QVERIFY(window.isProjectDirty());
        doc.setConditionAt(0, {QStringLiteral("終わるまで待つ"), QStringLiteral("0.1")});
        QVERIFY(!window.isProjectDirty());
        doc.insertPages(1, {Page{{QStringLiteral("なし")}, {QStringLiteral("即時")}}});
        QVERIFY(window.isProjectDirty());
    }

    void closeQuestion_data() {
        QTest::addColumn<bool>("dirty");
        QTest::addColumn<bool>("ask");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        const int yes = QMessageBox::Yes, no = QMessageBox::No, esc = QMessageBox::Escape;
        QTest::newRow("saved project") << false << true << true << no << false << true;
        QTest::newRow("unsaved, yes") << true << true << true << yes << true << true;
        QTest::newRow("unsaved, no") << true << true << true << no << true << false;
        QTest::newRow("unsaved, box closed") << true << true << true << esc << true << false;
        QTest::newRow("unsaved, english, no") << true << true << false << no << true << false;
        QTest::newRow("unsaved, question off") << true << false << true << no << false << true;
    }
    void closeQuestion() {
        QFETCH(bool, dirty);
        QFETCH(bool, ask);
        QFETCH(bool, japanese);
        QFETCH(int, answer);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        testsupport::writeTestConfig({{"is_used_this", true}, {"is_japanese", japanese}});
        testsupport::ModalAnswerer answerer;
        if (answer != QMessageBox::Escape)
            answerer.answer(QMessageBox::StandardButton(answer));

        tarnwick window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.newProjectButton->click();
        if (dirty)
            makeDirty(window);
        if (window.askSaveAction->isChecked() != ask)
            window.askSaveAction->trigger();
        // A flag changed since the start reaches the file only on an accepted close.
        window.askPasteAction->trigger();
        const QByteArray before = configBytes();

        QCOMPARE(window.close(), closed);
        QCOMPARE(answerer.count(), asked ? 1 : 0);
        QCOMPARE(window.isVisible(), !closed);
        if (asked) {
            const testsupport::SeenBox box = answerer.last();
            QCOMPARE(box.icon, QMessageBox::Warning);
            QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
            QCOMPARE(box.defaultButton, QMessageBox::No);
            QCOMPARE(box.title, japanese ? QStringLiteral("最終確認") : QStringLiteral("Warning"));
            QCOMPARE(box.text,
                     japanese
                         ? QStringLiteral("プロジェクトが保存されていません。\n終了しますか？")
                         : QStringLiteral("The project has not been saved.\nDo you want to exit?"));
            QCOMPARE(window.messageTitle, box.title);
            QCOMPARE(window.messageText, box.text);
        }
        if (closed) {
            QCOMPARE(configObject().value("is_message_paste").toBool(), true);
            QCOMPARE(configObject().value("is_message_file").toBool(), ask);
        } else {
            QCOMPARE(configBytes(), before);
        }
    }

    void settingsActionsSetTheirFlagsAtOnce_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("ask before saving") << 0;
        QTest::newRow("ask before pasting") << 1;
        QTest::newRow("ask before deleting") << 2;
    }
    void settingsActionsSetTheirFlagsAtOnce() {
        QFETCH(int, which);
        tarnwick window;
        QAction *actions[] = {window.askSaveAction, window.askPasteAction, window.askDeleteAction};
        bool *flags[] = {&window.settings.is_message_file, &window.settings.is_message_paste,
                         &window.settings.is_message_delete};
        QAction *action = actions[which];
        bool &flag = *flags[which];
        const bool initial = flag;
        QCOMPARE(action->isChecked(), initial);
        action->trigger();
        QCOMPARE(flag, !initial);
        QCOMPARE(action->isChecked(), !initial);
        action->trigger();
        QCOMPARE(flag, initial);
        // Nothing is written until the window closes.
        QCOMPARE(configObject(), QJsonObject({{"is_used_this", true}}));
    }

    void checkedStatesFollowTheConfiguration() {
        testsupport::writeTestConfig({{"is_used_this", true},
                                      {"is_help", true},
                                      {"is_message_file", false},
                                      {"is_message_paste", true},
                                      {"is_message_delete", false}});
        tarnwick window;
        QVERIFY(window.helpModeAction->isChecked());
        QVERIFY(!window.askSaveAction->isChecked());
        QVERIFY(window.askPasteAction->isChecked());
        QVERIFY(!window.askDeleteAction->isChecked());
    }

    // Both redo keys step forward through the history of the open editor.
    void bothRedoShortcutsReachRedo_data() {
        QTest::addColumn<QKeyCombination>("keys");
        QTest::newRow("Ctrl+Y") << QKeyCombination(Qt::ControlModifier, Qt::Key_Y);
        QTest::newRow("Ctrl+Shift+Z")
            << QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key_Z);
    }
    void bothRedoShortcutsReachRedo() {
        QFETCH(QKeyCombination, keys);
        tarnwick window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.newProjectButton->click();

        // Two states, the second undone: redo brings the second back.
        const PageList first = window.document->listCommand();
        window.document->setCommandAt(0, QStringList{QStringLiteral("マウスポインター"),
                                                     QStringLiteral("10"), QStringLiteral("20")});
        window.refreshPage();
        const PageList second = window.document->listCommand();
        QCOMPARE(window.document->historyIndex(), 1);
        QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window.document->historyIndex(), 0);
        QCOMPARE(window.document->listCommand(), first);

        QTest::keyClick(&window, keys.key(), keys.keyboardModifiers());
        QCOMPARE(window.document->historyIndex(), 1);
        QCOMPARE(window.document->listCommand(), second);
    }

    // The other window-wide keys drive the page buttons' slots.
    void pageShortcutsReachTheirSlots() {
        tarnwick window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.newProjectButton->click();
        window.askDeleteAction->trigger(); // no question before deleting
        QVERIFY(!window.settings.is_message_delete);

        QTest::keyClick(&window, Qt::Key_Right);
        QCOMPARE(window.document->currentPage(), 2);
        QCOMPARE(window.document->listCommand().size(), 2);
        QTest::keyClick(&window, Qt::Key_Left);
        QCOMPARE(window.document->currentPage(), 1);

        window.document->setCommandAt(0, QStringList{QStringLiteral("マウスポインター"),
                                                     QStringLiteral("5"), QStringLiteral("6")});
        window.refreshPage();
        QTest::keyClick(&window, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(window.document->copiedCommand(), window.document->listCommand().at(0));
        QTest::keyClick(&window, Qt::Key_Right);
        QTest::keyClick(&window, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(window.document->listCommand().at(1), window.document->listCommand().at(0));

        QTest::keyClick(&window, Qt::Key_D, Qt::ControlModifier);
        QCOMPARE(window.document->listCommand().size(), 1);
    }

    // The start page has no pages to act on: neither the window-wide keys nor
    // the hidden menus' keys may reach the editor's slots before it opens.
    void startPageIgnoresEditorKeys() {
        tarnwick window;
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        const QList<QKeySequence> keys = {
            QKeySequence(Qt::Key_Right),        QKeySequence(Qt::Key_Left),
            QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_V),
            QKeySequence(Qt::CTRL | Qt::Key_D), QKeySequence(Qt::CTRL | Qt::Key_Z),
            QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z),
            window.newAction->shortcut(),       window.helpModeAction->shortcut(),
        };
        for (const QKeySequence &k : keys) {
            if (!k.isEmpty())
                QTest::keySequence(&window, k);
        }
        QVERIFY(!window.editorOpen);
        QCOMPARE(window.document->listCommand(), PageList({{"なし"}}));
        QVERIFY(window.document->copiedCommand().isEmpty());
        QVERIFY(!window.settings.is_help);
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarnwick Free"));
        QVERIFY(!window.menuBar()->isVisible());
        QVERIFY(!window.pageList->isVisible());
        QVERIFY(window.newProjectButton->isVisible());

        // Once the editor is open the same keys work.
        window.newProjectButton->click();
        QTest::keyClick(&window, Qt::Key_Right);
        QCOMPARE(window.document->currentPage(), 2);
    }

    // The destructor stops the capture poll before it removes the hook.
    void destructionEndsACapture() {
        testsupport::RecordingInput input;
        KeyCaptureState &capture = KeyCaptureState::editor();
        {
            tarnwick window;
            QVERIFY(capture.installKeyboardHook());
            capture.beginCapture();
            window.keyPollTimer->start();
            QVERIFY(input.hookInstalled());
        }
        QVERIFY(!input.hookInstalled());
        QCOMPARE(capture.captureActive.load(), 0);
        QVERIFY(!capture.keyboardHook);
        QVERIFY(!input.captureGrabActive());
    }
};

QTEST_MAIN(MainWindowLifecycleTest)
#include "gui_mainwindow_lifecycle.moc"
