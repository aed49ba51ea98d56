#include "tarnwick.h"

#include "platform/backend.h"

#include "capture/keycapture.h"
#include "core/pagerecords.h"
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

namespace {

PageList initialCommands() {
    return {pagerecords::newPageCommand()};
}
PageList initialConditions() {
    return {pagerecords::newPageCondition()};
}

} // namespace

tarnwick::tarnwick(QWidget *parent) : QMainWindow(parent) {
    listCommand = initialCommands();
    listCondition = initialConditions();
    savedListCommand = listCommand;
    savedListCondition = listCondition;
    listCommandHistory = {listCommand};
    listConditionHistory = {listCondition};

    setWindowTitle(QString::fromUtf16(uitexts::programTitle));
    setFixedSize(630, 585);
    loadConfig();
    buildUi();
    applyStartKey();
}

tarnwick::~tarnwick() {
    unregisterGlobalHotkey();
    if (startKeyHeld) {
        if (platform::GlobalShortcuts *shortcuts = platform::backend().shortcuts())
            shortcuts->remove(startKeyId);
    }
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
    // Names count as set only where a page has one.
    const auto named = [](const QStringList &names) {
        QStringList kept = names;
        while (!kept.isEmpty() && kept.constLast().isEmpty())
            kept.removeLast();
        return kept;
    };
    return listCommand != savedListCommand || listCondition != savedListCondition ||
           named(listName) != named(savedListName);
}

QString tarnwick::windowTitleForPath() const {
    if (hasNoProjectFile())
        return QString::fromUtf16(uitexts::newProjectName);
    return QFileInfo(filePath).baseName();
}

void tarnwick::closeEvent(QCloseEvent *event) {
    if (isProjectDirty() && is_message_file) {
        messageTitle = uitexts::warningTitle.in(is_japanese);
        messageText = uitexts::closeText.in(is_japanese);
        const auto answer = QMessageBox::warning(
            this, messageTitle, messageText, QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
        if (answer != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    // The only moment the configuration is written.
    saveConfig();
    unregisterGlobalHotkey();
    event->accept();
}
