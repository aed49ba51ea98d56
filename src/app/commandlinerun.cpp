#include "commandlinerun.h"

#include "core/configstore.h"
#include "core/projectfile.h"
#include "displaysessionnotice.h"
#include "run/run.h"
#include "run/runstart.h"
#include "run/runsteps.h"
#include "run/terminationguard.h"
#include "runtrayicon.h"

#include <QApplication>
#include <QFileInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QThread>

#include <QFile>

#include <cstdio>
#include <memory>

#if defined(Q_OS_WIN)
#include <io.h>
#define TW_ISATTY(fd) _isatty(fd)
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#define TW_ISATTY(fd) isatty(fd)
#endif

namespace {

// The run's messages follow the locale; the argument errors are English.
bool japanese() {
#if defined(Q_OS_WIN)
    static const bool ja = commandline::japaneseMessages(QLocale::system().uiLanguages());
#else
    static const bool ja = commandline::japaneseMessages(commandline::posixMessageLanguages(
        qEnvironmentVariable("LC_ALL"), qEnvironmentVariable("LC_MESSAGES"),
        qEnvironmentVariable("LANG"), qEnvironmentVariable("LANGUAGE")));
#endif
    return ja;
}

// True when the descriptor is not open: a run started with `<&-`.
bool descriptorClosed(int fd) {
#if defined(Q_OS_WIN)
    // -2: a program without a console was given no stream there.
    const intptr_t handle = _get_osfhandle(fd);
    return handle == -1 || handle == -2;
#else
    return ::fcntl(fd, F_GETFD) == -1 && errno == EBADF;
#endif
}

void printError(const QString &text) {
    std::fprintf(stderr, "tarnwick: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// The run settings the dialog would start with: read the way the main
// window reads them, never written here.
configstore::Settings savedSettings() {
    const QString appDir = QCoreApplication::applicationDirPath();
    const QString configDir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    configstore::migrate(appDir, configDir);
    configstore::Settings settings;
    configstore::load(configstore::configFilePath(configDir, appDir), settings);
    return settings;
}

// Where the project lies, for the projects it calls: none for standard input.
QString projectPath(const QString &file) {
    return file == QLatin1String("-") ? QString() : QFileInfo(file).absoluteFilePath();
}

// Reads the project and checks that this version can play every page. A
// failure is reported on stderr, with Open's message or one line naming the
// page, and gives false.
bool loadPlayable(const QString &file, projectfile::LoadResult &project) {
    if (file == QLatin1String("-")) {
        // By descriptor: Qt on Windows fails a read of a FILE at its end
        // (rather than reading nothing), so a pipe or the console never ended.
        QFile in;
        if (!descriptorClosed(0) && in.open(0, QIODevice::ReadOnly)) {
            project = projectfile::read(in);
        } else {
            project.status = projectfile::LoadStatus::OpenFailed;
            project.openProblem = projectfile::OpenProblem::InputClosed;
        }
    } else {
        project = projectfile::load(file);
    }
    if (project.status != projectfile::LoadStatus::Ok) {
        printError(projectfile::loadErrorLine(project, file, japanese()));
        return false;
    }
    pageflow::Project checked;
    checked.path = projectPath(file);
    checked.commands = project.commands;
    checked.conditions = project.conditions;
    checked.names = project.names;
    const runsteps::Refusal refusal = flowsteps::prepare(checked, projectfile::loadCalled).refusal;
    if (refusal.refused()) {
        printError(runsteps::refusalText(refusal, japanese()));
        return false;
    }
    return true;
}

} // namespace

bool loadRunProject(const commandline::Request &request, projectfile::LoadResult &project) {
    return loadPlayable(request.file, project);
}

int runFromCommandLine(const commandline::Request &request,
                       const projectfile::LoadResult &project) {
    RunSettings plan;
    QString error;
    const configstore::Settings stored = savedSettings();
    const RunSettings saved = runSettingsOf(stored);
    const bool heard = stopKeysHeard(request.stopCommand.value_or(saved.stopCommand));
    if (!commandline::planRun(request, saved, QSystemTrayIcon::isSystemTrayAvailable(), plan, error,
                              heard)) {
        printError(error);
        return commandline::kExitUsage;
    }

    const projectfile::Pages commands = project.commands;
    const QString projectName = QFileInfo(request.file).baseName();
    auto *run = new Run();
    run->setFlow(project.names, projectPath(request.file));
    runsteps::Refusal refusal;
    if (!run->prepare(plan, project.commands, project.conditions, projectName, &refusal)) {
        delete run;
        printError(runsteps::refusalText(refusal, japanese()));
        return commandline::kExitUsage;
    }
    // Owned by the application object until the run has finished.
    new RunTrayIcon(run, projectName, qApp, stored.is_japanese);
    // A run that plays at another speed, or varies, says so as it starts.
    if (plan.pace.speed != runpace::kDefaultSpeed || plan.pace.varies())
        printError(commandline::paceNotice(plan));
    // On Wayland what stops the run depends on the session.
    const QString stopNotice = waylandStopNotice(plan.stopCommand, false);
    if (!stopNotice.isEmpty())
        printError(stopNotice);

    if (TW_ISATTY(2)) {
        const int passes = plan.runCount;
        QObject::connect(run, &Run::pageStarted, qApp, [commands, passes](int pass, int page) {
            const QString kind = commands.value(page - 1).value(0);
            const QString line =
                commandline::progressLine(pass, passes, page, int(commands.size()), kind);
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        });
    }

    // A page that could not find or bring up its window says so.
    auto failed = std::make_shared<bool>(false);
    QObject::connect(run, &Run::pageFailed, qApp, [failed](const RunFailure &failure) {
        *failed = true;
        printError(runsteps::failureText(failure, japanese()));
    });
    auto status = std::make_shared<int>(commandline::kExitOk);
    QObject::connect(run, &Run::ended, qApp, [status, failed](bool stopped) {
        *status = *failed   ? commandline::kExitPageFailed
                  : stopped ? commandline::kExitStopped
                            : commandline::kExitOk;
    });
    const QPointer<QThread> thread = startRunThread(run, qApp);
    QObject::connect(thread, &QThread::finished, qApp, [status, thread] {
        // Joined, so the run has been deleted and holds nothing when the
        // application object and the input layer go.
        if (thread)
            thread->wait();
        // After a termination signal the guard ends the loop, and main the
        // process by the signal.
        if (!terminationRequested())
            QCoreApplication::exit(*status);
    });
    return QApplication::exec();
}
