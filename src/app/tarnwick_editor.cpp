// Pages, navigation, page clipboard, undo/redo and the command and condition
// editor. The decisions live in core/pagerecords and core/history; the slots
// here read the widgets, keep the members up to date and redraw.

#include "editorpanes.h"
#include "tarnwick.h"
#include "uitexts.h"

#include "capture/keycapture.h"
#include "core/keycombination.h"
#include "core/pageflow.h"
#include "core/pagerecords.h"
#include "core/projectdocument.h"
#include "projectfiles.h"

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
    document->setFilePath(ProjectFiles::noProjectFilePath());
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
    document->clampCurrentPage();
    document->setCurrentCommand(fresh);
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
    document->clampCurrentPage();
    document->setCurrentCondition(fresh);
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

    document->clampCurrentPage();
    const Page shown = document->page(document->currentPage() - 1);
    QStringList record = captureForCondition ? shown.condition : shown.command;
    const editorpanes::Pane *pane = editorpanes::find(
        captureForCondition ? pagekinds::Side::Condition : pagekinds::Side::Command,
        record.value(0));
    if (pane && pane->takeKey)
        pane->takeKey(record, text);
    if (captureForCondition)
        document->setCurrentCondition(record);
    else
        document->setCurrentCommand(record);
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
    const QString prompt = uitexts::keyPrompt.in(settings.is_japanese);
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
    if (document->currentPage() == 1)
        prevPageButton->hide();
    if (document->pageCount() == 1)
        deleteButton->hide();
    if (!document->hasCopiedPage())
        pasteButton->hide();
}

// ---- value widgets ----

void tarnwick::changeSomeThing() {
    if (refreshing)
        return;
    const int i = document->currentPage() - 1;
    if (i < 0 || i >= document->pageCount())
        return;
    const Page page = document->page(i);

    QStringList command = page.command;
    QStringList condition = page.condition;
    editorpanes::applyValues(command, condition, *this);
    // Only real changes are written, which keeps the pages shared with the history.
    document->setCommandAt(i, command);
    document->setConditionAt(i, condition);
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
    document->goNext();
    refreshPage();
}

void tarnwick::returnPage() {
    if (!prevPageButton->isVisible() || keyCaptureRunning())
        return;
    document->goPrevious();
    refreshPage();
}

void tarnwick::changeWidgetPage() {
    if (refreshing)
        return;
    if (keyCaptureRunning()) {
        // Put the selection back on the page the capture writes to.
        refreshing = true;
        pageList->setCurrentRow(document->currentPage());
        refreshing = false;
        return;
    }
    const QListWidgetItem *item = pageList->currentItem();
    if (!item)
        return;
    const QString text = item->text();
    document->clampCurrentPage();
    if (text == pagerecords::plusEntry) {
        document->insertAtPlusRow(pageList->currentRow());
    } else {
        const int page = pagerecords::pageNumberOfEntry(text);
        if (page > 0)
            document->setCurrentPage(page);
    }
    refreshPage();
}

void tarnwick::deletePage() {
    if (!deleteButton->isVisible() || keyCaptureRunning())
        return;
    document->clampCurrentPage();
    const int current = document->currentPage();
    const bool japanese = settings.is_japanese;
    // A page that jumps point at is asked about whatever the setting, naming them.
    const QList<int> jumps = pageflow::pagesJumpingTo(
        document->listCommand(), document->listCondition(), document->listName(), current - 1);
    if (!jumps.isEmpty() && document->pageCount() > 1) {
        QStringList pages;
        for (const int page : jumps)
            pages << QString::number(page + 1);
        messageTitle = uitexts::warningTitle.in(japanese);
        messageText = uitexts::deleteTargetText.in(japanese).arg(current).arg(
            pages.join(QStringLiteral(", ")));
        if (!askYesNo(this, messageTitle, messageText))
            return;
    } else if (settings.is_message_delete) {
        messageTitle = uitexts::warningTitle.in(japanese);
        messageText = uitexts::deletePageText.in(japanese).arg(current);
        if (!askYesNo(this, messageTitle, messageText))
            return;
    }
    // The jumps to the page name no page afterwards.
    document->deleteCurrent();
    refreshPage();
}

// ---- page clipboard ----

void tarnwick::copy() {
    if (!copyButton->isVisible())
        return;
    document->copyCurrent();
    refreshPage();
}

void tarnwick::paste() {
    if (!pasteButton->isVisible() || keyCaptureRunning())
        return;
    if (!document->hasCopiedPage()) {
        refreshPage();
        return;
    }
    document->clampCurrentPage();
    if (!document->currentIsBlank() && settings.is_message_paste) {
        messageTitle = uitexts::warningTitle.in(settings.is_japanese);
        messageText =
            uitexts::replacePageText.in(settings.is_japanese).arg(document->currentPage());
        if (!askYesNo(this, messageTitle, messageText)) {
            refreshPage();
            return;
        }
    }
    document->pasteCurrent();
    refreshPage();
}

// ---- undo / redo ----

void tarnwick::pageBack() {
    if (!undoButton->isVisible() || keyCaptureRunning())
        return;
    document->undo();
    refreshPage();
}

void tarnwick::pageForward() {
    if (!redoButton->isVisible() || keyCaptureRunning())
        return;
    document->redo();
    refreshPage();
}

// ---- redraw ----

void tarnwick::refreshPage() {
    refreshing = true;

    // The page's panes show their own widgets again below. The seconds label
    // of the condition frame is shown by no pane.
    for (QWidget *widget : editorpanes::valueWidgets(*this))
        widget->hide();
    setAllVisible({conditionSecLabel, undoButton, redoButton}, false);

    document->clampCurrentPage();
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
    pageCountLabel->setText(
        QStringLiteral("%1/%2").arg(document->currentPage()).arg(document->pageCount()));
    setWindowTitle(windowTitleForPath());
    qCDebug(lcEditorDump) << "pageList"
                          << pagerecords::pageListTexts(document->listCommand(),
                                                        document->currentPage(),
                                                        settings.is_japanese);
    qCDebug(lcEditorDump) << "listCommand" << document->listCommand();
    qCDebug(lcEditorDump) << "listCondition" << document->listCondition();

    // Right after an undo or redo the pages are the state at the history's
    // index, so nothing new is recorded.
    document->recordStep();
    undoButton->setVisible(document->canUndo());
    redoButton->setVisible(document->canRedo());
    qCDebug(lcEditorDump) << "historyIndex" << document->historyIndex() << "listCommandHistory"
                          << document->listCommandHistory() << "listConditionHistory"
                          << document->listConditionHistory();

    refreshing = false;
}

void tarnwick::showPane(Side side, const QStringList &record) {
    const QString kindString = element(record, 0);
    const QString label = side == Side::Command
                              ? pagerecords::commandKindLabel(kindString, settings.is_japanese)
                              : pagerecords::conditionKindLabel(kindString, settings.is_japanese);
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
    showPane(Side::Command, document->currentCommand());
}

void tarnwick::showConditionArea() {
    showPane(Side::Condition, document->currentCondition());
}

// Cleared and refilled in effect, but the items are reused and only texts
// that differ are set: moving to the next page of a long project touches a
// handful of rows instead of rebuilding thousands.
void tarnwick::rebuildPageList() {
    if (!dynamic_cast<PageListDelegate *>(pageList->itemDelegate()))
        pageList->setItemDelegate(new PageListDelegate(pageList));
    const int currentPage = document->currentPage();
    QStringList texts =
        pagerecords::pageListTexts(document->listCommand(), currentPage, settings.is_japanese);
    // A named page shows its name after its kind: "3.Click [retry]".
    const QStringList &names = document->listName();
    for (QString &text : texts) {
        const int page = pagerecords::pageNumberOfEntry(text);
        if (page > 0 && !names.value(page - 1).isEmpty())
            text += QStringLiteral(" [%1]").arg(names.value(page - 1));
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
