#include "tarnwick.h"

#include "uitexts.h"

#include "core/pagekinds.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>

Q_LOGGING_CATEGORY(lcTexts, "tarnwick.texts")

namespace {

// Item texts change in place, by index: the count, the current index and the
// page data stay, and nobody hears a change.
void renameItems(QComboBox *combo, const UiText *items, int count, bool japanese) {
    const QSignalBlocker blocker(combo);
    for (int i = 0; i < count && i < combo->count(); ++i)
        combo->setItemText(i, items[i].in(japanese));
}

// The kind menus by the registry rows their items carry.
void renameKindItems(QComboBox *combo, pagekinds::Side side, bool japanese) {
    const QSignalBlocker blocker(combo);
    for (int i = 0; i < combo->count(); ++i) {
        if (const pagekinds::Kind *kind = pagekinds::find(side, combo->itemData(i).toString()))
            combo->setItemText(i, pagekinds::menuText(*kind, japanese));
    }
}

} // namespace

void tarnwick::changeLanguage() {
    using namespace uitexts;
    qCDebug(lcTexts) << "言語変更";
    const bool ja = is_japanese;

    operationGroup->setTitle(uitexts::operationGroup.in(ja));
    conditionGroup->setTitle(uitexts::conditionGroup.in(ja));
    pageGroup->setTitle(uitexts::pageGroup.in(ja));
    newProjectButton->setText(uitexts::newProjectButton.in(ja));
    loadProjectButton->setText(uitexts::loadProjectButton.in(ja));
    languageButton->setText(uitexts::languageButton.in(ja));
    addCommandButton->setText(addButton.in(ja));
    addConditionButton->setText(addButton.in(ja));
    testButton->setText(uitexts::testButton.in(ja));
    commandLabel->setText(uitexts::commandLabel.in(ja));
    commandSecLabel->setText(secLabel.in(ja));
    conditionLabel->setText(uitexts::conditionLabel.in(ja));
    conditionSecLabel->setText(secLabel.in(ja));
    prevPageButton->setText(uitexts::prevPageButton.in(ja));
    runButton->setText(uitexts::runButton.in(ja));
    nextPageButton->setText(uitexts::nextPageButton.in(ja));
    deleteButton->setText(uitexts::deleteButton.in(ja));
    undoButton->setText(uitexts::undoButton.in(ja));
    redoButton->setText(uitexts::redoButton.in(ja));
    pageCountLabel->setText(uitexts::pageCountLabel.in(ja));
    copyButton->setText(uitexts::copyButton.in(ja));
    pasteButton->setText(uitexts::pasteButton.in(ja));
    coordXLabel->setText(uitexts::coordXLabel.in(ja));
    coordXLabel2->setText(uitexts::coordXLabel.in(ja));
    coordYLabel->setText(uitexts::coordYLabel.in(ja));
    coordYLabel2->setText(uitexts::coordYLabel.in(ja));
    coordGetButton->setText(uitexts::coordGetButton.in(ja));
    coordGetButton2->setText(uitexts::coordGetButton.in(ja));

    renameKindItems(commandCombo, pagekinds::Side::Command, ja);
    renameItems(commandClickCombo, clickSides, 2, ja);
    renameItems(conditionClickCombo, clickSides, 2, ja);
    renameKindItems(conditionCombo, pagekinds::Side::Condition, ja);

    const std::pair<QMenu *, const UiText *> menus[] = {
        {fileMenu, &uitexts::fileMenu},         {reportMenu, &uitexts::reportMenu},
        {settingsMenu, &uitexts::settingsMenu}, {versionMenu, &uitexts::versionMenu},
        {helpMenu, &uitexts::helpMenu},         {otherMenu, &uitexts::otherMenu},
    };
    for (const auto &[menu, text] : menus)
        menu->setTitle(text->in(ja));

    const std::pair<QAction *, const UiText *> actions[] = {
        {newAction, &uitexts::newAction},
        {openAction, &uitexts::openAction},
        {saveAsAction, &uitexts::saveAsAction},
        {saveAction, &uitexts::saveAction},
        {reportBugAction, &uitexts::reportBugAction},
        {suggestAction, &uitexts::suggestAction},
        {needReplyAction, &uitexts::needReplyAction},
        {askSaveAction, &uitexts::askSaveAction},
        {askPasteAction, &uitexts::askPasteAction},
        {askDeleteAction, &uitexts::askDeleteAction},
        {versionInfoAction, &uitexts::versionInfoAction},
        {helpModeAction, &uitexts::helpModeAction},
        {askHowToUseAction, &uitexts::askHowToUseAction},
        {languageAction, &uitexts::languageAction},
        {viewTermsAction, &uitexts::viewTermsAction},
        {viewOssNoticeAction, &uitexts::viewOssNoticeAction},
        {viewQtInfoAction, &uitexts::viewQtInfoAction},
        {viewLgplAction, &uitexts::viewLgplAction},
    };
    for (const auto &[action, text] : actions)
        action->setText(text->in(ja));
    recordAction->setText(uitexts::recordAction.in(ja));
    recordAction->setToolTip(is_help ? uitexts::tipRecordAction.in(ja) : QString());

    // Help Mode: an empty tooltip shows nothing, so clearing is setting "".
    const std::pair<QWidget *, const UiText *> tips[] = {
        {commandCombo, &tipCommandCombo},      {addCommandButton, &tipAddCommandButton},
        {testButton, &tipTestButton},          {commandLabel, &tipCommandLabel},
        {inputTextEdit, &tipInputTextEdit},    {commandClickCombo, &tipClickCombo},
        {conditionClickCombo, &tipClickCombo}, {commandTimeSpin, &tipCommandTimeSpin},
        {conditionCombo, &tipConditionCombo},  {addConditionButton, &tipAddConditionButton},
        {conditionLabel, &tipConditionLabel},  {conditionTimeSpin, &tipConditionTimeSpin},
        {prevPageButton, &tipPrevPageButton},  {runButton, &tipRunButton},
        {nextPageButton, &tipNextPageButton},  {deleteButton, &tipDeleteButton},
        {pageCountLabel, &tipPageCountLabel},  {pageList, &tipPageList},
        {copyButton, &tipCopyButton},          {pasteButton, &tipPasteButton},
        {coordXSpin, &tipCoordXSpin},          {coordYSpin, &tipCoordYSpin},
        {coordGetButton, &tipCoordGetButton},  {coordXSpin2, &tipCoordXSpin},
        {coordYSpin2, &tipCoordYSpin},         {coordGetButton2, &tipCoordGetButton},
        {clockHourSpin, &tipClockHourSpin},    {clockMinuteSpin, &tipClockMinuteSpin},
        {undoButton, &tipUndoButton},          {redoButton, &tipRedoButton},
    };
    for (const auto &[widget, text] : tips)
        widget->setToolTip(is_help ? text->in(ja) : QString());

    // The page list, the counter and the two labels are the editor's to write.
    if (editorOpen)
        refreshPage();
}

void tarnwick::toggleLanguage() {
    is_japanese = !is_japanese;
    changeLanguage();
}

void tarnwick::onHelpModeTriggered(bool checked) {
    is_help = checked;
    changeLanguage();
}
