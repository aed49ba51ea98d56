// "操作を記録" through the real window, with a scripted recorder: the menu
// entry and its Help Mode tip, the refusal when nothing could end a
// recording, the start delay, the stop command and the tray's stop, and the
// recorded pages inserted after the current page as one undo step.

#include "app/recordinglauncher.h"
#include "app/recordingsession.h"
#include "app/tarnwick.h"
#include "platform/backend.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/scriptedrecorder.h"
#include "support/testconfig.h"

#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>

#include <memory>

using platform::RawInputEvent;
using Type = RawInputEvent::Type;

namespace {

RawInputEvent key(Type type, int vk, std::int64_t ms, const char16_t *text = u"") {
    RawInputEvent e;
    e.type = type;
    e.vk = vk;
    e.timeMs = ms;
    e.text = text;
    return e;
}

RawInputEvent button(Type type, int x, int y, std::int64_t ms) {
    RawInputEvent e;
    e.type = type;
    e.pos = {x, y};
    e.timeMs = ms;
    return e;
}

// Ctrl+Alt+S pressed from `ms` on.
void sendStopChord(testsupport::ScriptedRecorder &recorder, std::int64_t ms) {
    recorder.send(key(Type::KeyDown, 0xA2, ms));
    recorder.send(key(Type::KeyDown, 0xA4, ms + 10));
    recorder.send(key(Type::KeyDown, 'S', ms + 20, u"s"));
}

// The installed backend as it is, but recording from input devices, as the
// Wayland backend does; installed only when asked for.
class HearsAllBackend : public platform::Backend {
public:
    explicit HearsAllBackend(bool install) : inner_(platform::backend()), installed_(install) {
        if (installed_)
            previous_ = platform::setBackend(this);
    }
    ~HearsAllBackend() override {
        if (installed_)
            platform::setBackend(previous_);
    }
    platform::Capabilities capabilities() const override {
        platform::Capabilities c = inner_.capabilities();
        c.recordingHearsAll = true;
        return c;
    }
    platform::InputLayer *synthesis() override { return inner_.synthesis(); }
    platform::KeyEvents *keyEvents() override { return inner_.keyEvents(); }
    platform::GlobalShortcuts *shortcuts() override { return inner_.shortcuts(); }
    std::unique_ptr<platform::InputRecorder> createRecorder() override {
        return inner_.createRecorder();
    }

private:
    platform::Backend &inner_;
    bool installed_;
    platform::Backend *previous_ = nullptr;
};

} // namespace

class GuiRecordTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::writeTestConfig(); }
    void init();
    void cleanup() { window.reset(); }

    void menuEntryAndTip_data();
    void menuEntryAndTip();
    void refusedWhenNothingCouldEndIt();
    void recorderFailureIsReported();
    void recordsAfterTheCurrentPageAsOneUndoStep();
    void startDelayAndStopDuringIt();
    void trayStopKeepsWhatWasRecorded();
    void noticeBeforeRecording_data();
    void noticeBeforeRecording();
    void stopChordHeldFromBeforeTheStart();
    void withheldInputIsReported_data();
    void withheldInputIsReported();
    void clickIsRecordedInItsWindow();

private:
    void startRecording();

    testsupport::ScriptedRecorder recorder;
    std::unique_ptr<tarnwick> window;
};

void GuiRecordTest::init() {
    window = std::make_unique<tarnwick>();
    window->show();
    window->newProjectButton->click();
    window->settings.stertTime = 0;
    window->settings.stopCommand = QStringLiteral("83,3");
    window->settings.is_message_record = false; // the notice has its own test
}

void GuiRecordTest::startRecording() {
    window->recordAction->trigger();
    QVERIFY(window->recorder->recording);
    QVERIFY(window->isHidden());
    QVERIFY(recorder.listening());
    QTRY_VERIFY(window->recorder->recording->isRecording());
}

void GuiRecordTest::menuEntryAndTip_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<bool>("help");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("tipStart");
    QTest::newRow("ja") << true << false << "操作を記録"
                        << "";
    QTest::newRow("en") << false << false << "Record actions"
                        << "";
    QTest::newRow("ja help") << true << true << "操作を記録"
                             << "マウスのクリックとキーボード";
    QTest::newRow("en help") << false << true << "Record actions"
                             << "Records your mouse clicks";
}

void GuiRecordTest::menuEntryAndTip() {
    QFETCH(bool, japanese);
    QFETCH(bool, help);
    QFETCH(QString, text);
    QFETCH(QString, tipStart);
    window->settings.is_japanese = japanese;
    window->settings.is_help = help;
    window->changeLanguage();
    QCOMPARE(window->otherMenu->actions().first(), window->recordAction);
    QCOMPARE(window->recordAction->text(), text);
    QVERIFY(window->otherMenu->toolTipsVisible());
    if (tipStart.isEmpty())
        QVERIFY(window->recordAction->toolTip() == text); // Qt's stand-in: none shown
    else
        QVERIFY2(window->recordAction->toolTip().startsWith(tipStart),
                 qPrintable(window->recordAction->toolTip()));
}

void GuiRecordTest::refusedWhenNothingCouldEndIt() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable()); // the offscreen platform has none
    window->settings.stopCommand = QStringLiteral("なし");
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    window->recordAction->trigger();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, QStringLiteral("記録できません"));
    QVERIFY(answerer.last().text.startsWith(QStringLiteral("停止コマンドが設定されておらず")));
    QCOMPARE(recorder.starts(), 0);
    QVERIFY(!window->recorder->recording);
    QVERIFY(window->isVisible());
}

void GuiRecordTest::recorderFailureIsReported() {
    recorder.failNextStart("The X server lacks the XInput 2.1 extension needed to record input.");
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    window->recordAction->trigger();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text,
             QStringLiteral("The X server lacks the XInput 2.1 extension needed to record input."));
    QVERIFY(!window->recorder->recording);
    QVERIFY(window->isVisible());
}

void GuiRecordTest::recordsAfterTheCurrentPageAsOneUndoStep() {
    window->document->setPages({{QStringLiteral("なし")}, {QStringLiteral("キー"), "27,0", "0.01"}},
                               {{"時間", "0.1"}, {"即時"}});
    window->document->setCurrentPage(1);
    window->refreshPage();
    const PageList commandsBefore = window->document->listCommand();
    const PageList conditionsBefore = window->document->listCondition();
    window->document->setSavedPages(commandsBefore, conditionsBefore);

    startRecording();
    recorder.send(button(Type::ButtonDown, 30, 40, 1000));
    recorder.send(button(Type::ButtonUp, 30, 40, 1080));
    recorder.send(key(Type::KeyDown, 'H', 1300, u"h"));
    recorder.send(key(Type::KeyUp, 'H', 1350));
    recorder.send(key(Type::KeyDown, 'I', 1400, u"i"));
    recorder.send(key(Type::KeyUp, 'I', 1450));
    recorder.send(key(Type::KeyDown, 13, 1600));
    recorder.send(key(Type::KeyUp, 13, 1650));
    sendStopChord(recorder, 2000);
    QTRY_VERIFY(window->isVisible());
    QVERIFY(!window->recorder->recording);
    QVERIFY(!recorder.listening());

    const PageList expectedCommands = {{"なし"},
                                       {"マウスポインター", "30", "40"},
                                       {"クリック", "左", "0.08"},
                                       {"入力", "hi", "0.15"},
                                       {"キー", "13,0", "0.05"},
                                       {"キー", "27,0", "0.01"}};
    const PageList expectedConditions = {{"時間", "0.1"},
                                         {"終わるまで待つ", "0"},
                                         {"終わるまで待つ", "0.22"},
                                         {"終わるまで待つ", "0.15"},
                                         {"終わるまで待つ", "0"},
                                         {"即時"}};
    QCOMPARE(window->document->listCommand(), expectedCommands);
    QCOMPARE(window->document->listCondition(), expectedConditions);
    QCOMPARE(window->document->currentPage(), 5);
    QVERIFY(window->isProjectDirty());

    // One undo brings back the project as it was before the recording.
    QVERIFY(window->undoButton->isVisible());
    window->undoButton->click();
    QCOMPARE(window->document->listCommand(), commandsBefore);
    QCOMPARE(window->document->listCondition(), conditionsBefore);
}

void GuiRecordTest::startDelayAndStopDuringIt() {
    window->settings.stertTime = 1;
    const PageList before = window->document->listCommand();
    window->recordAction->trigger();
    QVERIFY(window->recorder->recording);
    QVERIFY(!window->recorder->recording->isRecording());
    // Typed during the countdown: not recorded.
    recorder.send(key(Type::KeyDown, 'A', 100, u"a"));
    recorder.send(key(Type::KeyUp, 'A', 150));
    sendStopChord(recorder, 300);
    QTRY_VERIFY(window->isVisible());
    QVERIFY(!window->recorder->recording);
    QCOMPARE(window->document->listCommand(), before);
    QVERIFY(!window->isProjectDirty());
}

void GuiRecordTest::trayStopKeepsWhatWasRecorded() {
    startRecording();
    recorder.send(key(Type::KeyDown, 9, 500));
    recorder.send(key(Type::KeyUp, 9, 530));
    window->recorder->recording->stop(); // what a click on the tray icon does
    QVERIFY(window->isVisible());
    QCOMPARE(window->document->listCommand().size(), 2);
    QCOMPARE(window->document->listCommand().at(1), (QStringList{"キー", "9,0", "0.03"}));
    QVERIFY(!recorder.send(key(Type::KeyDown, 9, 900))); // no longer listening
}

void GuiRecordTest::noticeBeforeRecording_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<bool>("accept");
    QTest::addColumn<bool>("dontShow");
    QTest::addColumn<bool>("devices"); // the backend records from input devices
    QTest::newRow("ja, go on") << true << true << false << false;
    QTest::newRow("en, go on, not again") << false << true << true << false;
    QTest::newRow("ja, back out") << true << false << false << false;
    QTest::newRow("en, back out, not again") << false << false << true << false;
    QTest::newRow("ja, devices") << true << true << false << true;
    QTest::newRow("en, devices") << false << true << false << true;
}

// Told once, plainly, that typed text is stored readable; "do not show
// again" is remembered in the settings.
void GuiRecordTest::noticeBeforeRecording() {
    QFETCH(bool, japanese);
    QFETCH(bool, accept);
    QFETCH(bool, dontShow);
    QFETCH(bool, devices);
    HearsAllBackend hearsAll(devices);
    window->settings.is_japanese = japanese;
    window->changeLanguage();
    window->settings.is_message_record = true;
    const int startsBefore = recorder.starts();
    QString text, check;
    testsupport::ModalAnswerer answerer;
    answerer.act([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        text = box->text();
        QVERIFY(box->checkBox());
        check = box->checkBox()->text();
        box->checkBox()->setChecked(dontShow);
        box->button(accept ? QMessageBox::Ok : QMessageBox::Cancel)->click();
    });
    window->recordAction->trigger();
    QVERIFY(text.contains(japanese ? QStringLiteral("そのまま読める形で保存")
                                   : QStringLiteral("readable by anyone")));
    // Devices cannot tell a password field: the notice must not promise it.
    QCOMPARE(text.contains(japanese ? QStringLiteral("パスワード欄への入力は記録しません")
                                    : QStringLiteral("password field is left out")),
             !devices);
    QCOMPARE(text.contains(japanese ? QStringLiteral("すべてのキーが記録されます")
                                    : QStringLiteral("every key is recorded")),
             devices);
    QCOMPARE(check, japanese ? QStringLiteral("今後は表示しない")
                             : QStringLiteral("Do not show this again"));
    QCOMPARE(window->settings.is_message_record, !dontShow);
    QCOMPARE(bool(window->recorder->recording), accept);
    QCOMPARE(recorder.starts() - startsBefore, accept ? 1 : 0);
    if (!accept) {
        QVERIFY(window->isVisible());
        return;
    }
    window->recorder->recording->stop();
    QVERIFY(window->isVisible());
    // Asked once per recording until "do not show again" is ticked.
    if (dontShow) {
        window->recordAction->trigger();
        QVERIFY(window->recorder->recording);
        QCOMPARE(recorder.starts() - startsBefore, 2);
        window->recorder->recording->stop();
    }
}

// Ctrl and Alt went down during the start delay, S after it: that is the
// stop command, not an S typed into the recording.
void GuiRecordTest::stopChordHeldFromBeforeTheStart() {
    window->settings.stertTime = 1;
    recorder.setNow(1000); // the moment the delay ends, on the events' clock
    const PageList before = window->document->listCommand();
    window->recordAction->trigger();
    QVERIFY(window->recorder->recording);
    recorder.send(key(Type::KeyDown, 0xA2, 100));
    recorder.send(key(Type::KeyDown, 0xA4, 200));
    // Happened before the start, arrives after it: not recorded.
    QTRY_VERIFY(window->recorder->recording->isRecording());
    recorder.send(key(Type::KeyDown, 'Q', 900, u"q"));
    recorder.send(key(Type::KeyUp, 'Q', 950));
    recorder.send(key(Type::KeyDown, 'S', 1500, u"s"));
    QTRY_VERIFY(window->isVisible());
    QVERIFY(!window->recorder->recording);
    QCOMPARE(window->document->listCommand(), before);
}

void GuiRecordTest::withheldInputIsReported_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<qint64>("withheldAt");
    QTest::addColumn<QString>("message"); // empty: none shown
    QTest::newRow("ja") << true << qint64(600)
                        << "パスワード欄など、保護された入力への入力は記録しませんでした。";
    QTest::newRow("en") << false << qint64(600)
                        << "Input into a password field or another protected input was not "
                           "recorded.";
    QTest::newRow("before the start") << true << qint64(50) << "";
}

void GuiRecordTest::withheldInputIsReported() {
    QFETCH(bool, japanese);
    QFETCH(qint64, withheldAt);
    QFETCH(QString, message);
    window->settings.is_japanese = japanese;
    window->changeLanguage();
    recorder.setNow(100);
    startRecording();
    recorder.send(key(Type::KeyDown, 9, 500));
    recorder.send(key(Type::KeyUp, 9, 530));
    recorder.withhold(withheldAt);
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    sendStopChord(recorder, 1000);
    QTRY_VERIFY(window->isVisible());
    QCOMPARE(window->document->listCommand().at(1), (QStringList{"キー", "9,0", "0.03"}));
    QCOMPARE(window->document->listCommand().size(), 2);
    if (message.isEmpty()) {
        QCOMPARE(answerer.count(), 0);
        return;
    }
    QTRY_COMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().text, message);
}

// The window a click went to is asked when the click arrives, and the click
// is recorded in it: brought up first, then the place inside it.
void GuiRecordTest::clickIsRecordedInItsWindow() {
    testsupport::RecordingInput desktop;
    testsupport::FakeWindow editor;
    editor.info.id = 7;
    editor.info.title = u"メモ - a.txt";
    editor.info.program = u"gedit";
    editor.info.client = {200, 100, 300, 200};
    desktop.setWindows({editor});

    startRecording();
    recorder.send(button(Type::ButtonDown, 230, 140, 1000));
    // The window moves before the click ends: the place was taken at the down.
    editor.info.client = {600, 500, 300, 200};
    desktop.setWindows({editor});
    recorder.send(button(Type::ButtonUp, 230, 140, 1050));
    recorder.send(button(Type::ButtonDown, 10, 10, 1200)); // on no window
    recorder.send(button(Type::ButtonUp, 10, 10, 1250));
    sendStopChord(recorder, 2000);
    QTRY_VERIFY(window->isVisible());

    const PageList expected = {{"なし"},
                               {"ウィンドウ切替", "メモ - a.txt", "含む", "gedit", "5"},
                               {"ウィンドウ座標", "メモ - a.txt", "含む", "gedit", "30", "40"},
                               {"クリック", "左", "0.05"},
                               {"マウスポインター", "10", "10"},
                               {"クリック", "左", "0.05"}};
    QCOMPARE(window->document->listCommand(), expected);
}

QTEST_MAIN(GuiRecordTest)
#include "gui_record.moc"
