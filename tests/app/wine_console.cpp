// tarnwick.exe is a windowed program, which Windows starts from a console
// without any standard handles: its help, version, error messages and run
// progress must still reach the console it was started from, with the exit
// statuses of the command line, and a redirection must still win. The test
// makes a console of its own, starts the program as Windows would from it,
// and reads what the console then shows.

#include "core/projectfile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <string>
#include <vector>

#include "platform/win32/leanwindows.h"

namespace {

const QString kVersionLine = QStringLiteral("tarnwick " TARNWICK_VERSION);

struct Outcome {
    bool started = false;
    DWORD exitCode = 0;
};

QString exePath() {
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick.exe");
}

HANDLE openConsoleOutput() {
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
}

void clearConsole() {
    HANDLE out = openConsoleOutput();
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(out, &info)) {
        const DWORD cells = DWORD(info.dwSize.X) * DWORD(info.dwSize.Y);
        DWORD written = 0;
        FillConsoleOutputCharacterW(out, L' ', cells, {0, 0}, &written);
        SetConsoleCursorPosition(out, {0, 0});
    }
    CloseHandle(out);
}

// The console's text, one line a row, trailing blanks dropped.
QString consoleText() {
    HANDLE out = openConsoleOutput();
    CONSOLE_SCREEN_BUFFER_INFO info;
    QStringList rows;
    if (GetConsoleScreenBufferInfo(out, &info)) {
        std::vector<wchar_t> row(size_t(info.dwSize.X));
        for (SHORT y = 0; y < info.dwSize.Y; ++y) {
            DWORD read = 0;
            ReadConsoleOutputCharacterW(out, row.data(), DWORD(row.size()), {0, y}, &read);
            rows << QString::fromWCharArray(row.data(), int(read)).trimmed();
        }
    }
    CloseHandle(out);
    while (!rows.isEmpty() && rows.last().isEmpty())
        rows.removeLast();
    return rows.join(QLatin1Char('\n'));
}

// Starts the program as Windows starts a windowed program from a console:
// it inherits no standard handles. `output`, when given, is what stdout and
// stderr are redirected to instead.
Outcome runProgram(const QString &arguments, HANDLE output = nullptr) {
    std::wstring commandLine =
        (QLatin1Char('"') + QDir::toNativeSeparators(exePath()) + QStringLiteral("\" ") + arguments)
            .toStdWString();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process = {};
    Outcome outcome;
    outcome.started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr,
                                     output != nullptr, 0, nullptr, nullptr, &startup, &process);
    if (!outcome.started)
        return outcome;
    WaitForSingleObject(process.hProcess, 120000);
    GetExitCodeProcess(process.hProcess, &outcome.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return outcome;
}

} // namespace

class WineConsoleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo::exists(exePath()), qPrintable(exePath()));
        // A console of the test's own, whose text can be read back.
        FreeConsole();
        QVERIFY(AllocConsole());
        clearConsole();
        HANDLE out = openConsoleOutput();
        DWORD written = 0;
        QVERIFY(WriteConsoleW(out, L"probe\r\n", 7, &written, nullptr));
        CloseHandle(out);
        QCOMPARE(consoleText(), QStringLiteral("probe"));
        QVERIFY(dir.isValid());
        project = dir.filePath(QStringLiteral("wait.cmdat"));
        QCOMPARE(projectfile::save(project, {{QStringLiteral("なし"), QString()}},
                                   {{QStringLiteral("時間"), QStringLiteral("0.1")}}),
                 projectfile::SaveStatus::Ok);
    }

    void answersReachTheConsole_data();
    void answersReachTheConsole();
    void redirectionWins();

private:
    QTemporaryDir dir;
    QString project;
};

void WineConsoleTest::answersReachTheConsole_data() {
    QTest::addColumn<QString>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("shown"); // lines the console must show

    QTest::newRow("version") << "--version" << 0 << QStringList{kVersionLine};
    QTest::newRow("help") << "--help" << 0
                          << QStringList{"Usage:",
                                         "-v, --version        show the version and exit"};
    QTest::newRow("bad argument") << "--repeat 3" << 2 << QStringList{"Try 'tarnwick --help'."};
    QTest::newRow("unreadable project")
        << "--run C:\\no\\such\\project.cmdat" << 2 << QStringList{"tarnwick: "};
    QTest::newRow("run progress") << "--run \"%1\" --repeat 2 --start-delay 0 --stop none" << 0
                                  << QStringList{"pass 1 of 2, page 1 of 1: ",
                                                 "pass 2 of 2, page 1 of 1: "};
}

void WineConsoleTest::answersReachTheConsole() {
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, shown);
    clearConsole();
    const Outcome outcome = runProgram(arguments.contains(QLatin1String("%1"))
                                           ? arguments.arg(QDir::toNativeSeparators(project))
                                           : arguments);
    QVERIFY(outcome.started);
    QCOMPARE(int(outcome.exitCode), exitCode);
    const QString text = consoleText();
    for (const QString &line : shown)
        QVERIFY2(text.contains(line),
                 qPrintable(QStringLiteral("no \"%1\" in:\n%2").arg(line, text)));
}

// `tarnwick --version > file` writes to the file, not to the console.
void WineConsoleTest::redirectionWins() {
    clearConsole();
    const QString path = dir.filePath(QStringLiteral("version.txt"));
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t *>(path.utf16()), GENERIC_WRITE,
                              FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    QVERIFY(file != INVALID_HANDLE_VALUE);
    const Outcome outcome = runProgram(QStringLiteral("--version"), file);
    CloseHandle(file);
    QVERIFY(outcome.started);
    QCOMPARE(int(outcome.exitCode), 0);
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(written.readAll()).trimmed(), kVersionLine);
    QVERIFY(!consoleText().contains(kVersionLine));
}

QTEST_GUILESS_MAIN(WineConsoleTest)
#include "wine_console.moc"
