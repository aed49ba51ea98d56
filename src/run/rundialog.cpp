#include "rundialog.h"

#include "capture/keycapture.h"
#include "core/keycombination.h"
#include "core/resourcepath.h"
#include "core/runcount.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr int kPollIntervalMs = 50;
constexpr int kCheckedState = 2; // Qt::Checked as the state signal passes it

KeyCaptureState &captureState() {
    return KeyCaptureState::runDialog();
}

// Runtime files are addressed relative to the working directory; when the
// program is started from elsewhere they are found where it was installed.
QString runtimeFile(const QString &relative) {
    return resourcepath::runtimeFile(relative, QCoreApplication::applicationDirPath());
}

QFont pointFont(int points) {
    QFont font;
    font.setPointSize(points);
    return font;
}

QString displayText(const QString &stopCommand) {
    return keyCombinationDisplayText(stopCommand, InvalidKeyText::InvalidKey);
}

} // namespace

RunDialog::RunDialog(const RunSettings &settings, bool noticeShown_, bool japanese_,
                     QWidget *parent)
    : QDialog(parent), seconds(qBound(1, settings.startDelay, kMaxStartDelay)),
      runCount(qBound(1, settings.runCount, kRepeatUntilStopped)),
      stopCommand(settings.stopCommand), noticeShown(noticeShown_), japanese(japanese_) {
    buildWidgets();
    applyTexts();

    // Connected before the states are set below, so that the slots hide what
    // the checked boxes stand in for.
    connect(repeatCheck, &QCheckBox::stateChanged, this, &RunDialog::changeCheckRunNumber);
    connect(noStopCommandCheck, &QCheckBox::stateChanged, this, &RunDialog::changeCheckHotKey);

    if (runCount == kRepeatUntilStopped) {
        repeatCheck->setChecked(true);
        runCountSpin->setValue(1);
    }
    if (stopCommand == QStringView(kNoKeyCombination)) {
        noStopCommandCheck->setChecked(true);
        // Unchecking the box then offers Ctrl+Alt+S.
        stopCommand = QString::fromUtf16(kDefaultStopCommand);
    }

    connect(startButton, &QPushButton::clicked, this, &RunDialog::onStartClicked);
    connect(changeButton, &QPushButton::clicked, this, &RunDialog::onHotKeyButtonPressed);
    pollTimer = new QTimer(this);
    connect(pollTimer, &QTimer::timeout, this, &RunDialog::pollHotKey);

    validateStopCommand();
    stopCommandLabel->setText(displayText(stopCommand));
    updateStartButtonState();
}

RunSettings RunDialog::settings() const {
    RunSettings settings;
    settings.startDelay = seconds;
    settings.runCount = runCount;
    settings.stopCommand = stopCommand;
    return settings;
}

RunDialog::~RunDialog() {
    if (capturing) {
        captureState().endCapture();
        pollTimer->stop();
    }
    captureState().uninstallKeyboardHook();
}

void RunDialog::buildWidgets() {
    setFixedSize(300, 430);
    setModal(true);

    const QFont big = pointFont(24);

    secondsLabel = new QLabel(this);
    secondsLabel->setGeometry(10, 10, 290, 40);
    secondsLabel->setFont(big);

    secondsSpin = new QSpinBox(this);
    secondsSpin->setGeometry(10, 60, 120, 40);
    secondsSpin->setFont(big);
    secondsSpin->setRange(1, kMaxStartDelay);
    secondsSpin->setValue(seconds);

    secondsUnitLabel = new QLabel(this);
    secondsUnitLabel->setGeometry(135, 60, 290, 40);
    secondsUnitLabel->setFont(big);

    runCountLabel = new QLabel(this);
    runCountLabel->setGeometry(10, 130, 190, 40);
    runCountLabel->setFont(big);

    runCountSpin = new QSpinBox(this);
    runCountSpin->setGeometry(10, 180, 120, 40);
    runCountSpin->setFont(big);
    runCountSpin->setRange(1, kMaxRunCount);
    runCountSpin->setValue(runCount); // the box itself stops at kMaxRunCount

    runCountUnitLabel = new QLabel(this);
    runCountUnitLabel->setGeometry(135, 180, 290, 40);
    runCountUnitLabel->setFont(big);

    repeatCheck = new QCheckBox(this);
    repeatCheck->move(10, 228);

    stopTitleLabel = new QLabel(this);
    stopTitleLabel->setGeometry(10, 250, 280, 40);
    stopTitleLabel->setFont(big);

    stopCommandLabel = new QLabel(this);
    stopCommandLabel->setGeometry(10, 290, 280, 40);
    stopCommandLabel->setFont(big);

    changeButton = new QPushButton(this);
    changeButton->setGeometry(190, 290, 100, 40);
    changeButton->setFont(pointFont(20));

    // Shares its place with the check box; wider than the dialog on purpose.
    keyPromptLabel = new QLabel(this);
    keyPromptLabel->setGeometry(10, 335, 380, 16);
    keyPromptLabel->setStyleSheet(QStringLiteral("font-size: 12px;"));
    keyPromptLabel->hide();

    noStopCommandCheck = new QCheckBox(this);
    noStopCommandCheck->move(10, 335);
    noStopCommandCheck->setIcon(QIcon(runtimeFile(QStringLiteral("image/danger.png"))));
    noStopCommandCheck->setIconSize(QSize(14, 14));

    startButton = new QPushButton(this);
    startButton->setGeometry(10, 360, 280, 60);
    startButton->setFont(big);
    startButton->setDefault(true);

    setTabOrder(secondsSpin, runCountSpin);
    setTabOrder(runCountSpin, changeButton);
    setTabOrder(changeButton, startButton);
}

void RunDialog::applyTexts() {
    const bool ja = japanese;
    setWindowTitle(ja ? QStringLiteral("実行設定") : QStringLiteral("Execution Settings"));
    secondsLabel->setText(ja ? QStringLiteral("開始までの秒数:")
                             : QStringLiteral("Seconds until start:"));
    secondsUnitLabel->setText(ja ? QStringLiteral("秒") : QStringLiteral("sec"));
    runCountLabel->setText(ja ? QStringLiteral("実行回数:") : QStringLiteral("Number of runs:"));
    runCountUnitLabel->setText(ja ? QStringLiteral("回") : QStringLiteral("times"));
    startButton->setText(ja ? QStringLiteral("開始") : QStringLiteral("Start"));
    stopTitleLabel->setText(ja ? QStringLiteral("終了コマンド:") : QStringLiteral("Exit command:"));
    keyPromptLabel->setText(ja ? QStringLiteral("単一または複数キーを押してください")
                               : QStringLiteral("Press one or more keys"));
    changeButton->setText(ja ? QStringLiteral("変更") : QStringLiteral("Change"));
    noStopCommandCheck->setText(ja ? QStringLiteral("終了コマンドを設定しない")
                                   : QStringLiteral("Do not set an exit command"));
    repeatCheck->setText(ja ? QStringLiteral("終了コマンドまで繰り返す")
                            : QStringLiteral("Repeat until exit command"));
}

void RunDialog::validateStopCommand() {
    if (stopCommand.isEmpty() || stopCommand == QStringView(kNoKeyCombination)) {
        stopCommandValid = false;
        return;
    }
    stopCommandValid = parseKeyCombination(stopCommand).valid;
}

void RunDialog::updateStartButtonState() {
    startButton->setVisible(!capturing && stopCommandValid);
}

void RunDialog::changeCheckRunNumber(int state) {
    const bool repeat = state == kCheckedState;
    runCountSpin->setVisible(!repeat);
    runCountUnitLabel->setVisible(!repeat);
}

void RunDialog::changeCheckHotKey(int state) {
    const bool noStopCommand = state == kCheckedState;
    stopCommandLabel->setVisible(!noStopCommand);
    changeButton->setVisible(!noStopCommand);
}

void RunDialog::onHotKeyButtonPressed() {
    KeyCaptureState &state = captureState();
    if (!state.installKeyboardHook()) {
        // The hook instance has logged why; the previous exit command stays.
        stopCommandLabel->setText(QStringLiteral("フック失敗"));
        return;
    }
    state.beginCapture();
    capturing = true;

    changeButton->hide();
    keyPromptLabel->show();
    stopCommandLabel->clear();
    noStopCommandCheck->hide();
    secondsSpin->setEnabled(false);
    runCountSpin->setEnabled(false);
    updateStartButtonState();
    pollTimer->start(kPollIntervalMs);
}

void RunDialog::pollHotKey() {
    KeyCaptureState &state = captureState();
    // The hook stores the mask before the key, so a key read here comes with its mask.
    const int key = state.lastKey.load();
    if (key == 0)
        return;
    const int mask = state.lastMask.load();
    state.endCapture();
    state.lastKey.store(0);
    capturing = false;
    pollTimer->stop();

    stopCommand = keyCombinationText(key, toStoredMask(mask));
    validateStopCommand();
    stopCommandLabel->setText(displayText(stopCommand));

    changeButton->show();
    noStopCommandCheck->show();
    keyPromptLabel->hide();
    secondsSpin->setEnabled(true);
    runCountSpin->setEnabled(true);
    updateStartButtonState();
}

void RunDialog::onStartClicked() {
    if (noStopCommandCheck->isChecked()) {
        // Asked on every start: without an exit command only the tray icon or
        // the end of the passes stops the run.
        const QString title = japanese
                                  ? QStringLiteral("このメッセージを無効化することはできません。")
                                  : QStringLiteral("This message cannot be disabled.");
        const QString text =
            japanese
                ? QStringLiteral(
                      "終了コマンドが設定されていません。\nタスクバーの右側にあるシステムト"
                      "レイもしくは\n指定回数でのみ終了可能です。\n危険ですが実行しますか？")
                : QStringLiteral(
                      "No termination command has been set. \nThe application can only be "
                      "terminated via the system tray on the right side of the taskbar or after a "
                      "specified number of terminations. \nThis is risky; do you wish to proceed?");
        answer = QMessageBox::warning(this, title, text, QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No);
    } else {
        if (!noticeShown) {
            const QString title = japanese
                                      ? QStringLiteral("次回からは表示されません。")
                                      : QStringLiteral("This will not be displayed next time.");
            const QString text =
                (japanese
                     ? QStringLiteral("現在の停止コマンドは「%1」です。\nこのコマンドは変更可能で"
                                      "す。\nこれを入力することでいかなる時でも\n0.2秒以内で実"
                                      "行中のプロジェクトを停止可能です。\n忘れないで下さい。")
                     : QStringLiteral("The current stop command is \"%1\".\nThis command can be "
                                      "changed.\nBy entering this command, you can stop the "
                                      "running project within 0.2 seconds at any time.\nPlease "
                                      "do not forget it."))
                    .arg(stopCommandLabel->text());
            QMessageBox::information(this, title, text, QMessageBox::Ok, QMessageBox::NoButton);
            noticeShown = true;
        }
        answer = QMessageBox::Yes;
    }
    if (answer != QMessageBox::Yes)
        return;

    seconds = secondsSpin->value();
    runCount = repeatCheck->isChecked() ? kRepeatUntilStopped : runCountSpin->value();
    if (noStopCommandCheck->isChecked())
        stopCommand = QString::fromUtf16(kNoKeyCombination);
    accept();
}
