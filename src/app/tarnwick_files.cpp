// Project files (New, Open, Save, Save As) and the settings file. The file
// formats live in core/projectfile and core/configstore; this file holds the
// dialogs, questions and the hand-over to and from the window's members.

#include "tarnwick.h"
#include "uitexts.h"

#include "core/configstore.h"
#include "core/localfilename.h"
#include "core/pageflow.h"
#include "core/pagerecords.h"
#include "core/projectfile.h"
#include "core/projecttexts.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

const QString kFileFilter = QStringLiteral("Command Data (*.cmdat);;All Files (*)");
const QString kExtension = QStringLiteral(".cmdat");

} // namespace

QString tarnwick::noProjectFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

bool tarnwick::hasNoProjectFile() const {
    return QDir::cleanPath(filePath) == QDir::cleanPath(noProjectFilePath());
}

bool tarnwick::confirmDiscardUnsaved(const UiText &question) {
    if (!isProjectDirty() || !is_message_file)
        return true;
    messageTitle = uitexts::warningTitle.in(is_japanese);
    messageText = question.in(is_japanese);
    return QMessageBox::warning(this, messageTitle, messageText, QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

void tarnwick::newFile() {
    if (!confirmDiscardUnsaved(uitexts::newFileText))
        return;
    filePath = noProjectFilePath();
    listCommand = {pagerecords::newPageCommand()};
    listCondition = {pagerecords::newPageCondition()};
    listName.clear();
    savedListCommand = listCommand;
    savedListCondition = listCondition;
    savedListName = listName;
    currentPage = 1;
    refreshPage();
}

bool tarnwick::confirmLoadOverUnsaved() {
    return confirmDiscardUnsaved(uitexts::loadOverUnsavedText);
}

void tarnwick::loadFile1() {
    if (!confirmLoadOverUnsaved())
        return;
    const QString startFolder = hasNoProjectFile() ? lastFilePath : filePath;
    const QString chosen = QFileDialog::getOpenFileName(
        this, QString::fromUtf16(uitexts::openCaption), startFolder, kFileFilter);
    if (chosen.isEmpty())
        return;
    readChosenProjectFile(chosen);
}

void tarnwick::openProjectFile(const QString &path) {
    // As Open with this file chosen in the dialog.
    if (!confirmLoadOverUnsaved())
        return;
    // Before the editor opens, the window's project is a new one: it has
    // no file, whatever path the start page remembers.
    if (!editorOpen)
        filePath = noProjectFilePath();
    readChosenProjectFile(localfilename::absolute(path));
    enterEditor();
}

void tarnwick::importedCommand() {
    filePath = noProjectFilePath();
    loadFile1();
    enterEditor();
}

void tarnwick::saveFile3() {
    if (hasNoProjectFile())
        saveFile1();
    else
        writeProjectFile();
}

void tarnwick::saveFile1() {
    QString chosen = QFileDialog::getSaveFileName(this, QString::fromUtf16(uitexts::saveCaption),
                                                  filePath, kFileFilter);
    if (chosen.isEmpty())
        return;
    if (!chosen.endsWith(kExtension, Qt::CaseInsensitive))
        chosen += kExtension;
    filePath = chosen;
    writeProjectFile();
}

void tarnwick::writeProjectFile() {
    const projectfile::SaveStatus status =
        projectfile::save(filePath, listCommand, listCondition, listName);
    if (status != projectfile::SaveStatus::Ok) {
        QMessageBox::warning(this, projectfile::saveErrorTitle(is_japanese),
                             projectfile::saveErrorText(status, filePath, is_japanese),
                             QMessageBox::Ok);
        return;
    }
    savedListCommand = listCommand;
    savedListCondition = listCondition;
    savedListName = listName;
    QApplication::beep();
    refreshPage();
}

void tarnwick::readChosenProjectFile(const QString &path) {
    const QString previous = filePath;
    filePath = path;
    const projectfile::LoadStatus status = readProjectFile();
    if (status == projectfile::LoadStatus::UnknownKind ||
        status == projectfile::LoadStatus::BadFlow || status == projectfile::LoadStatus::TooLarge)
        filePath = previous;
}

projectfile::LoadStatus tarnwick::readProjectFile() {
    projectfile::LoadResult result = projectfile::load(filePath);
    if (result.status != projectfile::LoadStatus::Ok) {
        QMessageBox::warning(this, projectfile::loadErrorTitle(is_japanese),
                             projectfile::loadErrorText(result, filePath, is_japanese),
                             QMessageBox::Ok);
        return result.status;
    }
    listCommand = std::move(result.commands);
    listCondition = std::move(result.conditions);
    listName = std::move(result.names);
    savedListCommand = listCommand;
    savedListCondition = listCondition;
    savedListName = listName;
    currentPage = 1;
    refreshPage();
    QApplication::beep();
    // The projects it calls are read now, so a circle or a missing file is
    // told at once. The project still opens: its calls are mended here.
    pageflow::Project project;
    project.path = QFileInfo(filePath).absoluteFilePath();
    project.commands = listCommand;
    project.conditions = listCondition;
    project.names = listName;
    const pageflow::Refusal calls = pageflow::loadCalls(project, projectfile::loadCalled).refusal;
    if (calls.refused()) {
        messageTitle = projectfile::loadErrorTitle(is_japanese);
        messageText = projectfile::flowErrorText(calls, is_japanese) + QLatin1Char('\n') +
                      projecttexts::callsUntilMended.in(is_japanese);
        QMessageBox::warning(this, messageTitle, messageText, QMessageBox::Ok);
    }
    return projectfile::LoadStatus::Ok;
}

// ---- settings file ----

QString tarnwick::configFilePath() const {
    return configstore::configFilePath(
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
        QCoreApplication::applicationDirPath());
}

void tarnwick::migrateConfig() const {
    configstore::migrate(QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

void tarnwick::loadConfig() {
    // Defaults again; the stop command keeps the value it was constructed with.
    configstore::Settings s;
    s.stopCommand = stopCommand;

    migrateConfig();
    const configstore::LoadStatus status = configstore::load(configFilePath(), s);

    configstore::copySettings(s, *this);
    filePath = noProjectFilePath();
    if (status != configstore::LoadStatus::Loaded)
        return;
    if (!s.filePath.isEmpty()) {
        filePath = s.filePath;
        lastFilePath = s.filePath;
    }
    // During construction the menus do not exist yet; buildUi sets the check.
    if (helpModeAction)
        helpModeAction->setChecked(is_help);
    qCDebug(lcConfig) << "Config loaded:"
                      << "stertTime =" << stertTime << "runNumber =" << runNumber
                      << "stopCommand =" << stopCommand << "filePath =" << filePath;
}

void tarnwick::saveConfig() {
    migrateConfig();
    configstore::Settings s;
    configstore::copySettings(*this, s);
    // Without a project file, keep the path read at start so it is not lost.
    s.filePath = hasNoProjectFile() ? lastFilePath : filePath;
    // The settings file is text: a name with bytes that are not text would
    // come back as another name, and a Save would create that file. Its
    // folder still serves the file dialogs.
    if (localfilename::hasRawBytes(s.filePath)) {
        const QString folder = s.filePath.section(QLatin1Char('/'), 0, -2);
        s.filePath = localfilename::hasRawBytes(folder) ? QString() : folder;
    }
    configstore::save(configFilePath(), s);
}
