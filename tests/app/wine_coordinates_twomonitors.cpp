// With a second monitor left of the primary one (set up by the test runner,
// tests/app/wine_twomonitors.sh), the virtual screen starts at negative
// coordinates, as on Windows. A position taken there with Ctrl+Alt+G is
// negative, a Pointer Jump goes back to it, the window access places a
// window there, and the pointer is clamped to the virtual screen, not to
// the primary monitor.

#include "app/coordinatecapture.h"
#include "app/tarnwick.h"
#include "platform/backend.h"
#include "run/run.h"
#include "support/systeminput.h"
#include "support/testconfig.h"
#include "support/win32targetwindow.h"

#include <QApplication>
#include <QSpinBox>
#include <QTest>
#include <QThread>

#include <string>

#include "platform/win32/leanwindows.h"

namespace {

const QString kPointer = QStringLiteral("マウスポインター");

void pressCtrlAltG() {
    platform::InputLayer &in = platform::input();
    in.keyDown(VK_LCONTROL);
    in.keyDown(VK_LMENU);
    in.keyDown('G');
    QTest::qWait(50);
    in.keyUp('G');
    in.keyUp(VK_LMENU);
    in.keyUp(VK_LCONTROL);
}

int virtualLeft() {
    return GetSystemMetrics(SM_XVIRTUALSCREEN);
}

} // namespace

class WineCoordinatesTwoMonitorsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void capturedPositionAndJumpMeet_data();
    void capturedPositionAndJumpMeet();
    void windowOnTheLeftMonitor();
    void pointerClampsToTheVirtualScreen_data();
    void pointerClampsToTheVirtualScreen();
    void programDeclaresPerMonitorDpiAwareness();

private:
    testsupport::SystemInput layer;
    testsupport::Win32TargetWindow target;
};

void WineCoordinatesTwoMonitorsTest::initTestCase() {
    // Without the monitor on the left this test would prove nothing.
    QVERIFY2(virtualLeft() < 0, "no monitor left of the primary one");
    QCOMPARE(GetSystemMetrics(SM_CMONITORS), 2);
    testsupport::writeTestConfig();
    std::string error;
    QVERIFY2(layer.install(error), error.c_str());
    // Across both monitors: most of it on the left one.
    QVERIFY(target.open(virtualLeft() + 100, 200, 700, 400));
}

void WineCoordinatesTwoMonitorsTest::cleanupTestCase() {
    target.close();
    layer.reset();
}

void WineCoordinatesTwoMonitorsTest::capturedPositionAndJumpMeet_data() {
    QTest::addColumn<int>("clientX");
    QTest::addColumn<int>("clientY");
    QTest::newRow("on the left monitor") << 50 << 100;
    QTest::newRow("on the primary monitor") << 650 << 300;
}

void WineCoordinatesTwoMonitorsTest::capturedPositionAndJumpMeet() {
    QFETCH(int, clientX);
    QFETCH(int, clientY);
    int x = clientX;
    int y = clientY;
    target.clientToScreen(x, y);

    tarnwick window;
    window.document->setPages({QStringList{kPointer, "0", "0"}},
                              {QStringList{QStringLiteral("終わるまで待つ"), "0.1"}});
    window.document->setCurrentPage(1);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QVERIFY(SetCursorPos(x, y));
    window.getCoordinate();
    QVERIFY(window.capture->hotkeyRegistered);
    QVERIFY(target.activate());
    pressCtrlAltG();
    QTRY_VERIFY_WITH_TIMEOUT(window.document->listCommand().at(0).value(1) != QStringLiteral("0"),
                             5000);
    QCOMPARE(window.document->listCommand().at(0),
             (QStringList{kPointer, QString::number(x), QString::number(y)}));
    // The editor's boxes show it as it is, negative included.
    QCOMPARE(window.coordXSpin->value(), x);
    QCOMPARE(window.coordYSpin->value(), y);

    window.hide();
    SetCursorPos(5, 5);
    target.clear();
    QThread thread;
    auto *run = new Run;
    run->prepare(RunSettings{0, 1, QStringLiteral("なし")},
                 {window.document->listCommand().at(0), {"クリック", "左", "0.05"}},
                 {{"時間", "0.1"}, {"終わるまで待つ", "0"}}, QStringLiteral("p"));
    run->moveToThread(&thread);
    connect(&thread, &QThread::started, run, &Run::start);
    connect(run, &Run::finished, &thread, &QThread::quit);
    connect(run, &Run::finished, run, &QObject::deleteLater);
    thread.start();
    QTRY_COMPARE_WITH_TIMEOUT(target.messagesOf(WM_LBUTTONUP).size(), size_t(1), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(thread.isFinished(), 10000);

    const testsupport::TargetMessage click = target.messagesOf(WM_LBUTTONDOWN).front();
    QCOMPARE(click.x, clientX);
    QCOMPARE(click.y, clientY);
}

void WineCoordinatesTwoMonitorsTest::windowOnTheLeftMonitor() {
    platform::WindowAccess *access = platform::backend().windowAccess();
    QVERIFY(access);
    const auto id = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(target.handle()));
    platform::WindowInfo info;
    QVERIFY(access->info(id, info));
    int x = 0;
    int y = 0;
    target.clientToScreen(x, y);
    QVERIFY(x < 0);
    QCOMPARE(info.client.x, x);
    QCOMPARE(info.client.y, y);
    QVERIFY(target.activate());
    QCOMPARE(access->windowAt(x + 20, y + 20), id);
}

void WineCoordinatesTwoMonitorsTest::pointerClampsToTheVirtualScreen_data() {
    const int left = virtualLeft();
    const int right = left + GetSystemMetrics(SM_CXVIRTUALSCREEN) - 1;
    QTest::addColumn<QPoint>("asked");
    QTest::addColumn<QPoint>("reached");
    QTest::newRow("on the left monitor") << QPoint(left + 30, 40) << QPoint(left + 30, 40);
    QTest::newRow("left of it") << QPoint(left - 500, 40) << QPoint(left, 40);
    QTest::newRow("right of the primary") << QPoint(right + 500, 40) << QPoint(right, 40);
}

void WineCoordinatesTwoMonitorsTest::pointerClampsToTheVirtualScreen() {
    QFETCH(QPoint, asked);
    QFETCH(QPoint, reached);
    platform::input().setCursorPos(asked.x(), asked.y());
    const platform::Point p = platform::input().cursorPos();
    QCOMPARE(QPoint(p.x, p.y), reached);
}

// Positions are physical pixels on every monitor only if Windows does not
// scale them for us: tarnwick.exe says so in its manifest.
void WineCoordinatesTwoMonitorsTest::programDeclaresPerMonitorDpiAwareness() {
    const std::wstring path =
        (QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick.exe")).toStdWString();
    HMODULE program = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    QVERIFY2(program, "tarnwick.exe is not beside the test");
    HRSRC resource = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    QVERIFY(resource);
    const auto *data = static_cast<const char *>(LockResource(LoadResource(program, resource)));
    const QByteArray manifest(data, static_cast<int>(SizeofResource(program, resource)));
    FreeLibrary(program);
    QVERIFY(manifest.contains("<dpiAwareness"));
    QVERIFY(manifest.contains(">PerMonitorV2</dpiAwareness>"));
    QVERIFY(manifest.contains(">true/pm</dpiAware>"));
}

QTEST_MAIN(WineCoordinatesTwoMonitorsTest)
#include "wine_coordinates_twomonitors.moc"
