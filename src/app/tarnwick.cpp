#include "tarnwick.h"

#include "platform/backend.h"

#include "capture/keycapture.h"
#include "coordinatecapture.h"
#include "core/projectdocument.h"
#include "projectfiles.h"
#include "recordinglauncher.h"
#include "runlauncher.h"
#include "templatesource.h"
#include "uitexts.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

tarnwick::tarnwick(QWidget *parent)
    : QMainWindow(parent), document(new ProjectDocument(this)),
      files(new ProjectFiles(*document, settings, this)),
      runs(new RunLauncher(*document, settings, *files, this)),
      templates(new TemplateSource(*document, settings.is_japanese, this)),
      capture(new CoordinateCapture(settings.is_japanese, this)),
      recorder(new RecordingLauncher(*document, settings, this)) {
    connect(recorder, &RecordingLauncher::recorded, this, &tarnwick::refreshPage);
    connect(templates, &TemplateSource::taken, this, &tarnwick::setTemplate);
    connect(capture, &CoordinateCapture::picked, this, &tarnwick::takeCoordinate);
    connect(capture, &CoordinateCapture::promptClosed, this,
            [this] { coordinateForColour = false; });
    connect(files, &ProjectFiles::projectChanged, this, &tarnwick::refreshPage);
    connect(runs, &RunLauncher::runFinished, this, &tarnwick::onRunFinished);
    connect(runs, &RunLauncher::startKeyPressed, this, &tarnwick::startFromKey);

    setWindowTitle(QString::fromUtf16(uitexts::programTitle));
    setFixedSize(630, 585);
    loadConfig();
    buildUi();
    runs->applyStartKey();
}

tarnwick::~tarnwick() {
    capture->unregisterGlobalHotkey();
    // The timer goes first so that no poll runs against a hook that is gone.
    if (keyPollTimer && keyPollTimer->isActive())
        keyPollTimer->stop();
    KeyCaptureState &capture = KeyCaptureState::editor();
    if (capture.captureActive.load())
        capture.endCapture();
    if (capture.keyboardHook)
        capture.uninstallKeyboardHook();
    capture.captureActive.store(0);
}

void tarnwick::enterEditor() {
    newProjectButton->hide();
    loadProjectButton->hide();
    languageButton->hide();

    const QList<QWidget *> editorWidgets = {
        commandLabel,       conditionCombo,    commandCombo,      addCommandButton,
        runButton,          nextPageButton,    pageCountLabel,    conditionLabel,
        addConditionButton, conditionSecLabel, conditionTimeSpin, operationGroup,
        conditionGroup,     pageList,          pageGroup,         copyButton};
    for (QWidget *w : editorWidgets)
        w->show();

    editorOpen = true;
    // Decides the final visibility of every editor widget, the menu bar included.
    refreshPage();
}

bool tarnwick::isProjectDirty() const {
    return document->isModified();
}

QString tarnwick::windowTitleForPath() const {
    return files->windowTitleForPath();
}

void tarnwick::closeEvent(QCloseEvent *event) {
    if (isProjectDirty() && settings.is_message_file) {
        messageTitle = uitexts::warningTitle.in(settings.is_japanese);
        messageText = uitexts::closeText.in(settings.is_japanese);
        const auto answer = QMessageBox::warning(
            this, messageTitle, messageText, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    // The only moment the configuration is written.
    files->saveConfig();
    capture->unregisterGlobalHotkey();
    event->accept();
}
