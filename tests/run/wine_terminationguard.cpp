// Windows: a console's Ctrl+C and the end of the session stop a run that holds a key chord and a
// mouse button, and nothing stays held. Each case runs in a child process (a guard ends its
// process), which holds through the real Win32 layer; the parent then asks
// the system itself (GetAsyncKeyState) whether anything is still down.

#include "platform/win32/win32input.h"
#include "run/runstart.h"
#include "run/terminationguard.h"
#include "support/holdingrun.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/win32/leanwindows.h"

namespace {

constexpr int kVkF = 0x46;
const int kHeldKeys[] = {kVkF, VK_CONTROL, VK_LCONTROL, VK_LBUTTON};

bool down(int vk) {
    return (GetAsyncKeyState(vk) & 0x8000) != 0;
}

void writeFile(const QString &path, const QByteArray &text) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(text);
}

// --- the child: holds through a run, then is ended as the case says ---------

int childMain(int argc, char **argv) {
    const QByteArray kind = argv[2];
    const QString dir = QString::fromLocal8Bit(argv[3]);
    QApplication app(argc, argv);
    writeFile(dir + QStringLiteral("/started"), "1");
    // A new process group starts with Ctrl+C ignored; a console program
    // started from a shell has it on.
    SetConsoleCtrlHandler(nullptr, FALSE);
    std::unique_ptr<platform::InputLayer> layer = platform::createWin32Input();
    platform::setInput(layer.get());
    installTerminationGuard();

    QWidget window;
    window.setWindowTitle(QStringLiteral("guard child"));
    window.setGeometry(100, 100, 300, 200);
    window.show();
    // The button goes down over the child's own window.
    SetCursorPos(200, 200);

    // Started as the main window starts a run; the thread deletes itself
    // once finished.
    QPointer<QThread> thread;
    bool started = false;

    QTimer poll;
    bool held = false;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        // Wine drops injected keys (from the key state too) while no window
        // has the focus: the run starts once the child's has it.
        const HWND own = reinterpret_cast<HWND>(window.winId());
        if (!started) {
            if (GetForegroundWindow() != own) {
                SetForegroundWindow(own);
                return;
            }
            thread = startRunThread(testsupport::newHoldingRun(30), &window);
            started = true;
        }
        if (!held) {
            writeFile(dir + QStringLiteral("/state"), QByteArray::number(down(kVkF)) +
                                                          QByteArray::number(down(VK_CONTROL)) +
                                                          QByteArray::number(down(VK_LBUTTON)));
            if (!down(kVkF) || !down(VK_CONTROL) || !down(VK_LBUTTON))
                return;
            held = true;
            writeFile(dir + QStringLiteral("/held"), "1");
        }
        // The parent looks at what is held before it lets the child go on.
        if (!QFile::exists(dir + QStringLiteral("/go")))
            return;
        poll.stop();
        // To the child's own process group, on its own console.
        if (kind == "ctrl-c")
            GenerateConsoleCtrlEvent(CTRL_C_EVENT, GetCurrentProcessId());
        else if (kind == "ctrl-break")
            GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, GetCurrentProcessId());
        // "session": the parent acts.
    });
    poll.start(10);
    QTimer::singleShot(30000, [] { std::_Exit(99); });

    const int rc = QApplication::exec();

    // Asked before the layer goes: its destructor would release again and
    // hide a guard that did not.
    QByteArray state = "exit " + QByteArray::number(rc) + "\nthreadFinished " +
                       QByteArray::number(started && (!thread || thread->isFinished())) + "\n";
    for (int vk : kHeldKeys)
        state += "down " + QByteArray::number(vk) + " " + QByteArray::number(down(vk)) + "\n";
    writeFile(dir + QStringLiteral("/after"), state);
    std::_Exit(rc);
}

// --- the parent ---------------------------------------------------------------

struct Child {
    PROCESS_INFORMATION info{};
    bool started = false;
    ~Child() {
        if (!started)
            return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT)
            TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

bool startChild(Child &child, const QString &kind, const QString &dir) {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    const QString line =
        QStringLiteral("\"%1\" --child %2 \"%3\"")
            .arg(QString::fromWCharArray(exe), kind, QDir::toNativeSeparators(dir));
    std::vector<wchar_t> command(line.size() + 1, 0);
    line.toWCharArray(command.data());
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // A console (without a window) and a process group of the child's own,
    // so that its control events reach only it.
    const DWORD flags = CREATE_NEW_PROCESS_GROUP | CREATE_NO_WINDOW;
    child.started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                   nullptr, &startup, &child.info) != 0;
    return child.started;
}

std::vector<HWND> topLevelWindowsOf(DWORD processId) {
    struct Search {
        DWORD processId;
        std::vector<HWND> found;
    } search{processId, {}};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto *s = reinterpret_cast<Search *>(data);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            if (owner == s->processId)
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// As Windows ends a session: every top-level window is asked, then told.
void endSessionOf(DWORD processId) {
    const std::vector<HWND> windows = topLevelWindowsOf(processId);
    DWORD_PTR answer = 0;
    for (HWND window : windows)
        SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_BLOCK, 5000,
                            &answer);
    for (HWND window : windows)
        SendMessageTimeoutW(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_BLOCK, 10000,
                            &answer);
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
}

QMap<QByteArray, QByteArray> readState(const QString &path) {
    QMap<QByteArray, QByteArray> state;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return state;
    for (const QByteArray &line : f.readAll().split('\n')) {
        const int space = line.lastIndexOf(' ');
        if (space > 0)
            state.insert(line.left(space), line.mid(space + 1));
    }
    return state;
}

} // namespace

class WinTerminationGuardTest : public QObject {
    Q_OBJECT

private slots:
    void endsWithNothingHeld_data();
    void endsWithNothingHeld();
};

void WinTerminationGuardTest::endsWithNothingHeld_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Ctrl+C") << "ctrl-c" << 128 + SIGINT;
    // Ctrl+Break is left out: Wine turns it into SIGQUIT, which ends a
    // thread instead of reaching the console control handler.
    QTest::newRow("end of session") << "session" << 128 + SIGTERM;
    // Closing the console window is left out too: Wine's console ends its
    // processes without a CTRL_CLOSE_EVENT.
}

void WinTerminationGuardTest::endsWithNothingHeld() {
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    for (int vk : kHeldKeys)
        QVERIFY2(!down(vk), "held before the child started");

    QTemporaryDir dir;
    Child child;
    QVERIFY(startChild(child, kind, dir.path()));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("started"))), 20000);
    QTRY_VERIFY2_WITH_TIMEOUT(QFile::exists(dir.filePath(QStringLiteral("held"))),
                              readAll(dir.filePath(QStringLiteral("state"))).constData(), 20000);
    // The probe sees what the child holds.
    QVERIFY(down(kVkF) && down(VK_CONTROL) && down(VK_LBUTTON));
    writeFile(dir.filePath(QStringLiteral("go")), "1");

    if (kind == QStringLiteral("session"))
        endSessionOf(child.info.dwProcessId);

    QCOMPARE(WaitForSingleObject(child.info.hProcess, 20000), DWORD(WAIT_OBJECT_0));
    DWORD code = 0;
    GetExitCodeProcess(child.info.hProcess, &code);
    QCOMPARE(int(code), exitCode);
    // The guard, not the layer's destructor, let go; the run had ended.
    const auto state = readState(dir.filePath(QStringLiteral("after")));
    QCOMPARE(state.value("threadFinished"), QByteArray("1"));
    for (int vk : kHeldKeys)
        QCOMPARE(state.value("down " + QByteArray::number(vk)), QByteArray("0"));
    for (int vk : kHeldKeys)
        QVERIFY2(!down(vk), qPrintable(QStringLiteral("vk %1 still down").arg(vk)));
}

int main(int argc, char **argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv);
    QCoreApplication app(argc, argv);
    WinTerminationGuardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "wine_terminationguard.moc"
