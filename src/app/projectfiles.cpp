#include "projectfiles.h"

#include "uitexts.h"

#include "core/localfilename.h"
#include "core/pageflow.h"
#include "core/projectdocument.h"
#include "core/projectfile.h"
#include "core/projecttexts.h"

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

ProjectFiles::ProjectFiles(ProjectDocument &document, configstore::Settings &settings,
                           QWidget *window)
    : QObject(window), document_(document), settings_(settings), window_(window) {}

QString ProjectFiles::noProjectFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

bool ProjectFiles::hasNoProjectFile() const {
    return QDir::cleanPath(document_.filePath()) == QDir::cleanPath(noProjectFilePath());
}

QString ProjectFiles::windowTitleForPath() const {
    if (hasNoProjectFile())
        return QString::fromUtf16(uitexts::newProjectName);
    return QFileInfo(document_.filePath()).baseName();
}

bool ProjectFiles::confirmDiscardUnsaved(const UiText &question) {
    if (!document_.isModified() || !settings_.is_message_file)
        return true;
    messageTitle = uitexts::warningTitle.in(settings_.is_japanese);
    messageText = question.in(settings_.is_japanese);
    return QMessageBox::warning(window_, messageTitle, messageText,
                                QMessageBox::Yes | QMessageBox::No,
                                QMessageBox::No) == QMessageBox::Yes;
}

bool ProjectFiles::confirmLoadOverUnsaved() {
    return confirmDiscardUnsaved(uitexts::loadOverUnsavedText);
}

void ProjectFiles::newFile() {
    if (!confirmDiscardUnsaved(uitexts::newFileText))
        return;
    document_.setFilePath(noProjectFilePath());
    document_.newProject();
    emit projectChanged();
}

void ProjectFiles::loadFile1() {
    if (!confirmLoadOverUnsaved())
        return;
    const QString startFolder = hasNoProjectFile() ? lastFilePath : document_.filePath();
    const QString chosen = QFileDialog::getOpenFileName(
        window_, QString::fromUtf16(uitexts::openCaption), startFolder, kFileFilter);
    if (chosen.isEmpty())
        return;
    readChosenProjectFile(chosen);
}

bool ProjectFiles::openProjectFile(const QString &path, bool editorOpen) {
    if (!confirmLoadOverUnsaved())
        return false;
    // Before the editor opens, the window's project is a new one: it has
    // no file, whatever path the start page remembers.
    if (!editorOpen)
        document_.setFilePath(noProjectFilePath());
    readChosenProjectFile(localfilename::absolute(path));
    return true;
}

void ProjectFiles::saveFile3() {
    if (hasNoProjectFile())
        saveFile1();
    else
        writeProjectFile();
}

void ProjectFiles::saveFile1() {
    QString chosen = QFileDialog::getSaveFileName(window_, QString::fromUtf16(uitexts::saveCaption),
                                                  document_.filePath(), kFileFilter);
    if (chosen.isEmpty())
        return;
    if (!chosen.endsWith(kExtension, Qt::CaseInsensitive))
        chosen += kExtension;
    document_.setFilePath(chosen);
    writeProjectFile();
}

void ProjectFiles::writeProjectFile() {
    const QString &filePath = document_.filePath();
    const projectfile::SaveStatus status = projectfile::save(
        filePath, document_.listCommand(), document_.listCondition(), document_.listName());
    if (status != projectfile::SaveStatus::Ok) {
        QMessageBox::warning(window_, projectfile::saveErrorTitle(settings_.is_japanese),
                             projectfile::saveErrorText(status, filePath, settings_.is_japanese),
                             QMessageBox::Ok);
        return;
    }
    document_.markSaved();
    QApplication::beep();
    emit projectChanged();
}

void ProjectFiles::readChosenProjectFile(const QString &path) {
    const QString previous = document_.filePath();
    document_.setFilePath(path);
    const projectfile::LoadStatus status = readProjectFile();
    if (status == projectfile::LoadStatus::UnknownKind ||
        status == projectfile::LoadStatus::BadFlow || status == projectfile::LoadStatus::TooLarge)
        document_.setFilePath(previous);
}

projectfile::LoadStatus ProjectFiles::readProjectFile() {
    const QString filePath = document_.filePath();
    projectfile::LoadResult result = projectfile::load(filePath);
    if (result.status != projectfile::LoadStatus::Ok) {
        QMessageBox::warning(window_, projectfile::loadErrorTitle(settings_.is_japanese),
                             projectfile::loadErrorText(result, filePath, settings_.is_japanese),
                             QMessageBox::Ok);
        return result.status;
    }
    document_.replaceProject(result.commands, result.conditions, result.names);
    emit projectChanged();
    QApplication::beep();
    // The projects it calls are read now, so a circle or a missing file is
    // told at once. The project still opens: its calls are mended here.
    pageflow::Project project;
    project.path = QFileInfo(filePath).absoluteFilePath();
    project.commands = document_.listCommand();
    project.conditions = document_.listCondition();
    project.names = document_.listName();
    const pageflow::Refusal calls = pageflow::loadCalls(project, projectfile::loadCalled).refusal;
    if (calls.refused()) {
        messageTitle = projectfile::loadErrorTitle(settings_.is_japanese);
        messageText = projectfile::flowErrorText(calls, settings_.is_japanese) + QLatin1Char('\n') +
                      projecttexts::callsUntilMended.in(settings_.is_japanese);
        QMessageBox::warning(window_, messageTitle, messageText, QMessageBox::Ok);
    }
    return projectfile::LoadStatus::Ok;
}

// ---- settings file ----

QString ProjectFiles::configFilePath() const {
    return configstore::configFilePath(
        QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation),
        QCoreApplication::applicationDirPath());
}

void ProjectFiles::migrateConfig() const {
    configstore::migrate(QCoreApplication::applicationDirPath(),
                         QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation));
}

configstore::LoadStatus ProjectFiles::loadConfig() {
    // Defaults again; the stop command keeps the value it had.
    configstore::Settings s;
    s.stopCommand = settings_.stopCommand;

    migrateConfig();
    const configstore::LoadStatus status = configstore::load(configFilePath(), s);

    settings_ = s;
    document_.setFilePath(noProjectFilePath());
    if (status != configstore::LoadStatus::Loaded)
        return status;
    if (!s.filePath.isEmpty()) {
        document_.setFilePath(s.filePath);
        lastFilePath = s.filePath;
    }
    qCDebug(lcConfig) << "Config loaded:"
                      << "stertTime =" << settings_.stertTime
                      << "runNumber =" << settings_.runNumber
                      << "stopCommand =" << settings_.stopCommand
                      << "filePath =" << document_.filePath();
    return status;
}

void ProjectFiles::saveConfig() {
    migrateConfig();
    configstore::Settings s = settings_;
    // Without a project file, keep the path read at start so it is not lost.
    s.filePath = hasNoProjectFile() ? lastFilePath : document_.filePath();
    // The settings file is text: a name with bytes that are not text would
    // come back as another name, and a Save would create that file. Its
    // folder still serves the file dialogs.
    if (localfilename::hasRawBytes(s.filePath)) {
        const QString folder = s.filePath.section(QLatin1Char('/'), 0, -2);
        s.filePath = localfilename::hasRawBytes(folder) ? QString() : folder;
    }
    configstore::save(configFilePath(), s);
}
