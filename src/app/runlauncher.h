#pragma once

// Running the project from the editor: the run settings dialog ("実行"),
// starting a run with the window out of the way, the window back when it
// ends, and the start key that runs the project with the saved settings.

#include "core/configstore.h"
#include "platform/shortcuts.h"

#include <QObject>
#include <QString>

class ProjectDocument;
class ProjectFiles;
class QWidget;

class RunLauncher : public QObject {
    Q_OBJECT

public:
    // The run hides and shows `window`, which owns this object.
    RunLauncher(ProjectDocument &document, configstore::Settings &settings,
                const ProjectFiles &files, QWidget *window);
    // Gives the start key back.
    ~RunLauncher() override;

    // The settings dialog, then the run.
    void stertRun();
    // A run of the pages with the settings as they are.
    void startRun();
    // The window back, and why a page stopped the run if one did.
    void onRunFinished();
    // Holds the start key (startCommand) as a global shortcut, or gives it
    // back when there is none; again after each change of the settings.
    void applyStartKey();
    // Refused (and said why) when a page of the project cannot be played.
    bool refusedByPages();
    // The name a run shows for the project: "新規プロジェクト" while it has no file.
    QString runProjectName() const;

    bool runPlaying = false;
    // Why a page stopped the run now ending; shown when the window is back.
    QString runStopText;
    platform::Shortcut startKeyId = platform::Shortcut::RunStart;
    bool startKeyHeld = false;
    // The last question or error shown, as the user read it.
    QString messageTitle;
    QString messageText;

signals:
    // The start key was pressed.
    void startKeyPressed();
    // The run ended and its objects are going.
    void runFinished();

private:
    // The project's file for its calls; "" while it has none.
    QString runFilePath() const;

    ProjectDocument &document_;
    configstore::Settings &settings_;
    const ProjectFiles &files_;
    QWidget *window_;
};
