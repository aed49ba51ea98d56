// At 150 % display scaling (LogPixels 144, set in the prefix by the test
// runner) a position taken with Ctrl+Alt+G and a Pointer Jump to it land on
// the same physical pixel. Qt works in logical pixels there (2/3 of the
// physical ones), the input layer in physical ones: the stored position must
// never mix the two.

#include "app/coordinatecapture.h"
#include "app/tarnwick.h"
#include "platform/inputlayer.h"
#include "run/run.h"
#include "support/systeminput.h"
#include "support/testconfig.h"
#include "support/win32targetwindow.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTest>
#include <QThread>

#include <memory>
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

} // namespace

class WineCoordinatesDpi150Test : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void capturedPositionAndJumpMeetOnOnePixel_data();
    void capturedPositionAndJumpMeetOnOnePixel();

private:
    testsupport::SystemInput layer;
    testsupport::Win32TargetWindow target;
};

void WineCoordinatesDpi150Test::initTestCase() {
    // Without the scaling this test would prove nothing.
    QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 1.5);
    testsupport::writeTestConfig();
    std::string error;
    QVERIFY2(layer.install(error), error.c_str());
    QVERIFY(target.open(450, 240, 600, 450));
}

void WineCoordinatesDpi150Test::cleanupTestCase() {
    target.close();
    layer.reset();
}

void WineCoordinatesDpi150Test::capturedPositionAndJumpMeetOnOnePixel_data() {
    // Client points of the target; odd ones have no exact logical pixel.
    QTest::addColumn<int>("clientX");
    QTest::addColumn<int>("clientY");
    QTest::newRow("even") << 300 << 200;
    QTest::newRow("odd") << 401 << 333;
}

void WineCoordinatesDpi150Test::capturedPositionAndJumpMeetOnOnePixel() {
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

    // The user puts the pointer on the pixel and presses Ctrl+Alt+G.
    QVERIFY(SetCursorPos(x, y));
    window.getCoordinate();
    QVERIFY(window.capture->hotkeyRegistered);
    QVERIFY(target.activate());
    pressCtrlAltG();
    QTRY_VERIFY_WITH_TIMEOUT(window.document->listCommand().at(0).value(1) != QStringLiteral("0"),
                             5000);
    QCOMPARE(window.document->listCommand().at(0),
             (QStringList{kPointer, QString::number(x), QString::number(y)}));
    // Qt's own idea of the same place is in logical pixels.
    QVERIFY(qAbs(QCursor::pos().x() * 1.5 - x) <= 1.5);
    QVERIFY(qAbs(QCursor::pos().y() * 1.5 - y) <= 1.5);

    // Elsewhere, then a run jumps there (from its own thread) and clicks;
    // the main window steps aside as it does for a run.
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

    // The click says where the pointer was, in the target's physical pixels.
    const testsupport::TargetMessage click = target.messagesOf(WM_LBUTTONDOWN).front();
    QCOMPARE(click.x, clientX);
    QCOMPARE(click.y, clientY);
}

QTEST_MAIN(WineCoordinatesDpi150Test)
#include "wine_coordinates_dpi150.moc"
