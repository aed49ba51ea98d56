#include "terminationguard_win.h"

#if defined(_WIN32)

#include "platform/inputlayer.h"
#include "runlog.h"
#include "terminationguard.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <csignal>

#include "platform/win32/leanwindows.h"

namespace {

void (*terminateOnGuiThread)(int) = nullptr;
std::atomic<int> consoleEvents{0};
HWND sessionWindow = nullptr;

// Windows ends a process 5 s after CTRL_CLOSE_EVENT whatever the handler
// does; the runs notice a stop within 50 ms.
constexpr int kCloseWaitMs = 4000;
constexpr int kSessionEndWaitMs = 3000;

void releaseEverything() {
    platform::input().releaseAll();
}

// From any thread: the handler itself runs on the GUI thread.
void requestTermination(int signalNumber) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || !terminateOnGuiThread)
        return;
    QMetaObject::invokeMethod(
        app, [signalNumber] { terminateOnGuiThread(signalNumber); }, Qt::QueuedConnection);
}

bool runsEnded() {
    return terminationRequested() && liveRunCount() == 0;
}

// Runs on a thread of its own, which Windows starts for each event.
BOOL WINAPI onConsoleControl(DWORD event) {
    releaseEverything();
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        // A second one ends the program at once (nothing held), as a second
        // signal does.
        if (consoleEvents.fetch_add(1) > 0)
            return FALSE;
        requestTermination(event == CTRL_C_EVENT ? SIGINT : SIGBREAK);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT: {
        // The process ends as soon as this returns: wait here for the runs.
        requestTermination(SIGTERM);
        QElapsedTimer waited;
        waited.start();
        while (!runsEnded() && waited.elapsed() < kCloseWaitMs)
            Sleep(10);
        releaseEverything();
        return TRUE;
    }
    default:
        return FALSE;
    }
}

// The session may end as soon as WM_ENDSESSION returns, so the runs are
// stopped and waited for inside it (with events delivered, since a run ends
// through the GUI thread).
void endSession() {
    static bool ending = false;
    if (ending)
        return;
    ending = true;
    qCInfo(lcRun) << "[Run] the session ends: stopping runs";
    releaseEverything();
    if (!terminationRequested() && terminateOnGuiThread)
        terminateOnGuiThread(SIGTERM);
    QElapsedTimer waited;
    waited.start();
    while (liveRunCount() > 0 && waited.elapsed() < kSessionEndWaitMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    releaseEverything();
}

LRESULT CALLBACK sessionWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_QUERYENDSESSION:
        return TRUE; // Qt's own windows ask the application about saving
    case WM_ENDSESSION:
        if (wParam)
            endSession();
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// The program's own windows get WM_ENDSESSION too, and Qt would answer it
// by quitting at once (with runs still going and perhaps a close prompt): the
// guard takes it first, whichever window it reaches first.
class SessionEndFilter final : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override {
        if (eventType != "windows_generic_MSG" || !message)
            return false;
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_ENDSESSION || !msg->wParam)
            return false;
        endSession();
        if (result)
            *result = 0;
        return true;
    }
};

// A hidden top-level window: the end-of-session messages go to every
// top-level window, but the program's own may not exist (or be Qt's
// message-only window) at that moment.
void createSessionWindow() {
    const wchar_t *className = L"TarnwickSessionEnd";
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = sessionWindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);
    sessionWindow = CreateWindowExW(WS_EX_TOOLWINDOW, className, L"", WS_POPUP, 0, 0, 0, 0, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    if (!sessionWindow)
        qCWarning(lcRun) << "[Run] no end-of-session window: error" << GetLastError();
}

} // namespace

void installWindowsTerminationGuard(void (*terminate)(int signalNumber)) {
    if (terminateOnGuiThread || !QCoreApplication::instance())
        return;
    terminateOnGuiThread = terminate;
    if (!SetConsoleCtrlHandler(onConsoleControl, TRUE))
        qCWarning(lcRun) << "[Run] no console control handler: error" << GetLastError();
    QCoreApplication::instance()->installNativeEventFilter(new SessionEndFilter);
    createSessionWindow();
}

#endif
