#include "coordinatecapture.h"
#include "core/projectdocument.h"
#include "tarnwick.h"
#include "templatesource.h"

#include "kindtips.h"

#include "styles.h"
#include "uitexts.h"

#include "editorpanes.h"

#include "core/pagekinds.h"
#include "core/pagerecords.h"
#include "platform/backend.h"
#include "run/windowlookup.h"
#include "windowtitlecombo.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>

#include <iterator>

namespace {

// Every widget sits at a fixed place with a fixed size and its own sheet.
template <class W>
W *place(W *widget, int x, int y, int width, int height, const char16_t *style, bool shown) {
    widget->move(x, y);
    widget->setFixedSize(width, height);
    widget->setStyleSheet(QString::fromUtf16(style));
    widget->setVisible(shown);
    return widget;
}

QGroupBox *placeGroup(QGroupBox *group, int x, int y, int width, int height) {
    group->setGeometry(x, y, width, height);
    group->hide();
    return group;
}

// The kind menus list the registry's rows in their order, each item with
// its stored kind as data; changeLanguage renames them.
void addKindItems(QComboBox *combo, pagekinds::Side side) {
    for (const pagekinds::Kind &kind : pagekinds::all(side))
        combo->addItem(pagekinds::menuText(kind, true), kind.stored);
}

// The key texts are written with blanks around the plus signs, as the
// tooltips show them; the parser wants them without.
QKeySequence sequenceFromText(const char *text) {
    return QKeySequence(QString::fromLatin1(text).remove(QLatin1Char(' ')),
                        QKeySequence::NativeText);
}

// The window fields are smaller than the rest: three of them share a row.
constexpr char16_t windowCombo[] = u"QComboBox{font-size: 16px;} QToolTip { font-size: 14pt; }";
constexpr char16_t windowEdit[] = u"QLineEdit{font-size: 16px;} QToolTip { font-size: 14pt; }";
constexpr char16_t windowLabel[] = u"QLabel{font-size: 16px;} QToolTip { font-size: 14pt; }";
// The screen pages' fields share the window fields' size.
constexpr char16_t screenSpin[] = u"QSpinBox{font-size: 16px;} QToolTip { font-size: 14pt; }";
constexpr char16_t screenDoubleSpin[] =
    u"QDoubleSpinBox{font-size: 16px;} QToolTip { font-size: 14pt; }";
constexpr char16_t screenButton[] = u"QPushButton{font-size: 14px;} QToolTip { font-size: 14pt; }";
constexpr char16_t windowButton[] = u"QPushButton{font-size: 16px;} QToolTip { font-size: 14pt; }";
constexpr char16_t noteLabel[] = u"QLabel{font-size: 13px;} QToolTip { font-size: 14pt; }";
// The template's preview and the colour swatch: a frame around what they show.
constexpr char16_t templatePreview[] =
    u"QLabel{border: 1px solid gray;} QToolTip { font-size: 14pt; }";

// The titles of the windows open now, the typed text kept.
void fillWindowTitles(QComboBox *combo) {
    const QString typed = combo->currentText();
    const QSignalBlocker blocker(combo);
    combo->clear();
    if (platform::WindowAccess *access = platform::backend().windowAccess()) {
        const std::int64_t ownPid = QCoreApplication::applicationPid();
        for (const platform::WindowInfo &info : access->windows()) {
            // Our own windows are hidden while a project runs.
            if (info.pid == ownPid)
                continue;
            const QString title = windowlookup::textOf(info.title);
            if (!title.isEmpty() && combo->findText(title, Qt::MatchExactly) < 0)
                combo->addItem(title);
        }
    }
    combo->setEditText(typed);
}

} // namespace

void tarnwick::buildWindowFields() {
    // Placed by the window panes; the sizes stay.
    auto titleCombo = [this] {
        auto *combo = place(new WindowTitleCombo(this), 20, 190, 175, 30, windowCombo, false);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->beforePopup = [combo] { fillWindowTitles(combo); };
        connect(combo, &QComboBox::editTextChanged, this, &tarnwick::changeSomeThing);
        return combo;
    };
    auto modeCombo = [this] {
        auto *combo = place(new QComboBox(this), 200, 190, 105, 30, windowCombo, false);
        textBindings.items(combo, uitexts::windowModes, int(std::size(uitexts::windowModes)));
        connect(combo, &QComboBox::currentIndexChanged, this, &tarnwick::changeSomeThing);
        return combo;
    };
    auto programEdit = [this] {
        auto *edit = place(new QLineEdit(this), 310, 190, 90, 30, windowEdit, false);
        textBindings.bind(uitexts::windowProgramPlaceholder,
                          [edit](const QString &s) { edit->setPlaceholderText(s); });
        connect(edit, &QLineEdit::textChanged, this, &tarnwick::changeSomeThing);
        return edit;
    };
    // Beside the kind label, which the kind names leave room for.
    auto matchLabel = [this](int y) {
        auto *label = place(new QLabel(this), 230, y, 170, 26, windowLabel, false);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return label;
    };
    windowTitleCombo = titleCombo();
    windowModeCombo = modeCombo();
    windowProgramEdit = programEdit();
    windowMatchLabel = matchLabel(112);
    conditionWindowTitleCombo = titleCombo();
    conditionWindowModeCombo = modeCombo();
    conditionWindowProgramEdit = programEdit();
    conditionWindowMatchLabel = matchLabel(362);
    windowStateCombo = place(new QComboBox(this), 20, 430, 200, 30, windowCombo, false);
    textBindings.items(windowStateCombo, uitexts::windowStates,
                       int(std::size(uitexts::windowStates)));
    connect(windowStateCombo, &QComboBox::currentIndexChanged, this, &tarnwick::changeSomeThing);

    const std::pair<QWidget *, const UiText *> tips[] = {
        {windowTitleCombo, &uitexts::tipWindowTitle},
        {windowModeCombo, &uitexts::tipWindowMode},
        {windowProgramEdit, &uitexts::tipWindowProgram},
        {windowMatchLabel, &uitexts::tipWindowMatches},
        {conditionWindowTitleCombo, &uitexts::tipWindowTitle},
        {conditionWindowModeCombo, &uitexts::tipWindowMode},
        {conditionWindowProgramEdit, &uitexts::tipWindowProgram},
        {conditionWindowMatchLabel, &uitexts::tipWindowMatches},
        {windowStateCombo, &uitexts::tipWindowState},
    };
    for (const auto &[widget, text] : tips)
        textBindings.tip(widget, *text);

    // Windows open and close while a window page is shown: its count follows.
    windowMatchTimer = new QTimer(this);
    windowMatchTimer->setInterval(1000);
    connect(windowMatchTimer, &QTimer::timeout, this, [this] {
        if (isVisible() && !refreshing)
            editorpanes::showWindowMatches(*this);
    });
}

void tarnwick::buildScreenFields() {
    // Four rows of the frame below the kind label; the window fields take
    // the second row when the page looks at a window (editorpanes.cpp).
    constexpr int kRow = 32;
    constexpr int kHeight = 28;
    auto label = [this](const UiText &text, int x, int y, int width) {
        auto *l = place(textBindings.text(new QLabel(this), text), x, y, width, kHeight,
                        windowLabel, false);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        return l;
    };
    auto spin = [this](int x, int y, int width, int low, int high) {
        auto *s = place(new QSpinBox(this), x, y, width, kHeight, screenSpin, false);
        s->setButtonSymbols(QAbstractSpinBox::NoButtons);
        s->setRange(low, high);
        connect(s, &QSpinBox::valueChanged, this, &tarnwick::changeSomeThing);
        return s;
    };
    auto combo = [this](const UiText *items, int count, int x, int y, int width) {
        auto *c = place(new QComboBox(this), x, y, width, kHeight, windowCombo, false);
        textBindings.items(c, items, count);
        connect(c, &QComboBox::currentIndexChanged, this, &tarnwick::changeSomeThing);
        return c;
    };
    auto button = [this](const UiText &text, int x, int y, int width) {
        return place(textBindings.text(new QPushButton(this), text), x, y, width, kHeight,
                     screenButton, false);
    };
    // As far as core/screenpages reads a position back.
    constexpr int kLimit = 1 << 20;
    auto imageFields = [&](ImageFields &f, int top, bool forCondition) {
        f.area = combo(uitexts::screenAreas, int(std::size(uitexts::screenAreas)), 20, top, 124);
        f.thresholdLabel = label(uitexts::thresholdLabel, 150, top, 52);
        f.threshold = spin(204, top, 60, 1, 100);
        f.threshold->setSuffix(QStringLiteral(" %"));
        const int rect = top + kRow;
        f.xLabel = label(uitexts::coordXLabel, 20, rect, 18);
        f.x = spin(40, rect, 66, -kLimit, kLimit);
        f.yLabel = label(uitexts::coordYLabel, 110, rect, 18);
        f.y = spin(130, rect, 66, -kLimit, kLimit);
        f.widthLabel = label(uitexts::rectWidthLabel, 200, rect, 26);
        f.width = spin(228, rect, 66, 0, kLimit);
        f.heightLabel = label(uitexts::rectHeightLabel, 298, rect, 40);
        f.height = spin(340, rect, 60, 0, kLimit);
        const int picture = top + 2 * kRow;
        f.fromScreen = button(uitexts::templateFromScreenButton, 20, picture, 100);
        connect(f.fromScreen, &QPushButton::clicked, this,
                [this, forCondition] { templates->captureTemplate(forCondition); });
        f.fromFile = button(uitexts::templateFromFileButton, 124, picture, 92);
        connect(f.fromFile, &QPushButton::clicked, this,
                [this, forCondition] { templates->chooseTemplateFile(forCondition); });
        f.size = label(uitexts::noTemplate, 222, picture, 100);
        f.preview = place(new QLabel(this), 326, picture, 74, 2 * kRow - 4, templatePreview, false);
        f.preview->setAlignment(Qt::AlignCenter);
        const std::pair<QWidget *, const UiText *> tips[] = {
            {f.area, &uitexts::tipScreenArea},
            {f.threshold, &uitexts::tipThreshold},
            {f.fromScreen, &uitexts::tipTemplateFromScreen},
            {f.fromFile, &uitexts::tipTemplateFromFile},
            {f.preview, &uitexts::tipTemplatePreview},
        };
        for (const auto &[widget, text] : tips)
            textBindings.tip(widget, *text);
    };
    constexpr int kCommandTop = 140;
    constexpr int kConditionTop = 390;
    imageFields(commandImage, kCommandTop, false);
    imageFields(conditionImage, kConditionTop, true);

    // The jump's own: how long to look, where to go from the picture found.
    lookSecondsSpin =
        place(new QDoubleSpinBox(this), 270, kCommandTop, 82, kHeight, screenDoubleSpin, false);
    lookSecondsSpin->setRange(0, 86400);
    lookSecondsSpin->setSingleStep(0.5);
    connect(lookSecondsSpin, &QDoubleSpinBox::valueChanged, this, &tarnwick::changeSomeThing);
    lookSecLabel = label(uitexts::secLabel, 356, kCommandTop, 44);
    const int offsets = kCommandTop + 3 * kRow;
    offsetXLabel = label(uitexts::offsetXLabel, 20, offsets, 28);
    offsetXSpin = spin(50, offsets, 64, -kLimit, kLimit);
    offsetYLabel = label(uitexts::offsetYLabel, 118, offsets, 28);
    offsetYSpin = spin(148, offsets, 68, -kLimit, kLimit);
    jumpNoteLabel = place(textBindings.text(new QLabel(this), uitexts::jumpToLastFound), 222,
                          kCommandTop + 2 * kRow, 178, 2 * kRow - 4, noteLabel, false);
    jumpNoteLabel->setWordWrap(true);
    jumpNoteLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    // The Colour condition.
    colourAreaCombo =
        combo(uitexts::colourAreas, int(std::size(uitexts::colourAreas)), 20, kConditionTop, 112);
    colourXLabel = label(uitexts::coordXLabel, 138, kConditionTop, 18);
    colourXSpin = spin(158, kConditionTop, 64, -kLimit, kLimit);
    colourYLabel = label(uitexts::coordYLabel, 226, kConditionTop, 18);
    colourYSpin = spin(246, kConditionTop, 64, -kLimit, kLimit);
    colourGetButton = place(textBindings.text(new QPushButton(this), uitexts::coordGetButton), 316,
                            kConditionTop, 84, kHeight, windowButton, false);
    connect(colourGetButton, &QPushButton::clicked, this, [this] {
        coordinateForColour = true;
        getCoordinate();
        // Neither the hot key nor a pick is waiting: no capture started.
        if (!capture->hotkeyRegistered && !capture->pickingPoint)
            coordinateForColour = false;
    });
    const int colourRow = kConditionTop + 2 * kRow;
    colourSwatch = place(new QLabel(this), 20, colourRow, kHeight, kHeight, templatePreview, false);
    colourHexEdit = place(new QLineEdit(this), 52, colourRow, 96, kHeight, windowEdit, false);
    colourHexEdit->setMaxLength(7);
    connect(colourHexEdit, &QLineEdit::textChanged, this, &tarnwick::changeSomeThing);
    colourStateCombo =
        combo(uitexts::colourStates, int(std::size(uitexts::colourStates)), 154, colourRow, 150);
    toleranceLabel = label(uitexts::toleranceLabel, 20, colourRow + kRow, 80);
    toleranceSpin = spin(104, colourRow + kRow, 70, 0, 255);
    toleranceSpin->setButtonSymbols(QAbstractSpinBox::UpDownArrows);

    const std::pair<QWidget *, const UiText *> tips[] = {
        {lookSecondsSpin, &uitexts::tipLookSeconds},  {offsetXSpin, &uitexts::tipJumpOffset},
        {offsetYSpin, &uitexts::tipJumpOffset},       {colourAreaCombo, &uitexts::tipScreenArea},
        {colourXSpin, &uitexts::tipCoordXSpin},       {colourYSpin, &uitexts::tipCoordYSpin},
        {colourGetButton, &uitexts::tipColourHex},    {colourHexEdit, &uitexts::tipColourHex},
        {colourStateCombo, &uitexts::tipColourState}, {toleranceSpin, &uitexts::tipTolerance},
    };
    for (const auto &[widget, text] : tips)
        textBindings.tip(widget, *text);
}

void tarnwick::buildFlowFields() {
    constexpr int kTop = 140; // the command frame's first row below the kind label
    constexpr int kHeight = 28;
    jumpTargetCombo = place(new QComboBox(this), 20, kTop, 220, kHeight, windowCombo, false);
    connect(jumpTargetCombo, &QComboBox::currentIndexChanged, this, &tarnwick::changeSomeThing);
    jumpCountLabel = place(textBindings.text(new QLabel(this), uitexts::jumpCountLabel), 20,
                           kTop + 36, 60, kHeight, windowLabel, false);
    jumpCountSpin = place(new QSpinBox(this), 84, kTop + 36, 90, kHeight, screenSpin, false);
    jumpCountSpin->setRange(0, 999999);
    connect(jumpCountSpin, &QSpinBox::valueChanged, this, &tarnwick::changeSomeThing);
    jumpEveryCheck = place(textBindings.text(new QCheckBox(this), uitexts::jumpEveryCheck), 186,
                           kTop + 36, 200, kHeight, u"QCheckBox{font-size: 16px;}", false);
    connect(jumpEveryCheck, &QCheckBox::toggled, this, &tarnwick::changeSomeThing);
    callPathEdit = place(new QLineEdit(this), 20, kTop, 290, kHeight, windowEdit, false);
    connect(callPathEdit, &QLineEdit::textEdited, this, &tarnwick::changeSomeThing);
    callBrowseButton = place(textBindings.text(new QPushButton(this), uitexts::callBrowseButton),
                             316, kTop, 84, kHeight, screenButton, false);
    connect(callBrowseButton, &QPushButton::clicked, this, [this] { browseCalledProject(); });
    commandBranchButton = place(new QPushButton(this), 200, 28, 200, 26, screenButton, false);
    connect(commandBranchButton, &QPushButton::clicked, this, [this] { editBranch(false); });
    conditionBranchButton = place(new QPushButton(this), 200, 278, 200, 26, screenButton, false);
    connect(conditionBranchButton, &QPushButton::clicked, this, [this] { editBranch(true); });

    // The page list names pages from its menu.
    pageList->setContextMenuPolicy(Qt::ActionsContextMenu);
    auto *name = textBindings.text(new QAction(pageList), uitexts::nameAction);
    pageList->addAction(name);
    connect(name, &QAction::triggered, this, &tarnwick::nameCurrentPage);
}

void tarnwick::buildUi() {
    using namespace uitexts;
    auto addShortcut = [this](const QKeySequence &keys, void (tarnwick::*slot)()) {
        auto *shortcut = new QShortcut(keys, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
        shortcuts.append(shortcut);
    };

    // ---- frames, start page, editor controls (created in stacking order) ----
    operationGroup = placeGroup(textBindings.title(new QGroupBox(this), uitexts::operationGroup),
                                10, 30, 400, 240);
    operationGroup->setStyleSheet(QString::fromUtf16(styles::groupBox));
    conditionGroup = placeGroup(textBindings.title(new QGroupBox(this), uitexts::conditionGroup),
                                10, 280, 400, 240);
    conditionGroup->setStyleSheet(operationGroup->styleSheet());
    pageGroup =
        placeGroup(textBindings.title(new QGroupBox(this), uitexts::pageGroup), 430, 30, 190, 545);
    pageGroup->setStyleSheet(operationGroup->styleSheet());

    newProjectButton = place(textBindings.text(new QPushButton(this), uitexts::newProjectButton),
                             10, 10, 610, 60, styles::button, true);
    connect(newProjectButton, &QPushButton::clicked, this, &tarnwick::addNewCommand);
    loadProjectButton = place(textBindings.text(new QPushButton(this), uitexts::loadProjectButton),
                              10, 80, 610, 60, styles::button, true);
    connect(loadProjectButton, &QPushButton::clicked, this, &tarnwick::importedCommand);
    languageButton = place(textBindings.text(new QPushButton(this), uitexts::languageButton), 10,
                           150, 610, 60, styles::button, true);
    connect(languageButton, &QPushButton::clicked, this, &tarnwick::toggleLanguage);

    // Wide enough for the longest kind ("マウスポインター") beside the arrow.
    commandCombo = place(new QComboBox(this), 20, 60, 225, 40, styles::combo, false);
    addKindItems(commandCombo, pagekinds::Side::Command);
    connect(commandCombo, &QComboBox::currentIndexChanged, this, &tarnwick::changeMenuAddCommand);
    addCommandButton = place(textBindings.text(new QPushButton(this), uitexts::addButton), 255, 60,
                             60, 38, styles::button, false);
    connect(addCommandButton, &QPushButton::clicked, this, &tarnwick::addCommand);
    testButton = place(textBindings.text(new QPushButton(this), uitexts::testButton), 310, 220, 90,
                       38, styles::button, false);
    connect(testButton, &QPushButton::clicked, this, &tarnwick::moveMousePointer);
    commandLabel = place(textBindings.text(new QLabel(this), uitexts::commandLabel), 20, 110, 300,
                         30, styles::label, false);
    commandLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    inputTextEdit = place(new QTextEdit(this), 20, 142, 380, 73, styles::textEdit, false);
    connect(inputTextEdit, &QTextEdit::textChanged, this, &tarnwick::changeSomeThing);
    commandClickCombo = place(new QComboBox(this), 20, 150, 90, 40, styles::combo, false);
    textBindings.items(commandClickCombo, clickSides, int(std::size(clickSides)));
    commandClickCombo->setCurrentIndex(0);
    connect(commandClickCombo, &QComboBox::currentIndexChanged, this, &tarnwick::changeSomeThing);
    commandSecLabel = place(textBindings.text(new QLabel(this), uitexts::secLabel), 140, 210, 60,
                            60, styles::bigLabel, false);
    commandTimeSpin = place(new QDoubleSpinBox(this), 20, 220, 110, 40, styles::doubleSpin, false);
    commandTimeSpin->setRange(0.01, 1000);
    commandTimeSpin->setSingleStep(0.01);
    connect(commandTimeSpin, &QDoubleSpinBox::valueChanged, this, &tarnwick::changeSomeThing);

    conditionCombo = place(new QComboBox(this), 20, 310, 225, 40, styles::combo, false);
    addKindItems(conditionCombo, pagekinds::Side::Condition);
    connect(conditionCombo, &QComboBox::currentIndexChanged, this,
            &tarnwick::changeMenuAddCondition);
    addConditionButton = place(textBindings.text(new QPushButton(this), uitexts::addButton), 255,
                               310, 60, 38, styles::button, false);
    connect(addConditionButton, &QPushButton::clicked, this, &tarnwick::addCondition);
    conditionLabel = place(textBindings.text(new QLabel(this), uitexts::conditionLabel), 20, 360,
                           400, 60, styles::label, false);
    conditionLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    conditionSecLabel = place(textBindings.text(new QLabel(this), uitexts::secLabel), 140, 380, 400,
                              60, styles::bigLabel, false);
    conditionClickCombo = place(new QComboBox(this), 20, 390, 90, 40, styles::combo, false);
    textBindings.items(conditionClickCombo, clickSides, int(std::size(clickSides)));
    conditionClickCombo->setCurrentIndex(0);
    connect(conditionClickCombo, &QComboBox::currentIndexChanged, this, &tarnwick::changeSomeThing);
    conditionTimeSpin =
        place(new QDoubleSpinBox(this), 20, 390, 120, 40, styles::doubleSpin, false);
    conditionTimeSpin->setRange(0.01, 1000);
    conditionTimeSpin->setSingleStep(0.1);
    connect(conditionTimeSpin, &QDoubleSpinBox::valueChanged, this, &tarnwick::changeSomeThing);

    prevPageButton = place(textBindings.text(new QPushButton(this), uitexts::prevPageButton), 450,
                           365, 62, 30, styles::bigButton, false);
    connect(prevPageButton, &QPushButton::clicked, this, &tarnwick::returnPage);
    addShortcut(QKeySequence(Qt::Key_Left), &tarnwick::returnPage);
    runButton = place(textBindings.text(new QPushButton(this), uitexts::runButton), 10, 525, 400,
                      53, styles::bigButton, false);
    connect(runButton, &QPushButton::clicked, this, &tarnwick::stertRun);
    nextPageButton = place(textBindings.text(new QPushButton(this), uitexts::nextPageButton), 537,
                           365, 62, 30, styles::bigButton, false);
    connect(nextPageButton, &QPushButton::clicked, this, &tarnwick::nextPage);
    addShortcut(QKeySequence(Qt::Key_Right), &tarnwick::nextPage);
    deleteButton = place(textBindings.text(new QPushButton(this), uitexts::deleteButton), 453, 446,
                         145, 38, styles::deleteButton, false);
    connect(deleteButton, &QPushButton::clicked, this, &tarnwick::deletePage);
    addShortcut(sequenceFromText("Ctrl + D"), &tarnwick::deletePage);
    pageCountLabel = place(textBindings.text(new QLabel(this), uitexts::pageCountLabel), 450, 535,
                           143, 24, styles::label, false);
    pageList = place(new QListWidget(this), 450, 60, 150, 295, styles::tooltipOnly, false);
    pageList->addItem(pagerecords::pageListText(document->listCommand(), 1, true));
    connect(pageList, &QListWidget::itemSelectionChanged, this, &tarnwick::changeWidgetPage);
    // The paste button's font size: the larger one cut off "コピー".
    copyButton = place(textBindings.text(new QPushButton(this), uitexts::copyButton), 450, 400, 62,
                       41, styles::smallButton, false);
    connect(copyButton, &QPushButton::clicked, this, &tarnwick::copy);
    addShortcut(sequenceFromText("Ctrl + C"), &tarnwick::copy);
    pasteButton = place(textBindings.text(new QPushButton(this), uitexts::pasteButton), 538, 400,
                        62, 41, styles::smallButton, false);
    connect(pasteButton, &QPushButton::clicked, this, &tarnwick::paste);
    addShortcut(sequenceFromText("Ctrl + V"), &tarnwick::paste);
    undoButton = place(textBindings.text(new QPushButton(this), uitexts::undoButton), 450, 490, 62,
                       41, styles::tinyButton, false);
    connect(undoButton, &QPushButton::clicked, this, &tarnwick::pageBack);
    addShortcut(sequenceFromText("Ctrl + Z"), &tarnwick::pageBack);
    redoButton = place(textBindings.text(new QPushButton(this), uitexts::redoButton), 538, 490, 62,
                       41, styles::tinyButton, false);
    connect(redoButton, &QPushButton::clicked, this, &tarnwick::pageForward);
    addShortcut(sequenceFromText("Ctrl + Y"), &tarnwick::pageForward);
    addShortcut(sequenceFromText("Ctrl + Shift + Z"), &tarnwick::pageForward);

    buildMenus();

    // ---- key prompts, capture timer, coordinates, clock ----
    // Two lines high, down to the seconds below them: the prompt
    // ("単一または複数キーを押してください") is wider than the frame.
    commandKeyPromptLabel = place(new QLabel(this), 20, 145, 380, 75, styles::promptLabel, false);
    conditionKeyPromptLabel = place(new QLabel(this), 20, 385, 380, 75, styles::promptLabel, false);
    for (QLabel *prompt : {commandKeyPromptLabel, conditionKeyPromptLabel}) {
        prompt->setWordWrap(true);
        prompt->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    }
    keyPollTimer = new QTimer(this);
    keyPollTimer->setInterval(50);
    connect(keyPollTimer, &QTimer::timeout, this, &tarnwick::pollKeystroke);

    auto coordinateSpin = [this](int maximum, int width) {
        auto *spin = place(new QSpinBox(this), 0, 0, width, 40, styles::spin, false);
        spin->setButtonSymbols(QAbstractSpinBox::NoButtons);
        spin->setRange(-9999999, maximum);
        connect(spin, &QSpinBox::valueChanged, this, &tarnwick::changeSomeThing);
        return spin;
    };
    auto coordinateSet = [&](QLabel *&xLabel, QSpinBox *&xSpin, QLabel *&yLabel, QSpinBox *&ySpin,
                             QPushButton *&getButton) {
        xLabel = place(textBindings.text(new QLabel(this), uitexts::coordXLabel), 20, 133, 24, 60,
                       styles::promptLabel, false);
        // Clear of the label's colon, which a box at 40 covered.
        xSpin = coordinateSpin(9999999, 114);
        xSpin->move(46, 145);
        yLabel = place(textBindings.text(new QLabel(this), uitexts::coordYLabel), 170, 133, 24, 60,
                       styles::promptLabel, false);
        // The Y box reaches one digit further than the X box.
        ySpin = coordinateSpin(99999999, 120);
        ySpin->move(190, 145);
        getButton = place(textBindings.text(new QPushButton(this), uitexts::coordGetButton), 320,
                          144, 80, 43, styles::button, false);
        connect(getButton, &QPushButton::clicked, this, &tarnwick::getCoordinate);
    };
    coordinateSet(coordXLabel, coordXSpin, coordYLabel, coordYSpin, coordGetButton);
    coordinateSet(coordXLabel2, coordXSpin2, coordYLabel2, coordYSpin2, coordGetButton2);

    clockHourSpin = place(new QSpinBox(this), 20, 390, 70, 40, styles::spin, false);
    clockHourSpin->setRange(0, 24);
    clockHourSpin->setSingleStep(1);
    connect(clockHourSpin, &QSpinBox::valueChanged, this, &tarnwick::changeSomeThing);
    clockColonLabel =
        place(new QLabel(QStringLiteral(":"), this), 100, 395, 24, 24, styles::promptLabel, false);
    clockMinuteSpin = place(new QSpinBox(this), 114, 390, 70, 40, styles::spin, false);
    clockMinuteSpin->setRange(0, 59);
    clockMinuteSpin->setSingleStep(1);
    connect(clockMinuteSpin, &QSpinBox::valueChanged, this, &tarnwick::changeSomeThing);
    buildWindowFields();
    buildScreenFields();
    buildFlowFields();

    // Help Mode: an empty tooltip shows nothing, so clearing is setting "".
    const std::pair<QWidget *, const UiText *> tips[] = {
        {commandCombo, &kindtips::listTip(pagekinds::Side::Command)},
        {addCommandButton, &tipAddCommandButton},
        {testButton, &tipTestButton},
        {commandLabel, &tipCommandLabel},
        {inputTextEdit, &tipInputTextEdit},
        {commandClickCombo, &tipClickCombo},
        {conditionClickCombo, &tipClickCombo},
        {commandTimeSpin, &kindtips::commandSecondsTip()},
        {conditionCombo, &kindtips::listTip(pagekinds::Side::Condition)},
        {addConditionButton, &tipAddConditionButton},
        {conditionLabel, &tipConditionLabel},
        {conditionTimeSpin, &tipConditionTimeSpin},
        {prevPageButton, &tipPrevPageButton},
        {runButton, &tipRunButton},
        {nextPageButton, &tipNextPageButton},
        {deleteButton, &tipDeleteButton},
        {pageCountLabel, &tipPageCountLabel},
        {pageList, &tipPageList},
        {copyButton, &tipCopyButton},
        {pasteButton, &tipPasteButton},
        {coordXSpin, &tipCoordXSpin},
        {coordYSpin, &tipCoordYSpin},
        {coordGetButton, &tipCoordGetButton},
        {coordXSpin2, &tipCoordXSpin},
        {coordYSpin2, &tipCoordYSpin},
        {coordGetButton2, &tipCoordGetButton},
        {clockHourSpin, &tipClockHourSpin},
        {clockMinuteSpin, &tipClockMinuteSpin},
        {undoButton, &tipUndoButton},
        {redoButton, &tipRedoButton},
    };
    for (const auto &[widget, text] : tips)
        textBindings.tip(widget, *text);

    // ---- first start: greet, and explain through Help Mode ----
    if (!settings.is_used_this) {
        QMessageBox::information(this, QString::fromUtf16(welcomeTitle),
                                 QString::fromUtf16(welcomeText), QMessageBox::Ok);
        settings.is_used_this = true;
        settings.is_help = true;
    }

    helpModeAction->setChecked(settings.is_help);
    askSaveAction->setChecked(settings.is_message_file);
    askPasteAction->setChecked(settings.is_message_paste);
    askDeleteAction->setChecked(settings.is_message_delete);

    changeLanguage();
}

void tarnwick::buildMenus() {
    QMenuBar *bar = menuBar();
    fileMenu = textBindings.title(bar->addMenu(QString()), uitexts::fileMenu);
    reportMenu = textBindings.title(bar->addMenu(QString()), uitexts::reportMenu);
    settingsMenu = textBindings.title(bar->addMenu(QString()), uitexts::settingsMenu);
    versionMenu = textBindings.title(bar->addMenu(QString()), uitexts::versionMenu);
    helpMenu = textBindings.title(bar->addMenu(QString()), uitexts::helpMenu);
    otherMenu = textBindings.title(bar->addMenu(QString()), uitexts::otherMenu);

    auto action = [this](const UiText &text, QMenu *menu, bool checkable = false) {
        auto *a = textBindings.text(new QAction(this), text);
        a->setCheckable(checkable);
        menu->addAction(a);
        return a;
    };

    newAction = action(uitexts::newAction, fileMenu);
    newAction->setShortcut(QKeySequence::New);
    connect(newAction, &QAction::triggered, this, &tarnwick::newFile);
    openAction = action(uitexts::openAction, fileMenu);
    openAction->setShortcut(QKeySequence::Open);
    connect(openAction, &QAction::triggered, this, &tarnwick::loadFile1);
    // Save As is created before Save but listed after it in the menu.
    saveAsAction = textBindings.text(new QAction(this), uitexts::saveAsAction);
    // X11 and Windows have no standard Save As key; there it is Ctrl+Shift+S,
    // as on the other systems that have one.
    const QList<QKeySequence> saveAsKeys = QKeySequence::keyBindings(QKeySequence::SaveAs);
    saveAsAction->setShortcuts(
        saveAsKeys.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}
                             : saveAsKeys);
    connect(saveAsAction, &QAction::triggered, this, &tarnwick::saveFile1);
    saveAction = action(uitexts::saveAction, fileMenu);
    saveAction->setShortcut(QKeySequence::Save);
    connect(saveAction, &QAction::triggered, this, &tarnwick::saveFile3);
    fileMenu->addAction(saveAsAction);

    reportBugAction = action(uitexts::reportBugAction, reportMenu);
    connect(reportBugAction, &QAction::triggered, this, &tarnwick::reportBug);
    suggestAction = action(uitexts::suggestAction, reportMenu);
    connect(suggestAction, &QAction::triggered, this, &tarnwick::reportImprovementSuggestion);
    needReplyAction = action(uitexts::needReplyAction, reportMenu);
    connect(needReplyAction, &QAction::triggered, this, &tarnwick::openBrowserFormA);

    // The three questions only store their flag; the configuration keeps it
    // when the window closes.
    askSaveAction = action(uitexts::askSaveAction, settingsMenu, true);
    connect(askSaveAction, &QAction::toggled, this,
            [this](bool on) { settings.is_message_file = on; });
    askPasteAction = action(uitexts::askPasteAction, settingsMenu, true);
    connect(askPasteAction, &QAction::toggled, this,
            [this](bool on) { settings.is_message_paste = on; });
    askDeleteAction = action(uitexts::askDeleteAction, settingsMenu, true);
    connect(askDeleteAction, &QAction::toggled, this,
            [this](bool on) { settings.is_message_delete = on; });

    versionInfoAction = action(uitexts::versionInfoAction, versionMenu);
    connect(versionInfoAction, &QAction::triggered, this, &tarnwick::showVersionInfo);

    // triggered, not toggled: setting the checked state from code must not
    // run the handler.
    helpModeAction = action(uitexts::helpModeAction, helpMenu, true);
    helpModeAction->setShortcut(QKeySequence::WhatsThis);
    connect(helpModeAction, &QAction::triggered, this, &tarnwick::onHelpModeTriggered);
    askHowToUseAction = action(uitexts::askHowToUseAction, helpMenu);
    askHowToUseAction->setShortcut(QKeySequence::HelpContents);
    connect(askHowToUseAction, &QAction::triggered, this, &tarnwick::openBrowserFormB);
    manualAction = action(uitexts::manualAction, helpMenu);
    connect(manualAction, &QAction::triggered, this, &tarnwick::showManual);

    recordAction = action(uitexts::recordAction, otherMenu);
    textBindings.tip(recordAction, uitexts::tipRecordAction);
    connect(recordAction, &QAction::triggered, this, &tarnwick::recordActions);
    otherMenu->setToolTipsVisible(true); // the Help Mode tip of recordAction
    languageAction = action(uitexts::languageAction, otherMenu);
    connect(languageAction, &QAction::triggered, this, &tarnwick::toggleLanguage);
    QAction **documents[] = {&viewTermsAction, &viewOssNoticeAction, &viewQtInfoAction,
                             &viewLgplAction};
    const UiText *documentTexts[] = {&uitexts::viewTermsAction, &uitexts::viewOssNoticeAction,
                                     &uitexts::viewQtInfoAction, &uitexts::viewLgplAction};
    for (int i = 0; i < 4; ++i) {
        *documents[i] = action(*documentTexts[i], otherMenu);
        connect(*documents[i], &QAction::triggered, this, [this, i] { showTermDocument(i); });
    }

    bar->hide();
}
