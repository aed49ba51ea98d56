#pragma once

// The main window: its layout, menus and navigation, and the objects that
// do the work: the project (ProjectDocument, core/projectdocument.h), the
// settings (one configstore::Settings), project files (ProjectFiles), runs
// (RunLauncher), templates (TemplateSource) and position capture
// (CoordinateCapture). Its members and slots keep the names the rest of the
// program and the tests know them by; the slots forward to those objects.
//
// The definitions are split by concern:
//   tarnwick.cpp          construction, destruction, views, title, close
//   tarnwick_ui.cpp       buildUi: widgets, menus, shortcuts, welcome
//   tarnwick_texts.cpp    changeLanguage, language toggle, Help Mode
//   tarnwick_editor.cpp   pages, navigation, clipboard, undo/redo, editor
//   tarnwick_files.cpp    the file slots (projectfiles.* does the work)
//   tarnwick_capture.cpp  a taken position into the page, pointer test
//                         (coordinatecapture.* takes it)
//   tarnwick_template.cpp a taken template into the page (templatesource.*)
//   tarnwick_run.cpp      the run slots (runlauncher.* does the work)
//   tarnwick_record.cpp   the recording slot (recordinglauncher.* does the work)
//   tarnwick_help.cpp     report dialogs, web forms, version, licences

#include "core/configstore.h"
#include "core/keycombination.h"
#include "core/pagekinds.h"
#include "core/projectdocument.h"
#include "core/runsettings.h"
#include "platform/shortcuts.h"
#include "textbindings.h"

#include <QList>
#include <QMainWindow>
#include <QString>
#include <QStringList>

class QAction;
class QCloseEvent;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class ManualWindow;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QShortcut;
class QSpinBox;
class QTextEdit;
class QTimer;
class HoverHideWindow;
class ProjectFiles;
class RunLauncher;
class TemplateSource;
class CoordinateCapture;
namespace platform {
struct Point;
}
class RecordingLauncher;
namespace platform {
struct Point;
class PointPicker;
enum class PickOutcome;
} // namespace platform
struct UiText;

using PageList = QList<QStringList>;

class tarnwick : public QMainWindow {
    Q_OBJECT

    // Tests and benchmarks that drive a private helper directly.
    friend class FilesTest;            // tests/app/gui_files.cpp
    friend class GuiRecordTest;        // tests/app/gui_record.cpp
    friend class HelpTest;             // tests/app/gui_help.cpp
    friend class RunCycleTest;         // tests/app/gui_runcycle.cpp
    friend class X11RecordTest;        // tests/app/x11_record.cpp
    friend class WineRecordTest;       // tests/app/wine_record.cpp
    friend class FilesBenchmark;       // bench/files.cpp
    friend class EditorScreenTest;     // tests/app/gui_editorscreen.cpp
    friend class MainWindowLayoutTest; // tests/app/gui_mainwindow_layout.cpp
    friend class FlowEditTest;         // tests/app/gui_flowedit.cpp

public:
    class GlobalHotkeyFilter;

    explicit tarnwick(QWidget *parent = nullptr);
    ~tarnwick() override;

public slots:
    void getCoordinate();
    void getCoordinate2();
    void pollKeystroke();
    void addNewCommand();
    void addCommand();
    void addCondition();
    void changeMenuAddCommand();
    void changeMenuAddCondition();
    void nextPage();
    void returnPage();
    void changeSomeThing();
    void changeWidgetPage();
    void deletePage();
    // Asks for the current page's name; the jumps to it follow a new one.
    void nameCurrentPage();
    void copy();
    void paste();
    void saveFile1();
    void saveFile3();
    void loadFile1();
    void importedCommand();
    void newFile();
    void stertRun();
    void onRunFinished();
    void moveMousePointer();
    void pageBack();
    void pageForward();
    void recordActions();

private slots:
    void reportBug();
    void reportImprovementSuggestion();
    void changeLanguage();

protected:
    void closeEvent(QCloseEvent *event) override;

public:
    // ---- lifecycle and views (tarnwick.cpp) ----
    bool isProjectDirty() const;
    QString windowTitleForPath() const;

    // ---- texts and Help Mode (tarnwick_texts.cpp) ----
    void toggleLanguage();

    // ---- editor (tarnwick_editor.cpp) ----
    void refreshPage();

    // ---- files (tarnwick_files.cpp, the work in projectfiles.*) ----
    // The project named on the command line, in the editor.
    void openProjectFile(const QString &path);

    // ---- runs (tarnwick_run.cpp, the work in runlauncher.*) ----
    void startRun();
    // The start key's press: the loaded project with the saved settings, no
    // dialog; nothing while a run plays or outside the editor.
    void startFromKey();

    // ---- help menus (tarnwick_help.cpp) ----
    void openBrowserFormA(); // the report form, with the browser question
    void openBrowserFormB(); // the how-to-use form, with the browser question
    void showVersionInfo();
    void showTermDocument(int which);
    // The manual in the interface language, at the section of the pane the
    // user is on.
    void showManual();
    // The manual's heading number for that pane, -1 for the top.
    int manualSection() const;
    ManualWindow *manualWindow = nullptr;

    // ---- members, in declaration order ----
    // The settings, named as the rows of TARNWICK_SETTINGS in
    // core/configstore.h, which read, write and copy them. Its filePath is
    // the stored one as read at start; the project's own is the document's.
    configstore::Settings settings;
    QString selectedCommandKind = pagekinds::name::none();
    QString selectedConditionKind = pagekinds::name::waitUntilOver();
    // The project: pages, current page, saved copy, history, clipboard, path.
    ProjectDocument *document = nullptr; // owned (child)
    // The concerns, children of the window.
    ProjectFiles *files = nullptr;         // New, Open, Save, the settings file
    RunLauncher *runs = nullptr;           // the run settings dialog, runs, the start key
    TemplateSource *templates = nullptr;   // the Image pages' templates: screen, file
    CoordinateCapture *capture = nullptr;  // "取得": the prompt and Ctrl+Alt+G, or a pick
    RecordingLauncher *recorder = nullptr; // recording the user's actions into pages
    bool captureForCondition = false;
    bool refreshing = false;
    bool editorOpen = false;
    QString messageTitle;
    QString messageText;
    QTimer *keyPollTimer = nullptr;

    // ---- widgets (created by buildUi, parented to the window) ----
    QGroupBox *operationGroup = nullptr;
    QGroupBox *conditionGroup = nullptr;
    QGroupBox *pageGroup = nullptr;
    QPushButton *newProjectButton = nullptr;
    QPushButton *loadProjectButton = nullptr;
    QPushButton *languageButton = nullptr;
    QComboBox *commandCombo = nullptr;
    QPushButton *addCommandButton = nullptr;
    QPushButton *testButton = nullptr;
    QLabel *commandLabel = nullptr;
    QTextEdit *inputTextEdit = nullptr;
    QComboBox *commandClickCombo = nullptr;
    QLabel *commandSecLabel = nullptr;
    QDoubleSpinBox *commandTimeSpin = nullptr;
    QComboBox *conditionCombo = nullptr;
    QPushButton *addConditionButton = nullptr;
    QLabel *conditionLabel = nullptr;
    QLabel *conditionSecLabel = nullptr;
    QComboBox *conditionClickCombo = nullptr;
    QDoubleSpinBox *conditionTimeSpin = nullptr;
    QPushButton *prevPageButton = nullptr;
    QPushButton *runButton = nullptr;
    QPushButton *nextPageButton = nullptr;
    QPushButton *deleteButton = nullptr;
    QLabel *pageCountLabel = nullptr;
    QListWidget *pageList = nullptr;
    QPushButton *copyButton = nullptr;
    QPushButton *pasteButton = nullptr;
    QPushButton *undoButton = nullptr;
    QPushButton *redoButton = nullptr;
    QMenu *fileMenu = nullptr;
    QMenu *reportMenu = nullptr;
    QMenu *settingsMenu = nullptr;
    QMenu *versionMenu = nullptr;
    QMenu *helpMenu = nullptr;
    QMenu *otherMenu = nullptr;
    QAction *newAction = nullptr;
    QAction *openAction = nullptr;
    QAction *saveAsAction = nullptr;
    QAction *saveAction = nullptr;
    QAction *reportBugAction = nullptr;
    QAction *suggestAction = nullptr;
    QAction *needReplyAction = nullptr;
    QAction *askSaveAction = nullptr;
    QAction *askPasteAction = nullptr;
    QAction *askDeleteAction = nullptr;
    QAction *versionInfoAction = nullptr;
    QAction *helpModeAction = nullptr;
    QAction *askHowToUseAction = nullptr;
    QAction *manualAction = nullptr;
    QAction *languageAction = nullptr;
    QAction *viewTermsAction = nullptr;
    QAction *viewOssNoticeAction = nullptr;
    QAction *viewQtInfoAction = nullptr;
    QAction *viewLgplAction = nullptr;
    QAction *recordAction = nullptr; // first entry of the Other menu
    QLabel *commandKeyPromptLabel = nullptr;
    QLabel *conditionKeyPromptLabel = nullptr;
    QLabel *coordXLabel = nullptr;
    QSpinBox *coordXSpin = nullptr;
    QLabel *coordYLabel = nullptr;
    QSpinBox *coordYSpin = nullptr;
    QPushButton *coordGetButton = nullptr;
    QLabel *coordXLabel2 = nullptr;
    QSpinBox *coordXSpin2 = nullptr;
    QLabel *coordYLabel2 = nullptr;
    QSpinBox *coordYSpin2 = nullptr;
    QPushButton *coordGetButton2 = nullptr;
    QSpinBox *clockHourSpin = nullptr;
    QLabel *clockColonLabel = nullptr;
    QSpinBox *clockMinuteSpin = nullptr;
    // The window pages' fields (editorpanes.cpp places them): which window,
    // and how many match now; one set per side, a page may use both.
    QComboBox *windowTitleCombo = nullptr;
    QComboBox *windowModeCombo = nullptr;
    QLineEdit *windowProgramEdit = nullptr;
    QLabel *windowMatchLabel = nullptr;
    QComboBox *conditionWindowTitleCombo = nullptr;
    QComboBox *conditionWindowModeCombo = nullptr;
    QLineEdit *conditionWindowProgramEdit = nullptr;
    QLabel *conditionWindowMatchLabel = nullptr;
    QComboBox *windowStateCombo = nullptr;
    QTimer *windowMatchTimer = nullptr; // runs while a window page is shown
    // The screen pages' fields (editorpanes.cpp shows those the page's area
    // uses). An Image Jump command and an Image condition may share a page,
    // so each side has its own set.
    struct ImageFields {
        QComboBox *area = nullptr; // screenpages::Area by index
        QLabel *thresholdLabel = nullptr;
        QSpinBox *threshold = nullptr; // percent
        QLabel *xLabel = nullptr;
        QSpinBox *x = nullptr;
        QLabel *yLabel = nullptr;
        QSpinBox *y = nullptr;
        QLabel *widthLabel = nullptr;
        QSpinBox *width = nullptr;
        QLabel *heightLabel = nullptr;
        QSpinBox *height = nullptr;
        QPushButton *fromScreen = nullptr;
        QPushButton *fromFile = nullptr;
        QLabel *size = nullptr;    // "64 × 64"
        QLabel *preview = nullptr; // the template, scaled to fit
    };
    ImageFields commandImage;
    ImageFields conditionImage;
    QLabel *lookSecLabel = nullptr;
    QDoubleSpinBox *lookSecondsSpin = nullptr;
    QLabel *offsetXLabel = nullptr;
    QSpinBox *offsetXSpin = nullptr;
    QLabel *offsetYLabel = nullptr;
    QSpinBox *offsetYSpin = nullptr;
    QLabel *jumpNoteLabel = nullptr;      // an Image Jump without a template
    QComboBox *colourAreaCombo = nullptr; // screen, window
    QLabel *colourXLabel = nullptr;
    QSpinBox *colourXSpin = nullptr;
    QLabel *colourYLabel = nullptr;
    QSpinBox *colourYSpin = nullptr;
    QPushButton *colourGetButton = nullptr;
    QLabel *colourSwatch = nullptr;
    QLineEdit *colourHexEdit = nullptr;
    QComboBox *colourStateCombo = nullptr;
    QLabel *toleranceLabel = nullptr;
    QSpinBox *toleranceSpin = nullptr;
    // The kinds that jump, branch or call.
    QComboBox *jumpTargetCombo = nullptr; // item data: the page's name
    QLabel *jumpCountLabel = nullptr;
    QSpinBox *jumpCountSpin = nullptr;
    QCheckBox *jumpEveryCheck = nullptr;
    QLineEdit *callPathEdit = nullptr;
    QPushButton *callBrowseButton = nullptr;
    QPushButton *commandBranchButton = nullptr;   // the time limit and the pages
    QPushButton *conditionBranchButton = nullptr; // of a kind that branches
    // The eight window-wide shortcuts, in creation order.
    QList<QShortcut *> shortcuts;

private:
    // ---- private helpers of each concern, in their own block ----
    // [lifecycle and texts helpers]
    void enterEditor();
    void onHelpModeTriggered(bool checked);
    // [editor helpers]
    void setKeyCaptureMode(bool capturing, bool forCondition);
    void setNavigationHidden(bool hidden);
    // The Enter Text page's text: `stored` unless the user changed it.
    void startKeyCapture(bool forCondition);
    void applyNavigationRules(); // "←", "削除", "ペースト" hidden when they cannot act
    void showCommandArea();
    void showConditionArea();
    // The kind label and the kind's pane (core/pagekinds, editorpanes.h).
    void showPane(pagekinds::Side side, const QStringList &record);
    void rebuildPageList();
    // While a key capture waits, the captured key goes to the page shown, so
    // nothing may change which page that is or what it holds.
    bool keyCaptureRunning() const;
    // [files helpers]
    // The settings file read, Help Mode's check as it says.
    void loadConfig();
    // [capture helpers]
    // The coordinate capture was started by the Colour page's Get button:
    // Ctrl+Alt+G fills in the condition's position and colour.
    bool coordinateForColour = false;
    // Ctrl+Alt+G on a Colour page: the position (in the window under the
    // pointer when the page looks at a window) and the colour there.
    void takeColourAtPointer(const platform::Point &p);
    // [screen page helpers] (tarnwick_template.cpp)
    // Writes a template (templates->taken) into the page's Image or Image
    // Jump record.
    void setTemplate(bool forCondition, int page, const QByteArray &png, double scale);
    // Writes `p` into the page and gives the user the window back.
    void takeCoordinate(const platform::Point &p);
    // [help helpers]
    // Asks before launching the browser, then opens `address` in it.
    void openWebForm(const QString &address);
    // [ui helpers]
    // Every widget's text in both languages, registered where it is made.
    TextBindings textBindings;
    void buildUi();
    void buildMenus(); // the six menus and their 19 actions, menu bar hidden
    void buildWindowFields();
    void buildScreenFields(); // Colour, Image and Image Jump
    void buildFlowFields();   // the kinds that jump, branch or call
    // tarnwick_flow.cpp: the branch's limit and pages in a dialog, the called
    // project chosen from a file dialog.
    void editBranch(bool condition);
    void browseCalledProject();
};
