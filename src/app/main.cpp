#include "commandlinerun.h"
#include "core/commandline.h"
#include "parentconsole.h"
#include "platform/backend.h"
#include "run/terminationguard.h"
#include "tarnwick.h"

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>
#include <QToolTip>
#include <cstdio>
#include <memory>
#include <string>

namespace {

void printTo(std::FILE *stream, const QString &text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

void printUsageError(const QString &error) {
    printTo(stderr, QStringLiteral("tarnwick: %1\nTry 'tarnwick --help'.\n").arg(error));
}

// Help, version and argument errors are answered before the application
// object exists, so they need no display. Returns -1 when the program goes on.
int answerWithoutDisplay(const commandline::Request &request, const QStringList &arguments) {
    switch (request.action) {
    case commandline::Action::ShowHelp:
        printTo(stdout, commandline::helpText());
        return commandline::kExitOk;
    case commandline::Action::ShowVersion:
        printTo(stdout, QStringLiteral("tarnwick %1\n").arg(QStringLiteral(TARNWICK_VERSION)));
        return commandline::kExitOk;
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

} // namespace

int main(int argc, char *argv[]) {
    attachParentConsole(); // Windows: answers reach the console we were started from
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    const commandline::Request early = commandline::parse(rawArguments);
    const int answered = answerWithoutDisplay(early, rawArguments);
    if (answered >= 0)
        return answered;
#if !defined(Q_OS_WIN)
    // An unreadable project is reported without a display too. (On Windows
    // the narrow argv may not spell the name; the run checks it again.)
    if (early.action == commandline::Action::Run && !checkRunProject(early))
        return commandline::kExitUsage;
#endif

#if !defined(Q_OS_WIN)
    // Under a Wayland session Qt would pick its Wayland platform, for which
    // there is no input backend yet; through XWayland the X11 backend still
    // reaches X11 programs, as it always has. A platform the user chose wins.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
#endif
    QApplication app(argc, argv);
    // The application's own list is the reliable one (wide characters on
    // Windows, Qt's options removed).
    const commandline::Request request = commandline::parse(QCoreApplication::arguments());
    if (request.action == commandline::Action::Fail) {
        printUsageError(request.error);
        return commandline::kExitUsage;
    }
    if (answerWithoutDisplay(request, {}) >= 0)
        return commandline::kExitOk; // help or version after Qt's options

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
        if (!canPlay) {
            platform::setBackend(nullptr);
            return commandline::kExitUsage; // nothing can be played; the reason is above
        }
        rc = runFromCommandLine(request);
    } else {
        tarnwick window;
        window.show();
        if (request.action == commandline::Action::OpenFile) {
            // Once the window is up, so its questions and messages have a parent.
            const QString file = request.file;
            QTimer::singleShot(0, &window, [&window, file] { window.openProjectFile(file); });
        }
        rc = QApplication::exec();
    }
    if (platform::InputLayer *input = backend->synthesis())
        input->releaseAll();
    platform::setBackend(nullptr);
    return rc;
}
