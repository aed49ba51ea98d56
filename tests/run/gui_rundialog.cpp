// The run settings dialog, offscreen with the recording input layer: what
// it opens with, the exit-command capture through its own hook, and what
// Start hands back.

#include "capture/keycapture.h"
#include "run/rundialog.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <memory>

namespace {

constexpr int kEsc = 27;
constexpr int kLShift = 160;
constexpr int kLControl = 162;
constexpr int kA = 65;

// Hidden as the dialog decides it, whether or not the dialog is on screen.
bool shown(const QWidget *w) {
    return !w->isHidden();
}

} // namespace

class RunDialogTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }
    void cleanup();

    void opening_data();
    void opening();
    void uncheckingRepeatShowsTheCountBox();
    void uncheckingNoneOffersCtrlAltS();
    void dangerIconFoundBesideTheExecutable();

    void capture_data();
    void capture();
    void captureKeepsHookUntilDestroyed();
    void hookFailureKeepsEverything();
    void destroyedWhileCapturing();

    void startWithoutExitCommandAsksEveryTime_data();
    void startWithoutExitCommandAsksEveryTime();
    void stopCommandOfNoKeyAsksAsNone_data();
    void stopCommandOfNoKeyAsksAsNone();
    void noticeOnlyUntilShown_data();
    void noticeOnlyUntilShown();
    void startHandsBackTheBoxes();
    void labelsAreWholeInBothLanguages();

    void pauseAndStartKeysCaptured_data();
    void pauseAndStartKeysCaptured();
    void clashingKeysAreRefused_data();
    void clashingKeysAreRefused();
    void speedAndVariationHandedBack();

private:
    testsupport::RecordingInput rec;
};

void RunDialogTest::cleanup() {
    for (int vk : {kEsc, kLShift, kLControl, kA})
        rec.setDown(vk, false);
    QCOMPARE(rec.hookCount(), 0); // every dialog removed its hook
    QVERIFY(!rec.captureGrabActive());
}

void RunDialogTest::opening_data() {
    QTest::addColumn<int>("stertTime");
    QTest::addColumn<int>("runNumber");
    QTest::addColumn<QString>("stopCommand");
    QTest::addColumn<int>("secondsShown");
    QTest::addColumn<int>("countShown");
    QTest::addColumn<int>("runCount");
    QTest::addColumn<bool>("repeat");
    QTest::addColumn<bool>("noStopCommand");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("startShown");

    QTest::newRow("plain") << 5 << 3 << "83,3" << 5 << 3 << 3 << false << false << "Ctrl+Alt+S"
                           << true;
    QTest::newRow("repeat until exit command")
        << 5 << 114514 << "83,3" << 5 << 1 << 114514 << true << false << "Ctrl+Alt+S" << true;
    QTest::newRow("delay 0") << 0 << 1 << "83,3" << 1 << 1 << 1 << false << false << "Ctrl+Alt+S"
                             << true;
    QTest::newRow("delay negative")
        << -7 << 1 << "83,3" << 1 << 1 << 1 << false << false << "Ctrl+Alt+S" << true;
    QTest::newRow("delay 10000") << 10000 << 1 << "83,3" << 9999 << 1 << 1 << false << false
                                 << "Ctrl+Alt+S" << true;
    QTest::newRow("count 0") << 5 << 0 << "83,3" << 5 << 1 << 1 << false << false << "Ctrl+Alt+S"
                             << true;
    // The box stops at 9999; the value itself is kept until Start reads the box.
    QTest::newRow("count 10000") << 5 << 10000 << "83,3" << 5 << 9999 << 10000 << false << false
                                 << "Ctrl+Alt+S" << true;
    QTest::newRow("count above repeat")
        << 5 << 200000 << "83,3" << 5 << 1 << 114514 << true << false << "Ctrl+Alt+S" << true;
    QTest::newRow("none") << 5 << 1 << "なし" << 5 << 1 << 1 << false << true << "Ctrl+Alt+S"
                          << true;
    QTest::newRow("empty") << 5 << 1 << "" << 5 << 1 << 1 << false << false << "なし" << false;
    QTest::newRow("unreadable") << 5 << 1 << "abc" << 5 << 1 << 1 << false << false << "無効なキー"
                                << false;
    QTest::newRow("empty parts dropped")
        << 5 << 1 << ",65" << 5 << 1 << 1 << false << false << "A" << true;
    QTest::newRow("lone modifier")
        << 5 << 1 << "162,0" << 5 << 1 << 1 << false << false << "Ctrl" << true;
}

void RunDialogTest::opening() {
    QFETCH(int, stertTime);
    QFETCH(int, runNumber);
    QFETCH(QString, stopCommand);
    QFETCH(int, secondsShown);
    QFETCH(int, countShown);
    QFETCH(int, runCount);
    QFETCH(bool, repeat);
    QFETCH(bool, noStopCommand);
    QFETCH(QString, label);
    QFETCH(bool, startShown);

    RunDialog dialog(RunSettings{stertTime, runNumber, stopCommand}, false, true, nullptr);
    QCOMPARE(dialog.secondsSpin->value(), secondsShown);
    QCOMPARE(dialog.getSeconds(), secondsShown);
    QCOMPARE(dialog.runCountSpin->value(), countShown);
    QCOMPARE(dialog.getRunCount(), runCount);
    QCOMPARE(dialog.repeatCheck->isChecked(), repeat);
    QCOMPARE(shown(dialog.runCountSpin), !repeat);
    QCOMPARE(shown(dialog.runCountUnitLabel), !repeat);
    QVERIFY(shown(dialog.runCountLabel));
    QCOMPARE(dialog.noStopCommandCheck->isChecked(), noStopCommand);
    QCOMPARE(shown(dialog.stopCommandLabel), !noStopCommand);
    QCOMPARE(shown(dialog.changeButton), !noStopCommand);
    QCOMPARE(dialog.stopCommandLabel->text(), label);
    QCOMPARE(shown(dialog.startButton), startShown);
    QVERIFY(!shown(dialog.keyPromptLabel));
    QCOMPARE(rec.hookCount(), 0); // no hook before a capture
}

void RunDialogTest::uncheckingRepeatShowsTheCountBox() {
    RunDialog dialog(RunSettings{5, 114514, QStringLiteral("83,3")}, true, false, nullptr);
    dialog.repeatCheck->setChecked(false);
    QVERIFY(shown(dialog.runCountSpin));
    QVERIFY(shown(dialog.runCountUnitLabel));
    QCOMPARE(dialog.runCountSpin->value(), 1);
}

void RunDialogTest::uncheckingNoneOffersCtrlAltS() {
    RunDialog dialog(RunSettings{5, 1, QStringLiteral("なし")}, true, false, nullptr);
    dialog.show();
    dialog.noStopCommandCheck->setChecked(false);
    QVERIFY(dialog.stopCommandLabel->isVisible());
    QVERIFY(dialog.changeButton->isVisible());
    QCOMPARE(dialog.stopCommandLabel->text(), QStringLiteral("Ctrl+Alt+S"));

    // With the box unchecked Start runs with Ctrl+Alt+S and asks nothing.
    testsupport::ModalAnswerer answerer;
    dialog.startButton->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.getStopCommand(), QStringLiteral("83,3"));
    QCOMPARE(answerer.count(), 0);
}

void RunDialogTest::dangerIconFoundBesideTheExecutable() {
    // CTest runs the test in the build folder; the picture lives in bin/image.
    RunDialog dialog(RunSettings{5, 1, QStringLiteral("83,3")}, true, true, nullptr);
    QVERIFY(!dialog.noStopCommandCheck->icon().isNull());
    QCOMPARE(dialog.noStopCommandCheck->iconSize(), QSize(14, 14));
}

void RunDialogTest::capture_data() {
    QTest::addColumn<QString>("initial");
    QTest::addColumn<QList<int>>("downs"); // key-downs; negative codes are key-ups
    QTest::addColumn<QString>("stopCommand");
    QTest::addColumn<QString>("label");

    QTest::newRow("Esc is captured, not closing") << "83,3" << QList<int>{kEsc} << "27,0"
                                                  << "Esc";
    QTest::newRow("unreadable replaced by a key")
        << "abc" << QList<int>{kLControl, kLShift, kA, -kA, -kLShift, -kLControl} << "65,6"
        << "Ctrl+Shift+A";
    QTest::newRow("empty replaced by a lone modifier")
        << "" << QList<int>{kLControl, -kLControl} << "162,0"
        << "Ctrl";
}

void RunDialogTest::capture() {
    QFETCH(QString, initial);
    QFETCH(QList<int>, downs);
    QFETCH(QString, stopCommand);
    QFETCH(QString, label);

    RunDialog dialog(RunSettings{5, 1, initial}, true, true, nullptr);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.changeButton->click();

    QVERIFY(dialog.capturing);
    QVERIFY(rec.hookInstalled());
    QVERIFY(!dialog.startButton->isVisible());
    QVERIFY(!dialog.changeButton->isVisible());
    QVERIFY(!dialog.noStopCommandCheck->isVisible());
    QVERIFY(dialog.keyPromptLabel->isVisible());
    QVERIFY(!dialog.secondsSpin->isEnabled());
    QVERIFY(!dialog.runCountSpin->isEnabled());
    QVERIFY(dialog.stopCommandLabel->text().isEmpty());

    // Nothing pressed yet: the poll keeps waiting.
    QTest::qWait(150);
    QVERIFY(dialog.capturing);

    for (int code : downs)
        QVERIFY2(rec.sendHookEvent(qAbs(code), code > 0), "the capture swallows every key");
    QTRY_VERIFY(!dialog.capturing);

    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.stopCommand, stopCommand);
    QCOMPARE(dialog.stopCommandLabel->text(), label);
    QVERIFY(dialog.startButton->isVisible());
    QVERIFY(dialog.changeButton->isVisible());
    QVERIFY(dialog.noStopCommandCheck->isVisible());
    QVERIFY(!dialog.keyPromptLabel->isVisible());
    QVERIFY(dialog.secondsSpin->isEnabled());
    QVERIFY(dialog.runCountSpin->isEnabled());
    QCOMPARE(KeyCaptureState::runDialog().captureActive.load(), 0);
    QCOMPARE(KeyCaptureState::runDialog().lastKey.load(), 0);
}

void RunDialogTest::captureKeepsHookUntilDestroyed() {
    auto dialog =
        std::make_unique<RunDialog>(RunSettings{5, 1, QStringLiteral("83,3")}, true, true, nullptr);
    dialog->show();
    dialog->changeButton->click();
    QVERIFY(rec.sendHookEvent(kA, true));
    QTRY_VERIFY(!dialog->capturing);

    // Still installed, but passing every event on.
    QVERIFY(rec.hookInstalled());
    QVERIFY(!rec.captureGrabActive());
    QVERIFY(!rec.sendHookEvent(kEsc, true));
    QVERIFY(!rec.sendHookEvent(kEsc, false));
    QTest::qWait(120);
    QCOMPARE(dialog->stopCommand, QStringLiteral("65,0"));

    // A second capture reuses the installed hook.
    dialog->changeButton->click();
    QCOMPARE(rec.hookCount(), 1);
    QVERIFY(rec.sendHookEvent(kEsc, true));
    QTRY_COMPARE(dialog->stopCommand, QStringLiteral("27,0"));

    dialog.reset();
    QVERIFY(!rec.hookInstalled());
}

void RunDialogTest::hookFailureKeepsEverything() {
    RunDialog dialog(RunSettings{5, 1, QStringLiteral("83,3")}, false, false, nullptr);
    dialog.show();
    rec.failNextHookInstall(5);
    dialog.changeButton->click();

    QCOMPARE(dialog.stopCommandLabel->text(), QStringLiteral("フック失敗"));
    QCOMPARE(dialog.stopCommand, QStringLiteral("83,3"));
    QVERIFY(!dialog.capturing);
    QVERIFY(!dialog.pollTimer->isActive());
    QVERIFY(dialog.startButton->isVisible());
    QVERIFY(dialog.changeButton->isVisible());
    QVERIFY(dialog.noStopCommandCheck->isVisible());
    QVERIFY(!dialog.keyPromptLabel->isVisible());
    QVERIFY(dialog.secondsSpin->isEnabled());
    QCOMPARE(KeyCaptureState::runDialog().captureActive.load(), 0);
    QVERIFY(!rec.hookInstalled());

    // The notice quotes what the label shows.
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    dialog.startButton->click();
    QCOMPARE(answerer.count(), 1);
    QVERIFY(answerer.last().text.contains(QStringLiteral("\"フック失敗\"")));
    QCOMPARE(dialog.getStopCommand(), QStringLiteral("83,3"));

    // A later capture succeeds and replaces the text.
    RunDialog again(RunSettings{5, 1, QStringLiteral("83,3")}, true, false, nullptr);
    again.show();
    again.changeButton->click();
    QVERIFY(rec.sendHookEvent(kA, true));
    QTRY_COMPARE(again.stopCommandLabel->text(), QStringLiteral("A"));
}

void RunDialogTest::destroyedWhileCapturing() {
    auto dialog =
        std::make_unique<RunDialog>(RunSettings{5, 1, QStringLiteral("83,3")}, true, true, nullptr);
    dialog->show();
    dialog->changeButton->click();
    QVERIFY(rec.captureGrabActive());
    QCOMPARE(KeyCaptureState::runDialog().captureActive.load(), 1);
    dialog.reset();
    QCOMPARE(KeyCaptureState::runDialog().captureActive.load(), 0);
    QVERIFY(!rec.hookInstalled());
    QVERIFY(!rec.captureGrabActive());
    // Keys after the dialog has gone reach the desktop again.
    QVERIFY(!rec.sendHookEvent(kA, true));
}

void RunDialogTest::startWithoutExitCommandAsksEveryTime_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("ja")
        << true << "このメッセージを無効化することはできません。"
        << "終了コマンドが設定されていません。\nタスクバーの右側にあるシステムトレイ"
           "もしくは\n指定回数でのみ終了可能です。\n危険ですが実行しますか？";
    QTest::newRow("en")
        << false << "This message cannot be disabled."
        << "No termination command has been set. \nThe application can only be terminated via "
           "the system tray on the right side of the taskbar or after a specified number of "
           "terminations. \nThis is risky; do you wish to proceed?";
}

void RunDialogTest::startWithoutExitCommandAsksEveryTime() {
    QFETCH(bool, japanese);
    QFETCH(QString, title);
    QFETCH(QString, text);

    // The notice has not been shown yet, but the warning replaces it.
    RunDialog dialog(RunSettings{5, 114514, QStringLiteral("なし")}, false, japanese, nullptr);
    dialog.show();
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::No);
    dialog.startButton->click();
    QCOMPARE(answerer.count(), 1);
    const testsupport::SeenBox box = answerer.last();
    QCOMPARE(box.title, title);
    QCOMPARE(box.text, text);
    QCOMPARE(box.icon, QMessageBox::Warning);
    QCOMPARE(box.buttons, QMessageBox::Yes | QMessageBox::No);
    QCOMPARE(box.defaultButton, QMessageBox::No);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.answer, int(QMessageBox::No));

    // Closing the box counts as No too.
    dialog.startButton->click();
    QCOMPARE(answerer.count(), 2);
    QVERIFY(dialog.isVisible());

    answerer.answer(QMessageBox::Yes);
    dialog.startButton->click();
    QCOMPARE(answerer.count(), 3);
    QCOMPARE(answerer.last().title, title);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.getStopCommand(), QStringLiteral("なし"));
    QCOMPARE(dialog.getRunCount(), 114514);
    QVERIFY(!dialog.getNoticeShown());
}

void RunDialogTest::stopCommandOfNoKeyAsksAsNone_data() {
    QTest::addColumn<QString>("stopCommand");
    QTest::addColumn<int>("boxes"); // the warning, when the command stops nothing
    QTest::newRow("unassigned code") << "7,0" << 1;
    QTest::newRow("code 0") << "0,3" << 1;
    QTest::newRow("mouse button") << "1,0" << 1;
    QTest::newRow("beyond the codes") << "300,2" << 1;
    QTest::newRow("a key") << "83,3" << 0;
    QTest::newRow("a key without a name") << "186,0" << 0;
}

// A saved stop command that no keyboard can press stops nothing: Start asks
// as for none, and the command is handed back as it was.
void RunDialogTest::stopCommandOfNoKeyAsksAsNone() {
    QFETCH(QString, stopCommand);
    QFETCH(int, boxes);
    RunDialog dialog(RunSettings{5, 114514, stopCommand}, true, false, nullptr);
    dialog.show();
    QVERIFY(shown(dialog.startButton));
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::No);
    dialog.startButton->click();
    QCOMPARE(answerer.count(), boxes);
    if (boxes == 0) {
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        return;
    }
    QCOMPARE(answerer.last().title, QStringLiteral("This message cannot be disabled."));
    QCOMPARE(answerer.last().icon, QMessageBox::Warning);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));

    answerer.answer(QMessageBox::Yes);
    dialog.startButton->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.getStopCommand(), stopCommand);
}

void RunDialogTest::noticeOnlyUntilShown_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<bool>("noticeShown");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::newRow("ja first")
        << true << false << "次回からは表示されません。"
        << "現在の停止コマンドは「Alt+F4」です。\nこのコマンドは変更可能です。"
           "\nこれを入力することでいかなる時でも\n0.2秒以内で実行中のプロジ"
           "ェクトを停止可能です。\n忘れないで下さい。";
    QTest::newRow("en first")
        << false << false << "This will not be displayed next time."
        << "The current stop command is \"Alt+F4\".\nThis command can be changed.\nBy entering "
           "this command, you can stop the running project within 0.2 seconds at any time.\n"
           "Please do not forget it.";
    QTest::newRow("already shown") << true << true << ""
                                   << "";
}

void RunDialogTest::noticeOnlyUntilShown() {
    QFETCH(bool, japanese);
    QFETCH(bool, noticeShown);
    QFETCH(QString, title);
    QFETCH(QString, text);

    RunDialog dialog(RunSettings{5, 1, QStringLiteral("115,1")}, noticeShown, japanese, nullptr);
    dialog.show();
    testsupport::ModalAnswerer answerer;
    dialog.startButton->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.getNoticeShown());
    QCOMPARE(dialog.answer, int(QMessageBox::Yes));
    if (noticeShown) {
        QCOMPARE(answerer.count(), 0);
        return;
    }
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().title, title);
    QCOMPARE(answerer.last().icon, QMessageBox::Information);
    QCOMPARE(answerer.last().buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(answerer.last().text, text);
}

void RunDialogTest::startHandsBackTheBoxes() {
    RunDialog dialog(RunSettings{5, 10000, QStringLiteral("83,3")}, true, true, nullptr);
    dialog.show();
    dialog.secondsSpin->setValue(12);
    dialog.startButton->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.getSeconds(), 12);
    QCOMPARE(dialog.getRunCount(), 9999); // read from the box, which stops at 9999
    QCOMPARE(dialog.getStopCommand(), QStringLiteral("83,3"));
    QCOMPARE(dialog.settings(), (RunSettings{12, 9999, QStringLiteral("83,3")}));

    // The defaults are those the settings file and the command line start from.
    RunDialog untouched(RunSettings{}, true, true, nullptr);
    untouched.show();
    QCOMPARE(untouched.secondsSpin->value(), kDefaultStartDelay);
    untouched.startButton->click();
    QCOMPARE(untouched.settings(), RunSettings{});

    RunDialog repeat(RunSettings{5, 3, QStringLiteral("83,3")}, true, true, nullptr);
    repeat.show();
    repeat.repeatCheck->setChecked(true);
    repeat.startButton->click();
    QCOMPARE(repeat.getRunCount(), 114514);
    QVERIFY(repeat.settings().repeatsUntilStopped());
}

// The dialog's size is fixed; a long English label must not be cut off.
void RunDialogTest::labelsAreWholeInBothLanguages() {
    for (const bool japanese : {true, false}) {
        RunSettings settings;
        RunDialog dialog(settings, true, japanese);
        for (QLabel *label :
             {dialog.secondsLabel, dialog.runCountLabel, dialog.stopTitleLabel,
              dialog.pauseTitleLabel, dialog.startKeyTitleLabel, dialog.speedTitleLabel,
              dialog.variationTitleLabel, dialog.variationTimeLabel, dialog.variationPlaceLabel}) {
            const int width = QFontMetrics(label->font()).boundingRect(label->text()).width();
            QVERIFY2(width <= label->width(), qPrintable(QStringLiteral("%1: %2 > %3")
                                                             .arg(label->text())
                                                             .arg(width)
                                                             .arg(label->width())));
            QVERIFY(label->font().pointSize() >= 12); // still readable
        }
    }
}

// The pause keys and the start key are captured as the exit command is,
// each into its own place, and handed back with the settings.
void RunDialogTest::pauseAndStartKeysCaptured_data() {
    QTest::addColumn<bool>("pause"); // else the start key
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("label");
    QTest::newRow("pause keys") << true << "65,6"
                                << "Ctrl+Shift+A";
    QTest::newRow("start key") << false << "65,6"
                               << "Ctrl+Shift+A";
}

void RunDialogTest::pauseAndStartKeysCaptured() {
    QFETCH(bool, pause);
    QFETCH(QString, stored);
    QFETCH(QString, label);
    RunSettings settings(5, 1, QStringLiteral("83,3"));
    settings.startCommand = QStringLiteral("120,3");
    RunDialog dialog(settings, true, true, nullptr);
    dialog.show();
    QCOMPARE(dialog.pauseCommandLabel->text(), QStringLiteral("Ctrl+Alt+P"));
    QCOMPARE(dialog.startCommandLabel->text(), QStringLiteral("Ctrl+Alt+F9"));
    (pause ? dialog.pauseChangeButton : dialog.startChangeButton)->click();
    QVERIFY(dialog.capturing);
    QVERIFY(!shown(dialog.startButton) && !shown(dialog.pauseChangeButton));
    QVERIFY(!dialog.speedSpin->isEnabled());
    for (int code : {kLControl, kLShift, kA})
        QVERIFY(rec.sendHookEvent(code, true));
    QTRY_VERIFY(!dialog.capturing);
    for (int code : {kA, kLShift, kLControl})
        rec.sendHookEvent(code, false);
    QCOMPARE((pause ? dialog.pauseCommandLabel : dialog.startCommandLabel)->text(), label);
    QCOMPARE(dialog.stopCommandLabel->text(), QStringLiteral("Ctrl+Alt+S")); // untouched
    QVERIFY(shown(dialog.startButton) && shown(dialog.pauseChangeButton));
    QVERIFY(dialog.speedSpin->isEnabled());
    dialog.startButton->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.settings().pauseCommand, pause ? stored : QStringLiteral("80,3"));
    QCOMPARE(dialog.settings().startCommand, pause ? QStringLiteral("120,3") : stored);
    QCOMPARE(dialog.settings().stopCommand, QStringLiteral("83,3"));
}

// Pause keys that are the exit command or only modifiers, and a start key
// that clashes, are refused with a warning; the dialog stays open.
void RunDialogTest::clashingKeysAreRefused_data() {
    QTest::addColumn<QString>("pause");
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("warning");
    QTest::newRow("pause is stop")
        << "83,3"
        << "なし" << false << "The pause keys are the same as the exit command.";
    QTest::newRow("pause only ctrl")
        << "162,0"
        << "なし" << true << "一時停止キーには修飾キー以外のキーが必要です。";
    QTest::newRow("start is pause")
        << "80,3"
        << "80,3" << false << "The start key is the same as the pause keys.";
    QTest::newRow("start is stop") << "80,3"
                                   << "83,3" << true << "開始キーが終了コマンドと同じです。";
}

void RunDialogTest::clashingKeysAreRefused() {
    QFETCH(QString, pause);
    QFETCH(QString, start);
    QFETCH(bool, japanese);
    QFETCH(QString, warning);
    RunSettings settings(5, 1, QStringLiteral("83,3"));
    settings.pauseCommand = pause;
    settings.startCommand = start;
    RunDialog dialog(settings, true, japanese, nullptr);
    dialog.show();
    testsupport::ModalAnswerer answerer;
    answerer.answer(QMessageBox::Ok);
    dialog.startButton->click();
    QCOMPARE(answerer.count(), 1);
    QCOMPARE(answerer.last().icon, QMessageBox::Warning);
    QCOMPARE(answerer.last().text, warning);
    QVERIFY(dialog.result() != int(QDialog::Accepted));
    QVERIFY(dialog.isVisible());
}

void RunDialogTest::speedAndVariationHandedBack() {
    RunSettings settings(5, 1, QStringLiteral("83,3"));
    settings.pace = runpace::Pace{2.5, 10, 3};
    RunDialog dialog(settings, true, false, nullptr);
    dialog.show();
    QCOMPARE(dialog.speedSpin->value(), 2.5);
    QCOMPARE(dialog.variationPercentSpin->value(), 10);
    QCOMPARE(dialog.variationPixelsSpin->value(), 3);
    // The boxes hold nothing out of range.
    dialog.speedSpin->setValue(0);
    QCOMPARE(dialog.speedSpin->value(), runpace::kMinSpeed);
    dialog.speedSpin->setValue(50);
    QCOMPARE(dialog.speedSpin->value(), runpace::kMaxSpeed);
    dialog.variationPercentSpin->setValue(150);
    QCOMPARE(dialog.variationPercentSpin->value(), 100);
    dialog.speedSpin->setValue(0.5);
    dialog.variationPercentSpin->setValue(25);
    dialog.variationPixelsSpin->setValue(0);
    dialog.startButton->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.settings().pace.speed, 0.5);
    QCOMPARE(dialog.settings().pace.variationPercent, 25);
    QCOMPARE(dialog.settings().pace.variationPixels, 0);
}

QTEST_MAIN(RunDialogTest)
#include "gui_rundialog.moc"
