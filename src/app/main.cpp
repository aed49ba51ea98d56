#include "commandlinerun.h"
#include "core/commandline.h"
#include "core/localfilename.h"
#include "displaysessionnotice.h"
#include "parentconsole.h"
#include "platform/backend.h"
#include "run/terminationguard.h"
#include "runstopserver.h"
#include "tarnwick.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#if !defined(Q_OS_WIN)
// Last: Xlib's macros (None, Bool, Status) would clash with Qt's headers.
#include <X11/Xlib.h>
#endif

namespace {

void printTo(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

void printUsageError(const QString &error) {
    attachParentConsole();
    printTo(stderr, QStringLiteral("tarnwick: %1\nTry 'tarnwick --help'.\n").arg(error));
}

// Help, version and argument errors are answered before the application
// object exists, so they need no display. Returns -1 when the program goes on.
int answerWithoutDisplay(const commandline::Request &request, const QStringList &arguments) {
    switch (request.action) {
    case commandline::Action::ShowHelp:
        attachParentConsole();
        printTo(stdout, commandline::helpText());
        return commandline::kExitOk;
    case commandline::Action::ShowVersion:
        attachParentConsole();
        printTo(stdout, QStringLiteral("tarnwick %1\n").arg(QStringLiteral(TARNWICK_VERSION)));
        return commandline::kExitOk;
    case commandline::Action::StopRunning:
    case commandline::Action::PauseRunning:
    case commandline::Action::ResumeRunning:
    case commandline::Action::TogglePauseRunning: {
        int argc = 1;
        char name[] = "tarnwick";
        char *argv[] = {name, nullptr};
        QCoreApplication app(argc, argv); // for the socket; no display needed
        const RunStopServer::Ask ask =
            request.action == commandline::Action::PauseRunning    ? RunStopServer::Ask::Pause
            : request.action == commandline::Action::ResumeRunning ? RunStopServer::Ask::Resume
            : request.action == commandline::Action::TogglePauseRunning
                ? RunStopServer::Ask::TogglePause
                : RunStopServer::Ask::Stop;
        const int rc = RunStopServer::askRun(ask);
        if (rc != commandline::kExitOk)
            printTo(stderr, QStringLiteral("tarnwick: no run of this user is running\n"));
        return rc;
    }
    case commandline::Action::Fail:
        // Qt's own options (-platform, -display) are taken out by the
        // application object; judge again once it has done so.
        for (const QString &argument : arguments) {
            if (commandline::mayBeToolkitOption(argument))
                return -1;
        }
        printUsageError(request.error);
        return commandline::kExitUsage;
    default:
        return -1;
    }
}

// A run started by cron or a timer is quiet: the program's debug lines would
// be mailed on every run. Warnings stay; --verbose, the GUI and
// QT_LOGGING_RULES (which wins over this) keep them all.
void quietUnlessVerbose(const commandline::Request &request) {
    if (request.action == commandline::Action::Run && !request.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("tarnwick.*.debug=false"));
}

void printNoDisplay(const QString &reason) {
    printTo(stderr, QStringLiteral("tarnwick: no display could be opened: %1\n").arg(reason));
}

// Qt ends the program with abort() (status 134, perhaps a core file) when its
// platform cannot start. While the application object is being made, that
// becomes the documented status and one line; everything else goes on to
// Qt's own handler.
QtMessageHandler qtHandler = nullptr;
void platformFailureHandler(QtMsgType type, const QMessageLogContext &context,
                            const QString &message) {
    if (type == QtFatalMsg) {
        printNoDisplay(QStringLiteral("Qt's platform plugin could not start"));
        std::_Exit(commandline::kExitNoDisplay);
    }
    if (qtHandler)
        qtHandler(type, context, message);
    else
        printTo(stderr, qFormatLogMessage(type, context, message) + QLatin1Char('\n'));
}

#if !defined(Q_OS_WIN)
// The value of a Qt option given as "-name VALUE" or "--name VALUE", else
// `fallback`.
QString toolkitOption(const QStringList &arguments, const QString &name, const QString &fallback) {
    QString value = fallback;
    for (int i = 1; i + 1 < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1Char('-') + name || argument == QLatin1String("--") + name)
            value = arguments.at(i + 1);
    }
    return value;
}

// When Qt is going to use X11, an X display must open: checked here, since
// without one Qt aborts. Returns false after saying why.
bool xDisplayOpens(const QStringList &arguments) {
    // The first of a "wayland;xcb" list, without its ":options".
    const QString platformName = toolkitOption(arguments, QStringLiteral("platform"),
                                               qEnvironmentVariable("QT_QPA_PLATFORM"))
                                     .section(QLatin1Char(';'), 0, 0)
                                     .section(QLatin1Char(':'), 0, 0);
    const bool waylandSession =
        !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
        qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland");
    if (platformName != QLatin1String("xcb") && !(platformName.isEmpty() && !waylandSession))
        return true; // another platform; the handler above covers its failure
    const QString name =
        toolkitOption(arguments, QStringLiteral("display"), qEnvironmentVariable("DISPLAY"));
    if (name.isEmpty()) {
        printNoDisplay(QStringLiteral("DISPLAY is not set"));
        return false;
    }
    Display *display = XOpenDisplay(name.toLocal8Bit().constData());
    if (!display) {
        printNoDisplay(QStringLiteral("cannot connect to \"%1\"").arg(name));
        return false;
    }
    XCloseDisplay(display);
    return true;
}
#endif

} // namespace

int main(int argc, char *argv[]) {
    // A file name's bytes survive even where they are not text.
    const QStringList rawArguments = localfilename::arguments(argc, argv);
    const commandline::Request early = commandline::parse(rawArguments);
    // Windows: the command line's answers reach the console it was started
    // from; help, version and argument errors attach where they print.
    if (early.action == commandline::Action::Run)
        attachParentConsole();
    const int answered = answerWithoutDisplay(early, rawArguments);
    if (answered >= 0)
        return answered;
    quietUnlessVerbose(early);
    // Before the project is opened (a pipe may block that) and before any
    // thread starts, so every later thread leaves the signals to the guard.
    prepareTerminationGuard();
    // The project is read once, since a pipe or standard input cannot be read
    // again. Here, so an unreadable project is reported without a display; on
    // Windows the narrow argv may not spell the name, so it is read below from
    // the application's own list.
    std::optional<projectfile::LoadResult> project;
#if !defined(Q_OS_WIN)
    if (early.action == commandline::Action::Run) {
        project.emplace();
        if (!loadRunProject(early, *project))
            return commandline::kExitUsage;
    }
#endif

#if !defined(Q_OS_WIN)
    // Qt's platform follows the session: Wayland where the compositor offers
    // virtual input (the Wayland backend), else X11, through XWayland under
    // other Wayland desktops. A platform the user chose wins.
    const platform::SessionChoice session = applyDisplaySession(rawArguments);
    if (!xDisplayOpens(rawArguments))
        return commandline::kExitNoDisplay;
#endif
    qtHandler = qInstallMessageHandler(platformFailureHandler);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    // Qt's options are taken out of argv now. On Windows the application's
    // own list is the reliable one (wide characters); elsewhere argv, decoded
    // so that a file name that is not text keeps its bytes.
#if defined(Q_OS_WIN)
    const QStringList arguments = QCoreApplication::arguments();
#else
    const QStringList arguments = localfilename::arguments(argc, argv);
#endif
    const commandline::Request request = commandline::parse(arguments);
    if (request.action == commandline::Action::Fail) {
        printUsageError(request.error);
        return commandline::kExitUsage;
    }
    if (answerWithoutDisplay(request, {}) >= 0)
        return commandline::kExitOk; // help or version after Qt's options
    quietUnlessVerbose(request);
    if (request.action == commandline::Action::Run)
        attachParentConsole(); // once only; Qt's options may have hidden --run above
    if (request.action == commandline::Action::Run && !project) {
        project.emplace();
        if (!loadRunProject(request, *project))
            return commandline::kExitUsage;
    }

    QFont tipFont = QToolTip::font();
    tipFont.setPixelSize(18);
    QToolTip::setFont(tipFont);

    // The backend needs the application's display connection, so it is
    // created after the application object and dropped before it. Qt's
    // platform name tells which system the program runs on.
    std::string error;
    std::unique_ptr<platform::Backend> backend =
        platform::createBackend(QGuiApplication::platformName().toStdString(), error);
    platform::setBackend(backend.get());
    const bool canPlay = backend->capabilities().synthesis;
    if (!error.empty())
        std::fprintf(stderr, "tarnwick: input functions are not available: %s\n", error.c_str());
    installTerminationGuard();

    int rc = 0;
    if (request.action == commandline::Action::Run) {
#if !defined(Q_OS_WIN)
        const QString notice = displaySessionNotice(session, false);
        if (!notice.isEmpty())
            printTo(stderr, QStringLiteral("tarnwick: %1\n").arg(notice));
#endif
        if (!canPlay) {
            endTerminationGuard();
            platform::setBackend(nullptr);
            return commandline::kExitNoBackend; // nothing can be played; the reason is above
        }
        rc = runFromCommandLine(request, *project);
    } else {
        tarnwick window;
        window.show();
#if !defined(Q_OS_WIN)
        QTimer::singleShot(0, &window, [&window] {
            showDisplaySessionNotice(&window, window.settings.is_japanese);
        });
#endif
        if (request.action == commandline::Action::OpenFile) {
            // Once the window is up, so its questions and messages have a parent.
            const QString file = request.file;
            QTimer::singleShot(0, &window, [&window, file] { window.openProjectFile(file); });
        }
        rc = QApplication::exec();
    }
    if (platform::InputLayer *input = backend->synthesis())
        input->releaseAll();
    endTerminationGuard(); // after a termination signal, the process ends here by it
    platform::setBackend(nullptr);
    return rc;
}
