// Coordinate capture on a real X server with the real input layer: the hot
// key arrives through Qt's native event filter, the prompt steps aside from
// the real pointer, and a hot key held by another client is reported.

#include "app/coordinatecapture.h"
#include "app/tarnwick.h"
#include "capture/hoverhidewindow.h"
#include "platform/inputlayer.h"
#include "support/modalhelper.h"
#include "support/systeminput.h"
#include "support/testconfig.h"

#include <QPointer>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <memory>
#include <string>

namespace {

constexpr int kLCtrl = 162;
constexpr int kLAlt = 164;
constexpr int kG = 0x47;

void pressCtrlAltG() {
    platform::InputLayer &in = platform::input();
    in.keyDown(kLCtrl);
    in.keyDown(kLAlt);
    in.keyDown(kG);
    QTest::qWait(50);
    in.keyUp(kG);
    in.keyUp(kLAlt);
    in.keyUp(kLCtrl);
}

void movePointer(int x, int y) {
    platform::input().setCursorPos(x, y);
    QTRY_COMPARE(QCursor::pos(), QPoint(x, y));
}

} // namespace

class X11CoordinatesTest : public QObject {
    Q_OBJECT

    testsupport::SystemInput layer;
    std::unique_ptr<tarnwick> window;

private slots:
    void initTestCase() {
        testsupport::writeTestConfig();
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
    }
    void cleanupTestCase() { layer.reset(); }
    void init() {
        window = std::make_unique<tarnwick>();
        window->document->setPages({QStringList{QStringLiteral("マウスポインター"), "0", "0"}},
                                   {QStringList{QStringLiteral("終わるまで待つ"), "0.1"}});
        window->document->setCurrentPage(1);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    }
    void cleanup() {
        window.reset();
        layer->releaseAll();
    }

    void hotKeyTakesThePointerPosition() {
        movePointer(123, 456);
        window->getCoordinate();
        QVERIFY(window->capture->hotkeyRegistered);
        QPointer<HoverHideWindow> prompt = window->capture->hoverWindow;
        QVERIFY(prompt);
        QVERIFY(QTest::qWaitForWindowExposed(prompt.data()));
        QVERIFY(!window->isVisible());

        pressCtrlAltG();
        QTRY_COMPARE_WITH_TIMEOUT(window->document->listCommand().at(0),
                                  (QStringList{QStringLiteral("マウスポインター"), "123", "456"}),
                                  5000);
        QVERIFY(window->isVisible());
        QVERIFY(!window->capture->hotkeyRegistered);
        QTRY_VERIFY(!prompt);
    }

    void promptStepsAsideFromThePointer() {
        movePointer(10, 10);
        window->getCoordinate();
        QPointer<HoverHideWindow> prompt = window->capture->hoverWindow;
        QVERIFY(prompt);
        QVERIFY(QTest::qWaitForWindowExposed(prompt.data()));
        const QRect frame = prompt->frameGeometry();

        // Within 120 pixels of the frame: it hides.
        movePointer(frame.left() - 100, frame.top() - 100);
        QTRY_VERIFY_WITH_TIMEOUT(!prompt->isVisible(), 3000);
        // Still within reach of where it was: it stays away.
        movePointer(frame.left() - 120, frame.center().y());
        QTest::qWait(400);
        QVERIFY(!prompt->isVisible());
        // Further away: back in the same place.
        movePointer(frame.left() - 200, frame.top() - 200);
        QTRY_VERIFY_WITH_TIMEOUT(prompt->isVisible(), 3000);
        QTRY_COMPARE(prompt->frameGeometry().topLeft(), frame.topLeft());

        prompt->close();
        QTRY_VERIFY(window->isVisible()); // closed before a position was taken
        QVERIFY(!window->capture->hotkeyRegistered);
    }

    void hotKeyHeldByAnotherClient() {
        Display *other = XOpenDisplay(nullptr);
        QVERIFY(other);
        const Window root = DefaultRootWindow(other);
        const KeyCode g = XKeysymToKeycode(other, XK_g);
        XGrabKey(other, g, AnyModifier, root, False, GrabModeAsync, GrabModeAsync);
        XSync(other, False);

        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        QTest::ignoreMessage(QtWarningMsg, "RegisterHotKey failed.");
        window->getCoordinate();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().icon, QMessageBox::Warning);
        QVERIFY(answerer.last().text.contains(QStringLiteral("Ctrl+Alt+G")));
        QVERIFY(window->isVisible());
        QCOMPARE(window->capture->hoverWindow, nullptr);
        QVERIFY(!window->capture->hotkeyRegistered);

        XUngrabKey(other, g, AnyModifier, root);
        XCloseDisplay(other);

        // With the key free again the capture works.
        window->getCoordinate();
        QVERIFY(window->capture->hotkeyRegistered);
        window->capture->hoverWindow->close();
        QTRY_VERIFY(!window->capture->hoverWindow);
    }
};

QTEST_MAIN(X11CoordinatesTest)
#include "x11_coordinates.moc"
