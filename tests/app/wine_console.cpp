// tarnwick.exe is a windowed program, which Windows starts from a console
// without any standard handles and without that console: its help, version,
// error messages and run progress must still reach the console it was
// started from, with the exit statuses of the command line, a project may be
// typed there for `--run -`, and a redirection must still win. The editor
// must stay out of the console, whose Ctrl+C and closing would end it
// without asking about unsaved work. The test makes a console of its own,
// starts the program as Windows would from it, and reads what the console
// then shows and which processes it reaches.

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

// Windows gives a windowed program no console; Wine would hand it the
// test's, so it is started detached, as on Windows, and must attach itself.
constexpr DWORD kAsWindowsStartsIt = DETACHED_PROCESS;

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

// Types text into the console's input, as a user at the keyboard would.
void typeIntoConsole(const QString &text) {
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<INPUT_RECORD> records;
    for (const QChar c : text) {
        const bool enter = c == QLatin1Char('\n');
        INPUT_RECORD record = {};
        record.EventType = KEY_EVENT;
        record.Event.KeyEvent.wRepeatCount = 1;
        record.Event.KeyEvent.wVirtualKeyCode = enter ? VK_RETURN : 0;
        record.Event.KeyEvent.uChar.UnicodeChar = enter ? L'\r' : wchar_t(c.unicode());
        record.Event.KeyEvent.bKeyDown = TRUE;
        records.push_back(record);
        record.Event.KeyEvent.bKeyDown = FALSE;
        records.push_back(record);
    }
    DWORD written = 0;
    WriteConsoleInputW(in, records.data(), DWORD(records.size()), &written);
    CloseHandle(in);
}

std::vector<DWORD> consoleProcesses() {
    std::vector<DWORD> ids(64);
    const DWORD count = GetConsoleProcessList(ids.data(), DWORD(ids.size()));
    ids.resize(count <= ids.size() ? count : 0);
    return ids;
}

bool hasVisibleWindow(DWORD processId) {
    struct Search {
        DWORD processId;
        bool found;
    } search{processId, false};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto *s = reinterpret_cast<Search *>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId && IsWindowVisible(window))
                s->found = true;
            return !s->found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The program, started as Windows starts a windowed program from a console:
// it inherits no standard handles. `output` and `input`, when given, are what
// stdout and stderr, and stdin, are redirected to instead.
struct Program {
    PROCESS_INFORMATION info = {};
    bool started = false;

    explicit Program(const QString &arguments, HANDLE output = nullptr, HANDLE input = nullptr) {
        std::wstring commandLine = (QLatin1Char('"') + QDir::toNativeSeparators(exePath()) +
                                    QStringLiteral("\" ") + arguments)
                                       .toStdWString();
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = output;
        startup.hStdInput = input;
        const bool inherit = output != nullptr || input != nullptr;
        started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inherit,
                                 kAsWindowsStartsIt, nullptr, nullptr, &startup, &info) != 0;
    }
    ~Program() {
        if (!started)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    Program(const Program &) = delete;
    Program &operator=(const Program &) = delete;

    bool running() const { return WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT; }
    bool inConsole() const {
        for (DWORD id : consoleProcesses()) {
            if (id == info.dwProcessId)
                return true;
        }
        return false;
    }
    Outcome finish() const {
        Outcome outcome;
        outcome.started = started;
        if (started) {
            WaitForSingleObject(info.hProcess, 120000);
            GetExitCodeProcess(info.hProcess, &outcome.exitCode);
        }
        return outcome;
    }
};

Outcome runProgram(const QString &arguments, HANDLE output = nullptr) {
    return Program(arguments, output).finish();
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
    void projectTypedAtTheConsole();
    void projectFromAPipe();
    void redirectionWins();
    void onlyTheCommandLineJoinsTheConsole();

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

// `tarnwick --run -` with nothing redirected reads the project typed at the
// console, up to Ctrl+Z, as a console program would.
void WineConsoleTest::projectTypedAtTheConsole() {
    clearConsole();
    FlushConsoleInputBuffer(GetStdHandle(STD_INPUT_HANDLE));
    // The kinds' Japanese names as JSON escapes: console input goes through
    // a code page.
    typeIntoConsole(QStringLiteral("{\"list_command\": [[\"\\u306a\\u3057\"]],\n"
                                   "\"list_condition\": [[\"\\u6642\\u9593\", \"0.1\"]]}\n"
                                   "\x1a\n"));
    const Outcome outcome = runProgram(QStringLiteral("--run - --start-delay 0 --stop none"));
    QVERIFY(outcome.started);
    const QString text = consoleText();
    QVERIFY2(text.contains(QLatin1String("pass 1 of 1, page 1 of 1: ")), qPrintable(text));
    QCOMPARE(int(outcome.exitCode), 0);
}

// `type project.cmdat | tarnwick --run -`: the whole pipe, up to its end.
void WineConsoleTest::projectFromAPipe() {
    clearConsole();
    QFile file(project);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    QVERIFY(CreatePipe(&readEnd, &writeEnd, &inherit, 0));
    SetHandleInformation(writeEnd, HANDLE_FLAG_INHERIT, 0);
    Program run(QStringLiteral("--run - --start-delay 0 --stop none"), nullptr, readEnd);
    CloseHandle(readEnd);
    DWORD written = 0;
    const bool wrote =
        WriteFile(writeEnd, content.constData(), DWORD(content.size()), &written, nullptr) != 0;
    CloseHandle(writeEnd);
    QVERIFY(run.started);
    QVERIFY(wrote);
    const Outcome outcome = run.finish();
    const QString text = consoleText();
    QVERIFY2(text.contains(QLatin1String("pass 1 of 1, page 1 of 1: ")), qPrintable(text));
    QCOMPARE(int(outcome.exitCode), 0);
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

// Only processes attached to a console get its Ctrl+C and its closing: the
// editor must not be among them, a run must.
void WineConsoleTest::onlyTheCommandLineJoinsTheConsole() {
    const QString longWait = dir.filePath(QStringLiteral("long.cmdat"));
    QCOMPARE(projectfile::save(longWait, {{QStringLiteral("なし"), QString()}},
                               {{QStringLiteral("時間"), QStringLiteral("20")}}),
             projectfile::SaveStatus::Ok);
    Program run(QStringLiteral("--run \"%1\" --start-delay 0 --stop none")
                    .arg(QDir::toNativeSeparators(longWait)));
    QVERIFY(run.started);
    QTRY_VERIFY_WITH_TIMEOUT(run.inConsole(), 60000);

    Program editor(QStringLiteral("\"%1\"").arg(QDir::toNativeSeparators(project)));
    QVERIFY(editor.started);
    QTRY_VERIFY_WITH_TIMEOUT(hasVisibleWindow(editor.info.dwProcessId), 60000);
    QVERIFY(editor.running());
    QVERIFY(!editor.inConsole());
}

QTEST_GUILESS_MAIN(WineConsoleTest)
#include "wine_console.moc"
