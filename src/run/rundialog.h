#pragma once

// The run settings dialog: seconds until start, number of runs (or repeat
// until the exit command) and the exit command on the left; the pause keys,
// the start key, the speed and the variation on the right. Key combinations
// are captured with the dialog's own keyboard hook. Built for one modal exec; the caller reads the
// settings back with settings() after it was accepted.

#include "core/runsettings.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

class RunDialog : public QDialog {
    Q_OBJECT

public:
    RunDialog(const RunSettings &settings, bool noticeShown, bool japanese,
              QWidget *parent = nullptr);
    ~RunDialog() override;

    // What was accepted, as one value.
    RunSettings settings() const;
    int getSeconds() const { return seconds; }
    int getRunCount() const { return runCount; }
    QString getStopCommand() const { return stopCommand; }
    bool getNoticeShown() const { return noticeShown; }

public slots:
    void onHotKeyButtonPressed();
    void pollHotKey();
    void updateStartButtonState();
    void changeCheckRunNumber(int state);
    void changeCheckHotKey(int state);
    void onPauseKeyButtonPressed();
    void onStartKeyButtonPressed();

public:
    // ---- members, in declaration order (widgets are children of the dialog) ----
    int answer = 0; // QMessageBox::StandardButton of the no-exit-command warning
    QLabel *secondsLabel = nullptr;
    QLabel *secondsUnitLabel = nullptr;
    QSpinBox *secondsSpin = nullptr;
    QLabel *runCountLabel = nullptr;
    QLabel *runCountUnitLabel = nullptr;
    QSpinBox *runCountSpin = nullptr;
    QPushButton *startButton = nullptr;
    QLabel *stopTitleLabel = nullptr;
    QLabel *stopCommandLabel = nullptr;
    QLabel *keyPromptLabel = nullptr;
    QPushButton *changeButton = nullptr;
    QCheckBox *noStopCommandCheck = nullptr;
    QCheckBox *repeatCheck = nullptr;
    QLabel *pauseTitleLabel = nullptr;
    QLabel *pauseCommandLabel = nullptr;
    QPushButton *pauseChangeButton = nullptr;
    QLabel *startKeyTitleLabel = nullptr;
    QLabel *startCommandLabel = nullptr;
    QPushButton *startChangeButton = nullptr;
    QCheckBox *noStartKeyCheck = nullptr;
    QLabel *speedTitleLabel = nullptr;
    QDoubleSpinBox *speedSpin = nullptr;
    QLabel *variationTitleLabel = nullptr;
    QLabel *variationTimeLabel = nullptr;
    QSpinBox *variationPercentSpin = nullptr;
    QLabel *variationPlaceLabel = nullptr;
    QSpinBox *variationPixelsSpin = nullptr;
    int seconds = 1;
    int runCount = 1;
    QString stopCommand;
    bool noticeShown = false;
    bool japanese = true;
    QTimer *pollTimer = nullptr;
    bool capturing = false;
    bool stopCommandValid = false;
    QString pauseCommand;
    QString startCommand;
    runpace::Pace pace;
    // What the running capture fills in.
    enum class Capturing { Stop, Pause, Start };
    Capturing captureTarget = Capturing::Stop;

private:
    void buildWidgets();
    void applyTexts();
    void validateStopCommand();
    void onStartClicked();
    void beginCapture(Capturing target);
    // The capture's widgets shown again, or hidden while it waits.
    void showCaptureButtons(bool shown);
    QLabel *captureLabel() const;
};
