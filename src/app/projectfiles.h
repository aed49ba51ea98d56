#pragma once

// The project's files: New, Open, Save, Save As, the project named on the
// command line, and the settings file that remembers the last project. The
// file formats live in core/projectfile and core/configstore; this class
// holds the dialogs and questions and hands the pages to the document.

#include "core/configstore.h"

#include <QObject>
#include <QString>

class ProjectDocument;
class QWidget;
struct UiText;
namespace projectfile {
enum class LoadStatus;
}

class ProjectFiles : public QObject {
    Q_OBJECT

public:
    // Dialogs and questions are shown over `window`, which owns this object.
    ProjectFiles(ProjectDocument &document, configstore::Settings &settings, QWidget *window);

    // The file_path read from the configuration: where Open starts while
    // the project has no file.
    QString lastFilePath;
    // The last question or error shown, as the user read it.
    QString messageTitle;
    QString messageText;

    // While the project has no file, its path is the desktop folder.
    static QString noProjectFilePath();
    bool hasNoProjectFile() const;
    // "新規プロジェクト" while the project has no file, else the file's base name.
    QString windowTitleForPath() const;

    // Asks before an unsaved project is replaced; true when the caller may go on.
    bool confirmDiscardUnsaved(const UiText &question);
    bool confirmLoadOverUnsaved(); // Open's question

    void newFile();
    // Open's dialog, then the chosen project.
    void loadFile1();
    // The project named on the command line, as Open with it chosen;
    // `editorOpen` false: the window's project has no file yet. False when
    // the user kept the unsaved project.
    bool openProjectFile(const QString &path, bool editorOpen);
    // Save As: asks for a name (".cmdat" added), then writes.
    void saveFile1();
    // Save: Save As while the project has no file.
    void saveFile3();
    void writeProjectFile();
    // Reads the project at the document's path; on failure says why and
    // changes nothing.
    projectfile::LoadStatus readProjectFile();
    // readProjectFile for a newly chosen path, which becomes the project's
    // path even when reading fails (so Save writes there), except for a
    // project of a newer version or a file too large to be a project: Save
    // must not overwrite those.
    void readChosenProjectFile(const QString &path);

    // The settings file: read into the settings (the document's path from
    // its file_path) and written from them.
    QString configFilePath() const;
    configstore::LoadStatus loadConfig();
    void saveConfig();

signals:
    // The project was replaced, read or written: the window redraws.
    void projectChanged();

private:
    void migrateConfig() const;

    ProjectDocument &document_;
    configstore::Settings &settings_;
    QWidget *window_;
};
