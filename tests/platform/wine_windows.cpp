// The Win32 window access against plain Win32 windows of the test's own,
// each on a thread of its own with its own message loop, as another
// program's would be. Also the pointer's clamping to the virtual screen
// (with a monitor left of the primary one: wine_coordinates_twomonitors).

#include "platform/backend.h"
#include "platform/win32/win32windows.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTest>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/win32/leanwindows.h"

namespace {

const wchar_t *const kClassName = L"TarnwickWindowsProbe";

LRESULT CALLBACK probeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

struct Recipe {
    std::wstring title;
    int x = 100;
    int y = 100;
    int width = 300;
    int height = 200;
    DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    DWORD exStyle = 0;
    HWND owner = nullptr;
    bool child = false; // with a button filling its client area
};

// A top-level window on a thread of its own.
class Probe {
public:
    Probe() = default;
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;
    ~Probe() { close(); }

    bool open(const Recipe &recipe) {
        std::mutex mutex;
        std::condition_variable ready;
        bool done = false;
        thread_ = std::thread([&, recipe] {
            WNDCLASSW wc = {};
            wc.lpfnWndProc = probeProc;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
            wc.lpszClassName = kClassName;
            RegisterClassW(&wc);
            HWND hwnd = CreateWindowExW(
                recipe.exStyle, kClassName, recipe.title.c_str(), recipe.style, recipe.x, recipe.y,
                recipe.width, recipe.height, recipe.owner, nullptr, wc.hInstance, nullptr);
            if (hwnd && recipe.child) {
                RECT r;
                GetClientRect(hwnd, &r);
                child_ = CreateWindowExW(0, L"BUTTON", L"inside", WS_CHILD | WS_VISIBLE, 0, 0,
                                         r.right, r.bottom, hwnd, nullptr, wc.hInstance, nullptr);
            }
            {
                std::lock_guard<std::mutex> lock(mutex);
                window_ = hwnd;
                done = true;
            }
            ready.notify_all();
            if (!hwnd)
                return;
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
        std::unique_lock<std::mutex> lock(mutex);
        ready.wait(lock, [&] { return done; });
        lock.unlock();
        if (!window_) {
            thread_.join();
            return false;
        }
        return true;
    }

    void close() {
        if (!thread_.joinable())
            return;
        if (window_)
            PostMessageW(window_, WM_CLOSE, 0, 0);
        thread_.join();
        window_ = nullptr;
    }

    HWND hwnd() const { return window_; }
    HWND child() const { return child_; }
    std::uint64_t id() const { return reinterpret_cast<std::uintptr_t>(window_); }

private:
    HWND window_ = nullptr;
    HWND child_ = nullptr;
    std::thread thread_;
};

int indexOf(const std::vector<platform::WindowInfo> &list, std::uint64_t id) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].id == id)
            return static_cast<int>(i);
    return -1;
}

// Makes `hwnd` the foreground window the way the test's other "program"
// would (its own thread asking), not through the code under test.
bool takeForeground(HWND hwnd) {
    for (int i = 0; i < 200; ++i) {
        if (GetForegroundWindow() == hwnd)
            return true;
        SetForegroundWindow(hwnd);
        Sleep(20);
    }
    return false;
}

} // namespace

class WindowsAccessTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void listsVisibleTopLevelsOnly_data();
    void listsVisibleTopLevelsOnly();
    void titleProgramAndPid_data();
    void titleProgramAndPid();
    void clientAreaInPhysicalPixels_data();
    void clientAreaInPhysicalPixels();
    void activatesTheRightOneOfTwoAlike();
    void activatesWhileAnotherHoldsTheForeground();
    void activationRestoresAMinimisedWindow();
    void windowAtAPointIsTheTopLevel();
    void aGoneWindowIsNoWindow();
    void activationLeavesNoKeyHeld();
    void pointerClampsToTheVirtualScreen_data();
    void pointerClampsToTheVirtualScreen();

private:
    std::unique_ptr<platform::Backend> backend_;
    platform::WindowAccess *access_ = nullptr;
};

void WindowsAccessTest::initTestCase() {
    std::string error;
    backend_ = platform::createBackend("windows", error);
    QVERIFY2(error.empty(), error.c_str());
    access_ = backend_->windowAccess();
    QVERIFY(access_);
    QVERIFY(backend_->capabilities().windowAccess);
}

void WindowsAccessTest::cleanupTestCase() {
    access_ = nullptr;
    backend_.reset();
}

void WindowsAccessTest::listsVisibleTopLevelsOnly_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("listed");
    QTest::newRow("plain") << 0 << true;
    QTest::newRow("popup without a frame") << 1 << true;
    QTest::newRow("tool window") << 2 << false;
    QTest::newRow("owned dialog") << 3 << false;
    QTest::newRow("hidden") << 4 << false;
}

void WindowsAccessTest::listsVisibleTopLevelsOnly() {
    QFETCH(int, kind);
    QFETCH(bool, listed);
    Probe owner;
    QVERIFY(owner.open({L"Tarnwick probe - owner"}));
    Recipe recipe{L"Tarnwick probe - under test"};
    if (kind == 1)
        recipe.style = WS_POPUP | WS_VISIBLE;
    if (kind == 2)
        recipe.exStyle = WS_EX_TOOLWINDOW;
    if (kind == 3)
        recipe.owner = owner.hwnd();
    if (kind == 4)
        recipe.style = WS_OVERLAPPEDWINDOW;
    Probe probe;
    QVERIFY(probe.open(recipe));
    const std::vector<platform::WindowInfo> list = access_->windows();
    QVERIFY(indexOf(list, owner.id()) >= 0);
    QCOMPARE(indexOf(list, probe.id()) >= 0, listed);
    // Asked by its handle, it is there whether listed or not.
    platform::WindowInfo info;
    QVERIFY(access_->info(probe.id(), info));
    QCOMPARE(QString::fromStdU16String(info.title), QStringLiteral("Tarnwick probe - under test"));
}

void WindowsAccessTest::titleProgramAndPid_data() {
    QTest::addColumn<QString>("title");
    QTest::newRow("ascii") << QStringLiteral("Tarnwick probe - Report");
    QTest::newRow("japanese") << QStringLiteral("報告書 - 確認用ウィンドウ");
    QTest::newRow("beyond the BMP") << QStringLiteral("Probe \U0001F4DD notes");
    QTest::newRow("empty") << QString();
}

void WindowsAccessTest::titleProgramAndPid() {
    QFETCH(QString, title);
    Probe alike;
    QVERIFY(alike.open({(title + QStringLiteral(" (2)")).toStdWString()}));
    Probe probe;
    QVERIFY(probe.open({title.toStdWString()}));
    const std::vector<platform::WindowInfo> list = access_->windows();
    const int at = indexOf(list, probe.id());
    QVERIFY(at >= 0);
    const platform::WindowInfo &w = list[static_cast<size_t>(at)];
    QCOMPARE(QString::fromStdU16String(w.title), title);
    QCOMPARE(QString::fromStdU16String(w.program).toLower(),
             QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLower());
    QCOMPARE(w.pid, static_cast<std::int64_t>(GetCurrentProcessId()));
    const platform::WindowInfo &o = list[static_cast<size_t>(indexOf(list, alike.id()))];
    QCOMPARE(QString::fromStdU16String(o.title), title + QStringLiteral(" (2)"));
    // The newer window is higher in the stacking order.
    QVERIFY(at < indexOf(list, alike.id()));
}

void WindowsAccessTest::clientAreaInPhysicalPixels_data() {
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::newRow("right and down") << QPoint(100, 80) << QPoint(420, 330);
    QTest::newRow("left of the screen") << QPoint(100, 80) << QPoint(-250, 40);
}

void WindowsAccessTest::clientAreaInPhysicalPixels() {
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    Recipe recipe{L"Tarnwick probe - mover", from.x(), from.y(), 320, 240, WS_POPUP | WS_VISIBLE};
    Probe probe;
    QVERIFY(probe.open(recipe));
    platform::WindowInfo info;
    QVERIFY(access_->info(probe.id(), info));
    QCOMPARE(info.client.x, from.x());
    QCOMPARE(info.client.y, from.y());
    QCOMPARE(info.client.width, 320);
    QCOMPARE(info.client.height, 240);
    SetWindowPos(probe.hwnd(), nullptr, to.x(), to.y(), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    QTRY_VERIFY(access_->info(probe.id(), info) && info.client.x == to.x() &&
                info.client.y == to.y());
    QCOMPARE(info.client.width, 320);

    // A framed window's client area lies inside its frame.
    Probe framed;
    QVERIFY(framed.open({L"Tarnwick probe - framed", 200, 150, 400, 300}));
    QVERIFY(access_->info(framed.id(), info));
    RECT frame;
    GetWindowRect(framed.hwnd(), &frame);
    QVERIFY(info.client.x >= frame.left && info.client.y > frame.top);
    QVERIFY(info.client.x + info.client.width <= frame.right);
    QVERIFY(info.client.y + info.client.height <= frame.bottom);
    QVERIFY(info.client.width > 300 && info.client.height > 200);
}

void WindowsAccessTest::activatesTheRightOneOfTwoAlike() {
    Probe a;
    Probe b;
    QVERIFY(a.open({L"Tarnwick probe - Invoice 1", 100, 100}));
    QVERIFY(b.open({L"Tarnwick probe - Invoice 12", 500, 100}));
    for (const Probe *target : {&a, &b, &a}) {
        QVERIFY(access_->activate(target->id()));
        QCOMPARE(GetForegroundWindow(), target->hwnd());
        QCOMPARE(access_->activeWindow(), target->id());
        QTRY_COMPARE(indexOf(access_->windows(), target->id()), 0);
    }
}

void WindowsAccessTest::activatesWhileAnotherHoldsTheForeground() {
    Probe target;
    Probe holder;
    QVERIFY(target.open({L"Tarnwick probe - target", 100, 100}));
    QVERIFY(holder.open({L"Tarnwick probe - holder", 300, 200}));
    for (int round = 0; round < 3; ++round) {
        QVERIFY(takeForeground(holder.hwnd()));
        QVERIFY(access_->activate(target.id()));
        QCOMPARE(GetForegroundWindow(), target.hwnd());
    }
}

void WindowsAccessTest::activationRestoresAMinimisedWindow() {
    Probe target;
    Probe other;
    QVERIFY(target.open({L"Tarnwick probe - minimised", 100, 100}));
    QVERIFY(other.open({L"Tarnwick probe - other", 300, 200}));
    ShowWindow(target.hwnd(), SW_MINIMIZE);
    QTRY_VERIFY(IsIconic(target.hwnd()));
    QVERIFY(takeForeground(other.hwnd()));
    // Still listed: it is open, only minimised.
    QVERIFY(indexOf(access_->windows(), target.id()) >= 0);
    QVERIFY(access_->activate(target.id()));
    QCOMPARE(GetForegroundWindow(), target.hwnd());
    QTRY_VERIFY(!IsIconic(target.hwnd()));
}

void WindowsAccessTest::windowAtAPointIsTheTopLevel() {
    Recipe recipe{L"Tarnwick probe - with a button", 150, 120, 300, 200, WS_POPUP | WS_VISIBLE};
    recipe.child = true;
    Probe probe;
    QVERIFY(probe.open(recipe));
    QVERIFY(probe.child());
    QVERIFY(access_->activate(probe.id()));
    // The button is what lies under the point; its top-level is the answer.
    QCOMPARE(access_->windowAt(200, 170), probe.id());
    QCOMPARE(access_->windowAt(150, 120), probe.id());
    QVERIFY(access_->windowAt(149, 120) != probe.id());
    QVERIFY(access_->windowAt(450, 320) != probe.id());
}

void WindowsAccessTest::aGoneWindowIsNoWindow() {
    Probe probe;
    QVERIFY(probe.open({L"Tarnwick probe - going"}));
    const std::uint64_t id = probe.id();
    probe.close();
    platform::WindowInfo info;
    QVERIFY(!access_->info(id, info));
    QCOMPARE(indexOf(access_->windows(), id), -1);
    QVERIFY(!access_->activate(id));
    QVERIFY(!access_->activate(0));
    QVERIFY(!access_->info(0, info));
}

void WindowsAccessTest::activationLeavesNoKeyHeld() {
    Probe target;
    Probe holder;
    QVERIFY(target.open({L"Tarnwick probe - target", 100, 100}));
    QVERIFY(holder.open({L"Tarnwick probe - holder", 300, 200}));
    for (int round = 0; round < 3; ++round) {
        QVERIFY(takeForeground(holder.hwnd()));
        access_->activate(target.id());
        QVERIFY(!(GetAsyncKeyState(VK_MENU) & 0x8000));
        QVERIFY(!(GetAsyncKeyState(VK_LMENU) & 0x8000));
    }
}

void WindowsAccessTest::pointerClampsToTheVirtualScreen_data() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int right = left + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
    const int bottom = top + GetSystemMetrics(SM_CYVIRTUALSCREEN) - 1;
    QTest::addColumn<QPoint>("asked");
    QTest::addColumn<QPoint>("reached");
    QTest::newRow("inside, near the left edge")
        << QPoint(left + 5, top + 7) << QPoint(left + 5, top + 7);
    QTest::newRow("left of everything") << QPoint(left - 400, top + 30) << QPoint(left, top + 30);
    QTest::newRow("right of everything")
        << QPoint(right + 400, bottom - 30) << QPoint(right, bottom - 30);
    QTest::newRow("above and below") << QPoint(left + 10, top - 50) << QPoint(left + 10, top);
    if (left < 0)
        QTest::newRow("on the monitor left of the primary") << QPoint(-300, 50) << QPoint(-300, 50);
}

void WindowsAccessTest::pointerClampsToTheVirtualScreen() {
    QFETCH(QPoint, asked);
    QFETCH(QPoint, reached);
    platform::InputLayer *in = backend_->synthesis();
    in->setCursorPos(asked.x(), asked.y());
    const platform::Point p = in->cursorPos();
    QCOMPARE(QPoint(p.x, p.y), reached);
}

QTEST_GUILESS_MAIN(WindowsAccessTest)
#include "wine_windows.moc"
