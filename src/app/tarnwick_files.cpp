// The file slots of the window: the work, with its dialogs and questions,
// is ProjectFiles'.

#include "projectfiles.h"
#include "tarnwick.h"

#include "core/projectdocument.h"

#include <QAction>

void tarnwick::newFile() {
    files->newFile();
}

void tarnwick::loadFile1() {
    files->loadFile1();
}

void tarnwick::openProjectFile(const QString &path) {
    // As Open with this file chosen in the dialog.
    if (files->openProjectFile(path, editorOpen))
        enterEditor();
}

void tarnwick::importedCommand() {
    document->setFilePath(ProjectFiles::noProjectFilePath());
    files->loadFile1();
    enterEditor();
}

void tarnwick::saveFile3() {
    files->saveFile3();
}

void tarnwick::saveFile1() {
    files->saveFile1();
}

void tarnwick::loadConfig() {
    if (files->loadConfig() != configstore::LoadStatus::Loaded)
        return;
    // During construction the menus do not exist yet; buildUi sets the check.
    if (helpModeAction)
        helpModeAction->setChecked(settings.is_help);
}
