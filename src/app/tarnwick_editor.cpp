// Pages, navigation, page clipboard, undo/redo and the command and condition
// editor. The decisions live in core/pagerecords and core/history; the slots
// here read the widgets, keep the members up to date and redraw.

#include "editorpanes.h"
#include "tarnwick.h"
#include "uitexts.h"

#include "capture/keycapture.h"
#include "core/history.h"
#include "core/keycombination.h"
#include "core/pageflow.h"
#include "core/pagerecords.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QTextEdit>
#include <QTimer>

// The page list, both lists and both histories after every refresh: far too
// much to build on each refresh of a long project, so off unless asked for
// (QT_LOGGING_RULES="tarnwick.editor.dump.debug=true").
Q_LOGGING_CATEGORY(lcEditorDump, "tarnwick.editor.dump", QtWarningMsg)

using pagekinds::Side;
using pagerecords::element;

namespace {

constexpr int kKeyPollIntervalMs = 50;

pagerecords::Project projectOf(tarnwick &w) {
    return pagerecords::Project{w.listCommand, w.listCondition, w.currentPage};
}

// The history keeps the names as one more command record after the pages,
// only where a page has a name: a project without names is recorded as
// before. No stored kind starts with a NUL.
const QString kNamesRecord = QStringLiteral("\u0000names");

PageList commandsWithNames(const tarnwick &w) {
    const bool named = std::any_of(w.listName.begin(), w.listName.end(),
                                   [](const QString &n) { return !n.isEmpty(); });
    if (!named)
        return w.listCommand;
    PageList commands = w.listCommand;
    commands.append(QStringList{kNamesRecord} + w.listName);
    return commands;
}

void takeNamesFromHistory(tarnwick &w) {
    if (!w.listCommand.isEmpty() && w.listCommand.constLast().value(0) == kNamesRecord)
        w.listName = w.listCommand.takeLast().mid(1);
    else
        w.listName.clear();
}

history::History historyOf(tarnwick &w) {
    return history::History{w.listCommandHistory, w.listConditionHistory, w.historyIndex};
}

bool askYesNo(QWidget *parent, const QString &title, const QString &text) {
    return QMessageBox::warning(parent, title, text, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void setAllVisible(std::initializer_list<QWidget *> widgets, bool visible) {
    for (QWidget *w : widgets)
        w->setVisible(visible);
}

// The page list measures every entry again whenever one text changes; with
// thousands of pages that alone takes longer than a frame. The sizes are the
// standard delegate's, remembered per text (and dropped when the font
// changes), so an entry that did not change is not measured again.
class PageListDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override {
        if (index.data(Qt::SizeHintRole).isValid())
            return QStyledItemDelegate::sizeHint(option, index);
        if (!(option.font == font_) || sizes_.size() > 4 * index.model()->rowCount() + 64) {
            sizes_.clear();
            font_ = option.font;
        }
        const QString text = index.data(Qt::DisplayRole).toString();
        const auto known = sizes_.constFind(text);
        if (known != sizes_.cend())
            return *known;
        const QSize size = QStyledItemDelegate::sizeHint(option, index);
        sizes_.insert(text, size);
        return size;
    }

private:
    mutable QHash<QString, QSize> sizes_;
    mutable QFont font_;
};

} // namespace

// ---- start page ----

void tarnwick::addNewCommand() {
    filePath = noProjectFilePath();
    enterEditor();
}

// ---- kind menus and "追加" ----

// The combo items carry the stored kind as their data: the item texts are
// only what the current language calls it.
void tarnwick::changeMenuAddCommand() {
    selectedCommandKind = commandCombo->currentData().toString();
}

void tarnwick::changeMenuAddCondition() {
    selectedConditionKind = conditionCombo->currentData().toString();
}

void tarnwick::addCommand() {
    if (keyPollTimer->isActive())
        return;
    const QString kindString = commandCombo->currentData().toString();
    const QStringList fresh = pagerecords::freshCommandRecord(kindString);
    if (fresh.isEmpty())
        return;
    projectOf(*this).clampCurrentPage();
    listCommand[currentPage - 1] = fresh;
    const editorpanes::Pane *pane = editorpanes::find(Side::Command, kindString);
    if (pane && pane->takeKey)
        startKeyCapture(false);
    else
        refreshPage();
}

void tarnwick::addCondition() {
    if (keyPollTimer->isActive())
        return;
    const QString kindString = conditionCombo->currentData().toString();
    const QStringList fresh = pagerecords::freshConditionRecord(kindString, QTime::currentTime());
    if (fresh.isEmpty())
        return;
    projectOf(*this).clampCurrentPage();
    listCondition[currentPage - 1] = fresh;
    const editorpanes::Pane *pane = editorpanes::find(Side::Condition, kindString);
    if (pane && pane->takeKey)
        startKeyCapture(true);
    else
        refreshPage();
}

// ---- key capture ----

void tarnwick::startKeyCapture(bool forCondition) {
    captureForCondition = forCondition;
    // The empty key hides the page navigation for the whole capture.
    refreshPage();
    setKeyCaptureMode(true, captureForCondition);

    KeyCaptureState &capture = KeyCaptureState::editor();
    capture.beginCapture();
    if (capture.installKeyboardHook()) {
        keyPollTimer->start(kKeyPollIntervalMs);
        return;
    }
    (captureForCondition ? conditionLabel : commandLabel)
        ->setText(QString::fromUtf16(uitexts::keyHookFailed));
    capture.endCapture();
    setKeyCaptureMode(false, false);
}

bool tarnwick::keyCaptureRunning() const {
    return keyPollTimer && keyPollTimer->isActive();
}

void tarnwick::pollKeystroke() {
    KeyCaptureState &capture = KeyCaptureState::editor();
    const int key = capture.lastKey.load();
    if (key == 0)
        return;
    keyPollTimer->stop();
    capture.endCapture();
    capture.uninstallKeyboardHook();
    const int mask = capture.lastMask.load();
    const QString text = keyCombinationText(key, toStoredMask(mask));

    projectOf(*this).clampCurrentPage();
    QStringList &record = (captureForCondition ? listCondition : listCommand)[currentPage - 1];
    const editorpanes::Pane *pane = editorpanes::find(
        captureForCondition ? pagekinds::Side::Condition : pagekinds::Side::Command,
        record.value(0));
    if (pane && pane->takeKey)
        pane->takeKey(record, text);
    setKeyCaptureMode(false, false);
    refreshPage();
}

void tarnwick::setKeyCaptureMode(bool capturing, bool forCondition) {
    if (!capturing) {
        operationGroup->setEnabled(true);
        conditionGroup->setEnabled(true);
        pageGroup->setEnabled(true);
        menuBar()->setEnabled(true);
        return;
    }
    // The frame of the side being captured is shown disabled.
    operationGroup->setEnabled(forCondition);
    conditionGroup->setEnabled(!forCondition);
    pageGroup->setEnabled(false);
    menuBar()->setEnabled(false);
    const QString prompt = uitexts::keyPrompt.in(is_japanese);
    if (forCondition) {
        conditionKeyPromptLabel->setText(prompt);
        conditionSecLabel->hide();
        conditionTimeSpin->hide();
    } else {
        commandKeyPromptLabel->setText(prompt);
        commandSecLabel->hide();
        commandTimeSpin->hide();
    }
}

void tarnwick::setNavigationHidden(bool hidden) {
    setAllVisible({runButton, nextPageButton, prevPageButton, deleteButton, addCommandButton,
                   addConditionButton, static_cast<QWidget *>(menuBar()), pageList, copyButton,
                   pasteButton},
                  !hidden);
}

void tarnwick::applyNavigationRules() {
    if (currentPage == 1)
        prevPageButton->hide();
    if (listCommand.size() == 1)
        deleteButton->hide();
    if (copiedCommand.isEmpty())
        pasteButton->hide();
}

// ---- value widgets ----

void tarnwick::changeSomeThing() {
    if (refreshing)
        return;
    if (currentPage < 1 || currentPage > listCommand.size())
        return;
    const int i = currentPage - 1;

    QStringList command = listCommand.at(i);
    QStringList condition = listCondition.at(i);
    editorpanes::applyValues(command, condition, *this);
    // Writing only real changes keeps the lists shared with the history.
    if (command != listCommand.at(i))
        listCommand[i] = command;
    if (condition != listCondition.at(i))
        listCondition[i] = condition;
    editorpanes::follow(*this, Side::Command, command);
    editorpanes::follow(*this, Side::Condition, condition);
    // A screen page turned to a window counts its windows from now on.
    if (editorpanes::showWindowMatches(*this))
        windowMatchTimer->start();
    else
        windowMatchTimer->stop();

    const editorpanes::Pane *pane = editorpanes::find(Side::Command, element(command, 0));
    if (pane && pane->editsDecideNavigation && pane->incomplete) {
        // The first typed character brings the navigation back at once.
        setNavigationHidden(pane->incomplete(command));
        applyNavigationRules();
    }
}

// ---- navigation ----

void tarnwick::nextPage() {
    if (!nextPageButton->isVisible() || keyCaptureRunning())
        return;
    const int pages = int(listCommand.size());
    projectOf(*this).goNext();
    if (listCommand.size() > pages)
        namesInserted(pages);
    refreshPage();
}

void tarnwick::returnPage() {
    if (!prevPageButton->isVisible() || keyCaptureRunning())
        return;
    projectOf(*this).goPrevious();
    refreshPage();
}

void tarnwick::changeWidgetPage() {
    if (refreshing)
        return;
    if (keyCaptureRunning()) {
        // Put the selection back on the page the capture writes to.
        refreshing = true;
        pageList->setCurrentRow(currentPage);
        refreshing = false;
        return;
    }
    const QListWidgetItem *item = pageList->currentItem();
    if (!item)
        return;
    const QString text = item->text();
    pagerecords::Project project = projectOf(*this);
    project.clampCurrentPage();
    if (text == pagerecords::plusEntry) {
        project.insertAtPlusRow(pageList->currentRow());
        namesInserted(currentPage - 1);
    } else {
        const int page = pagerecords::pageNumberOfEntry(text);
        if (page > 0)
            currentPage = page;
    }
    refreshPage();
}

void tarnwick::deletePage() {
    if (!deleteButton->isVisible() || keyCaptureRunning())
        return;
    projectOf(*this).clampCurrentPage();
    // A page that jumps point at is asked about whatever the setting, naming them.
    const QList<int> jumps =
        pageflow::pagesJumpingTo(listCommand, listCondition, listName, currentPage - 1);
    if (!jumps.isEmpty() && listCommand.size() > 1) {
        QStringList pages;
        for (const int page : jumps)
            pages << QString::number(page + 1);
        messageTitle = uitexts::warningTitle.in(is_japanese);
        messageText = uitexts::deleteTargetText.in(is_japanese)
                          .arg(currentPage)
                          .arg(pages.join(QStringLiteral(", ")));
        if (!askYesNo(this, messageTitle, messageText))
            return;
        pageflow::renameTargets(listCommand, listCondition, listName.value(currentPage - 1), {});
    } else if (is_message_delete) {
        messageTitle = uitexts::warningTitle.in(is_japanese);
        messageText = uitexts::deletePageText.in(is_japanese).arg(currentPage);
        if (!askYesNo(this, messageTitle, messageText))
            return;
    }
    const int removed = currentPage - 1;
    if (projectOf(*this).deleteCurrent())
        namesRemoved(removed);
    refreshPage();
}

// ---- page clipboard ----

void tarnwick::copy() {
    if (!copyButton->isVisible())
        return;
    projectOf(*this).clampCurrentPage();
    copiedCommand = listCommand.at(currentPage - 1);
    copiedCondition = listCondition.at(currentPage - 1);
    refreshPage();
}

void tarnwick::paste() {
    if (!pasteButton->isVisible() || keyCaptureRunning())
        return;
    if (copiedCommand.isEmpty()) {
        refreshPage();
        return;
    }
    projectOf(*this).clampCurrentPage();
    const int i = currentPage - 1;
    if (!pagerecords::isBlankPage(listCommand.at(i), listCondition.at(i)) && is_message_paste) {
        messageTitle = uitexts::warningTitle.in(is_japanese);
        messageText = uitexts::replacePageText.in(is_japanese).arg(currentPage);
        if (!askYesNo(this, messageTitle, messageText)) {
            refreshPage();
            return;
        }
    }
    listCommand[i] = copiedCommand;
    listCondition[i] = copiedCondition;
    refreshPage();
}

// ---- undo / redo ----

void tarnwick::pageBack() {
    if (!undoButton->isVisible() || keyCaptureRunning())
        return;
    restoringHistory = true;
    historyOf(*this).undo(listCommand, listCondition);
    takeNamesFromHistory(*this);
    refreshPage();
    restoringHistory = false;
}

void tarnwick::pageForward() {
    if (!redoButton->isVisible() || keyCaptureRunning())
        return;
    restoringHistory = true;
    historyOf(*this).redo(listCommand, listCondition);
    takeNamesFromHistory(*this);
    refreshPage();
    restoringHistory = false;
}

// ---- redraw ----

void tarnwick::refreshPage() {
    refreshing = true;
    while (listName.size() < listCommand.size())
        listName.append(QString());
    while (listName.size() > listCommand.size())
        listName.removeLast();

    // The page's panes show their own widgets again below. The seconds label
    // of the condition frame is shown by no pane.
    for (QWidget *widget : editorpanes::valueWidgets(*this))
        widget->hide();
    setAllVisible({conditionSecLabel, undoButton, redoButton}, false);

    projectOf(*this).clampCurrentPage();
    // Everything of the navigation is shown here and hidden again below by the
    // page's own needs. Leaving it as the previous page had it would keep it
    // hidden forever after undoing an empty Key or Enter Text page.
    setNavigationHidden(false);

    showCommandArea();
    showConditionArea();
    if (editorpanes::showWindowMatches(*this))
        windowMatchTimer->start();
    else
        windowMatchTimer->stop();
    applyNavigationRules();

    rebuildPageList();
    pageCountLabel->setText(QStringLiteral("%1/%2").arg(currentPage).arg(listCommand.size()));
    setWindowTitle(windowTitleForPath());
    qCDebug(lcEditorDump) << "pageList"
                          << pagerecords::pageListTexts(listCommand, currentPage, is_japanese);
    qCDebug(lcEditorDump) << "listCommand" << listCommand;
    qCDebug(lcEditorDump) << "listCondition" << listCondition;

    history::History steps = historyOf(*this);
    if (!restoringHistory)
        steps.record(commandsWithNames(*this), listCondition);
    undoButton->setVisible(steps.canUndo());
    redoButton->setVisible(steps.canRedo());
    qCDebug(lcEditorDump) << "historyIndex" << historyIndex << "listCommandHistory"
                          << listCommandHistory << "listConditionHistory" << listConditionHistory;

    refreshing = false;
}

void tarnwick::showPane(Side side, const QStringList &record) {
    const QString kindString = element(record, 0);
    const QString label = side == Side::Command
                              ? pagerecords::commandKindLabel(kindString, is_japanese)
                              : pagerecords::conditionKindLabel(kindString, is_japanese);
    if (!label.isNull())
        (side == Side::Command ? commandLabel : conditionLabel)->setText(label);

    const editorpanes::Pane *pane = editorpanes::find(side, kindString);
    if (!pane)
        return;
    pane->show(*this, record);
    for (QWidget *widget : pane->widgets(*this))
        widget->show();
    if (pane->follow)
        pane->follow(*this, record);
    if (pane->incomplete)
        setNavigationHidden(pane->incomplete(record));
}

void tarnwick::showCommandArea() {
    showPane(Side::Command, listCommand.at(currentPage - 1));
}

void tarnwick::showConditionArea() {
    showPane(Side::Condition, listCondition.at(currentPage - 1));
}

// Cleared and refilled in effect, but the items are reused and only texts
// that differ are set: moving to the next page of a long project touches a
// handful of rows instead of rebuilding thousands.
void tarnwick::rebuildPageList() {
    if (!dynamic_cast<PageListDelegate *>(pageList->itemDelegate()))
        pageList->setItemDelegate(new PageListDelegate(pageList));
    QStringList texts = pagerecords::pageListTexts(listCommand, currentPage, is_japanese);
    // A named page shows its name after its kind: "3.Click [retry]".
    for (QString &text : texts) {
        const int page = pagerecords::pageNumberOfEntry(text);
        if (page > 0 && !listName.value(page - 1).isEmpty())
            text += QStringLiteral(" [%1]").arg(listName.value(page - 1));
    }
    const int wanted = int(texts.size());
    while (pageList->count() > wanted)
        delete pageList->takeItem(pageList->count() - 1);
    const int kept = pageList->count();
    for (int row = 0; row < kept; ++row) {
        QListWidgetItem *item = pageList->item(row);
        if (item->text() != texts.at(row))
            item->setText(texts.at(row));
    }
    if (kept < wanted)
        pageList->addItems(texts.mid(kept));
    pageList->setCurrentRow(currentPage);
    pageList->scrollToItem(pageList->item(currentPage), QAbstractItemView::PositionAtCenter);
}
