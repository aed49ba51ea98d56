#include "rundialog.h"

#include "runtexts.h"

#include "capture/keycapture.h"
#include "core/keycombination.h"
#include "core/resourcepath.h"
#include "core/runcount.h"
#include "platform/displaysession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
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

// The dialog's size is fixed: a label whose text is wider than its place in
// this language is drawn smaller, never cut off.
void fitText(QLabel *label, int points) {
    QFont font = pointFont(points);
    while (font.pointSize() > 8 &&
           QFontMetrics(font).boundingRect(label->text()).width() > label->width())
        font.setPointSize(font.pointSize() - 1);
    label->setFont(font);
}

QString displayText(const QString &stopCommand) {
    return keyCombinationDisplayText(stopCommand, InvalidKeyText::InvalidKey);
}

} // namespace

RunDialog::RunDialog(const RunSettings &settings, bool noticeShown_, bool japanese_,
                     QWidget *parent)
    : QDialog(parent), seconds(qBound(1, settings.startDelay, kMaxStartDelay)),
      runCount(qBound(1, settings.runCount, kRepeatUntilStopped)),
      stopCommand(settings.stopCommand), noticeShown(noticeShown_), japanese(japanese_),
      pauseCommand(settings.pauseCommand), startCommand(settings.startCommand),
      pace(settings.pace) {
    buildWidgets();
    applyTexts();

    // Connected before the states are set below, so that the slots hide what
    // the checked boxes stand in for.
    connect(repeatCheck, &QCheckBox::stateChanged, this, &RunDialog::changeCheckRunNumber);
    connect(noStopCommandCheck, &QCheckBox::stateChanged, this, &RunDialog::changeCheckHotKey);
    connect(noStartKeyCheck, &QCheckBox::toggled, this, [this](bool none) {
        startCommandLabel->setVisible(!none);
        startChangeButton->setVisible(!none);
    });

    if (runCount == kRepeatUntilStopped) {
        repeatCheck->setChecked(true);
        runCountSpin->setValue(1);
    }
    if (stopCommand == QStringView(kNoKeyCombination)) {
        noStopCommandCheck->setChecked(true);
        // Unchecking the box then offers Ctrl+Alt+S.
        stopCommand = QString::fromUtf16(kDefaultStopCommand);
    }
    if (startCommand == QStringView(kNoKeyCombination))
        noStartKeyCheck->setChecked(true);

    connect(startButton, &QPushButton::clicked, this, &RunDialog::onStartClicked);
    connect(changeButton, &QPushButton::clicked, this, &RunDialog::onHotKeyButtonPressed);
    connect(pauseChangeButton, &QPushButton::clicked, this, &RunDialog::onPauseKeyButtonPressed);
    connect(startChangeButton, &QPushButton::clicked, this, &RunDialog::onStartKeyButtonPressed);
    pollTimer = new QTimer(this);
    connect(pollTimer, &QTimer::timeout, this, &RunDialog::pollHotKey);

    validateStopCommand();
    stopCommandLabel->setText(displayText(stopCommand));
    pauseCommandLabel->setText(displayText(pauseCommand));
    startCommandLabel->setText(displayText(startCommand));
    updateStartButtonState();
}

RunSettings RunDialog::settings() const {
    RunSettings settings;
    settings.startDelay = seconds;
    settings.runCount = runCount;
    settings.stopCommand = stopCommand;
    settings.pauseCommand = pauseCommand;
    settings.startCommand = startCommand;
    settings.pace = pace;
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
    setFixedSize(620, 430);
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
    runCountLabel->setGeometry(10, 130, 280, 40);
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

    // The right column: what changes how the run plays.
    const QFont middle = pointFont(16);
    const int x = 320;
    pauseTitleLabel = new QLabel(this);
    pauseTitleLabel->setGeometry(x, 10, 290, 30);
    pauseCommandLabel = new QLabel(this);
    pauseCommandLabel->setGeometry(x, 42, 180, 34);
    pauseChangeButton = new QPushButton(this);
    pauseChangeButton->setGeometry(x + 190, 42, 100, 34);

    startKeyTitleLabel = new QLabel(this);
    startKeyTitleLabel->setGeometry(x, 90, 290, 30);
    startCommandLabel = new QLabel(this);
    startCommandLabel->setGeometry(x, 122, 180, 34);
    startChangeButton = new QPushButton(this);
    startChangeButton->setGeometry(x + 190, 122, 100, 34);
    noStartKeyCheck = new QCheckBox(this);
    noStartKeyCheck->move(x, 160);

    speedTitleLabel = new QLabel(this);
    speedTitleLabel->setGeometry(x, 196, 120, 34);
    speedSpin = new QDoubleSpinBox(this);
    speedSpin->setGeometry(x + 130, 196, 160, 34);
    speedSpin->setRange(runpace::kMinSpeed, runpace::kMaxSpeed);
    speedSpin->setDecimals(2);
    speedSpin->setSingleStep(0.1);
    speedSpin->setValue(runpace::validSpeed(pace.speed) ? pace.speed : runpace::kDefaultSpeed);

    variationTitleLabel = new QLabel(this);
    variationTitleLabel->setGeometry(x, 244, 290, 30);
    variationTimeLabel = new QLabel(this);
    variationTimeLabel->setGeometry(x, 278, 120, 34);
    variationPercentSpin = new QSpinBox(this);
    variationPercentSpin->setGeometry(x + 130, 278, 160, 34);
    variationPercentSpin->setRange(0, runpace::kMaxVariationPercent);
    variationPercentSpin->setSuffix(QStringLiteral(" %"));
    variationPercentSpin->setValue(qBound(0, pace.variationPercent, runpace::kMaxVariationPercent));
    variationPlaceLabel = new QLabel(this);
    variationPlaceLabel->setGeometry(x, 318, 120, 34);
    variationPixelsSpin = new QSpinBox(this);
    variationPixelsSpin->setGeometry(x + 130, 318, 160, 34);
    variationPixelsSpin->setRange(0, runpace::kMaxVariationPixels);
    variationPixelsSpin->setValue(qBound(0, pace.variationPixels, runpace::kMaxVariationPixels));

    for (QWidget *widget : std::initializer_list<QWidget *>{
             pauseTitleLabel, pauseCommandLabel, startKeyTitleLabel, startCommandLabel,
             speedTitleLabel, speedSpin, variationTitleLabel, variationTimeLabel,
             variationPercentSpin, variationPlaceLabel, variationPixelsSpin, pauseChangeButton,
             startChangeButton})
        widget->setFont(middle);

    setTabOrder(secondsSpin, runCountSpin);
    setTabOrder(runCountSpin, changeButton);
    setTabOrder(changeButton, pauseChangeButton);
    setTabOrder(pauseChangeButton, startChangeButton);
    setTabOrder(startChangeButton, noStartKeyCheck);
    setTabOrder(noStartKeyCheck, speedSpin);
    setTabOrder(speedSpin, variationPercentSpin);
    setTabOrder(variationPercentSpin, variationPixelsSpin);
    setTabOrder(variationPixelsSpin, startButton);
}

void RunDialog::applyTexts() {
    using namespace runtexts;
    const bool ja = japanese;
    setWindowTitle(dialogTitle.in(ja));
    secondsLabel->setText(runtexts::secondsLabel.in(ja));
    secondsUnitLabel->setText(secondsUnit.in(ja));
    runCountLabel->setText(runtexts::runCountLabel.in(ja));
    runCountUnitLabel->setText(runCountUnit.in(ja));
    startButton->setText(runtexts::startButton.in(ja));
    stopTitleLabel->setText(stopTitle.in(ja));
    keyPromptLabel->setText(keyPrompt.in(ja));
    changeButton->setText(runtexts::changeButton.in(ja));
    noStopCommandCheck->setText(noStopCommand.in(ja));
    repeatCheck->setText(repeatUntilStopped.in(ja));
    for (QLabel *label : {secondsLabel, runCountLabel, stopTitleLabel})
        fitText(label, 24);
    pauseTitleLabel->setText(pauseTitle.in(ja));
    startKeyTitleLabel->setText(startKeyTitle.in(ja));
    noStartKeyCheck->setText(noStartKey.in(ja));
    speedTitleLabel->setText(runtexts::speedLabel.in(ja));
    speedSpin->setSuffix(speedSuffix.in(ja));
    variationTitleLabel->setText(runtexts::variationTitle.in(ja));
    variationTimeLabel->setText(variationTime.in(ja));
    variationPlaceLabel->setText(variationPlace.in(ja));
    variationPixelsSpin->setSuffix(pixelSuffix.in(ja));
    pauseChangeButton->setText(runtexts::changeButton.in(ja));
    startChangeButton->setText(runtexts::changeButton.in(ja));
    for (QLabel *label : {pauseTitleLabel, startKeyTitleLabel, speedTitleLabel, variationTitleLabel,
                          variationTimeLabel, variationPlaceLabel})
        fitText(label, 16);
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
    beginCapture(Capturing::Stop);
}

void RunDialog::onPauseKeyButtonPressed() {
    beginCapture(Capturing::Pause);
}

void RunDialog::onStartKeyButtonPressed() {
    beginCapture(Capturing::Start);
}

QLabel *RunDialog::captureLabel() const {
    switch (captureTarget) {
    case Capturing::Pause:
        return pauseCommandLabel;
    case Capturing::Start:
        return startCommandLabel;
    default:
        return stopCommandLabel;
    }
}

void RunDialog::beginCapture(Capturing target) {
    captureTarget = target;
    KeyCaptureState &state = captureState();
    if (!state.installKeyboardHook()) {
        // The hook instance has logged why; the previous keys stay.
        captureLabel()->setText(runtexts::hookFailed.in(japanese));
        return;
    }
    state.beginCapture();
    capturing = true;

    // The prompt stands under the keys it asks for.
    if (target == Capturing::Stop)
        keyPromptLabel->setGeometry(10, 335, 380, 16);
    else
        keyPromptLabel->setGeometry(captureLabel()->x(),
                                    captureLabel()->y() + captureLabel()->height(), 300, 16);
    keyPromptLabel->raise();
    showCaptureButtons(false);
    keyPromptLabel->show();
    captureLabel()->clear();
    updateStartButtonState();
    pollTimer->start(kPollIntervalMs);
}

void RunDialog::showCaptureButtons(bool shown) {
    changeButton->setVisible(shown && !noStopCommandCheck->isChecked());
    noStopCommandCheck->setVisible(shown);
    pauseChangeButton->setVisible(shown);
    startChangeButton->setVisible(shown && !noStartKeyCheck->isChecked());
    noStartKeyCheck->setVisible(shown);
    for (QWidget *box : std::initializer_list<QWidget *>{secondsSpin, runCountSpin, speedSpin,
                                                         variationPercentSpin, variationPixelsSpin})
        box->setEnabled(shown);
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

    const QString captured = keyCombinationText(key, toStoredMask(mask));
    switch (captureTarget) {
    case Capturing::Stop:
        stopCommand = captured;
        validateStopCommand();
        break;
    case Capturing::Pause:
        pauseCommand = captured;
        break;
    case Capturing::Start:
        startCommand = captured;
        break;
    }
    captureLabel()->setText(displayText(captured));

    showCaptureButtons(true);
    keyPromptLabel->hide();
    updateStartButtonState();
}

void RunDialog::onStartClicked() {
    // Keys that would pause on the stop keys, or start a run on them, are
    // refused before anything else is asked.
    const QString start =
        noStartKeyCheck->isChecked() ? QString::fromUtf16(kNoKeyCombination) : startCommand;
    const QString stop =
        noStopCommandCheck->isChecked() ? QString::fromUtf16(kNoKeyCombination) : stopCommand;
    const UiText *problem = nullptr;
    switch (runpace::keysProblem(stop, pauseCommand, start)) {
    case runpace::KeysProblem::None:
        break;
    case runpace::KeysProblem::PauseNoKey:
        problem = &runtexts::pauseNoKey;
        break;
    case runpace::KeysProblem::PauseIsStop:
        problem = &runtexts::pauseIsStop;
        break;
    case runpace::KeysProblem::StartNoKey:
        problem = &runtexts::startNoKey;
        break;
    case runpace::KeysProblem::StartIsStop:
        problem = &runtexts::startIsStop;
        break;
    case runpace::KeysProblem::StartIsPause:
        problem = &runtexts::startIsPause;
        break;
    }
    if (problem) {
        QMessageBox::warning(this, runtexts::keysProblemTitle.in(japanese), problem->in(japanese));
        return;
    }
    // A stop command on a code no keyboard sends (a saved "7,0") stops
    // nothing either, so it is asked about as none.
    if (noStopCommandCheck->isChecked() || !namesKeyboardKey(stopCommand)) {
        // Asked on every start: without an exit command only the tray icon or
        // the end of the passes stops the run.
        const QString title = runtexts::noStopTitle.in(japanese);
        const QString text = runtexts::noStopText.in(japanese);
        answer = QMessageBox::warning(this, title, text, QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No);
    } else {
        if (!noticeShown) {
            const QString title = runtexts::noticeTitle.in(japanese);
            const QString text = runtexts::noticeText.in(japanese).arg(stopCommandLabel->text());
            QMessageBox::information(this, title, text, QMessageBox::Ok, QMessageBox::NoButton);
            noticeShown = true;
        }
        answer = QMessageBox::Yes;
    }
    if (answer != QMessageBox::Yes)
        return;
    // Said at start already; said again, since what the run will reach
    // depends on it.
    const platform::SessionReach reach = platform::sessionChoice().reach;
    if (reach != platform::SessionReach::Everything) {
        const UiText &text = reach == platform::SessionReach::Nothing ? runtexts::sessionNothing
                                                                      : runtexts::sessionX11Only;
        QMessageBox::information(this, runtexts::sessionTitle.in(japanese), text.in(japanese),
                                 QMessageBox::Ok, QMessageBox::NoButton);
    }

    seconds = secondsSpin->value();
    runCount = repeatCheck->isChecked() ? kRepeatUntilStopped : runCountSpin->value();
    if (noStopCommandCheck->isChecked())
        stopCommand = QString::fromUtf16(kNoKeyCombination);
    startCommand = start;
    pace.speed = speedSpin->value();
    pace.variationPercent = variationPercentSpin->value();
    pace.variationPixels = variationPixelsSpin->value();
    accept();
}
