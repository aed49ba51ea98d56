#include "capture/hoverhidewindow.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

class HoverHideWindowTest : public QObject {
    Q_OBJECT

    static QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

private slots:
    void clampToArea_data() {
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QRect>("expected");
        const QRect full(0, 0, 1280, 1024);
        QTest::newRow("inside stays")
            << QRect(400, 300, 320, 100) << full << QRect(400, 300, 320, 100);
        QTest::newRow("exactly at the margins stays")
            << QRect(939, 903, 320, 100) << full << QRect(939, 903, 320, 100);
        QTest::newRow("past right and bottom")
            << QRect(1200, 1000, 320, 100) << full << QRect(939, 903, 320, 100);
        QTest::newRow("past left and top")
            << QRect(-50, -30, 320, 100) << full << QRect(20, 20, 320, 100);
        QTest::newRow("one pixel inside the left margin")
            << QRect(19, 500, 320, 100) << full << QRect(20, 500, 320, 100);
        QTest::newRow("area shrank meanwhile")
            << QRect(939, 903, 320, 100) << QRect(100, 50, 800, 600) << QRect(559, 529, 320, 100);
        QTest::newRow("area on a second screen")
            << QRect(100, 100, 320, 100) << QRect(1280, 0, 1024, 768) << QRect(1300, 100, 320, 100);
        QTest::newRow("wider than the area: left margin wins")
            << QRect(0, 0, 900, 100) << QRect(100, 50, 800, 600) << QRect(120, 70, 900, 100);
        QTest::newRow("null stays null") << QRect() << full << QRect();
    }
    void clampToArea() {
        QFETCH(QRect, rect);
        QFETCH(QRect, area);
        QFETCH(QRect, expected);
        QCOMPARE(HoverHideWindow::clampToArea(rect, area, 20), expected);
    }

    void bottomRightPosition_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("whole screen") << QRect(0, 0, 1280, 1024) << QPoint(939, 903);
        QTest::newRow("panel at the bottom") << QRect(0, 0, 1280, 984) << QPoint(939, 863);
        QTest::newRow("screen to the right") << QRect(1280, 0, 1024, 768) << QPoint(1963, 647);
    }
    void bottomRightPosition() {
        QFETCH(QRect, area);
        QFETCH(QPoint, expected);
        QCOMPARE(HoverHideWindow::bottomRightPosition(QSize(320, 100), area, 20), expected);
    }

    void firstShowInTheCorner() {
        QCursor::setPos(available().center());
        HoverHideWindow w(120, 20, nullptr, true);
        QVERIFY(w.windowFlags().testFlags(Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                          Qt::Tool));
        QCOMPARE(w.size(), QSize(320, 100));
        w.show();
        QCOMPARE(w.pos(), HoverHideWindow::bottomRightPosition(w.size(), available(), 20));
        QCOMPARE(w.clampToScreen(QRect()), QRect());
        // A rectangle off the screen is measured against the primary one.
        QCOMPARE(w.clampToScreen(QRect(available().right(), 0, 320, 100)).left(),
                 available().right() - 320 - 20);
    }

    void language() {
        HoverHideWindow w(120, 20, nullptr, true);
        QCOMPARE(w.promptText(),
                 QStringLiteral("マウスポインターの座標を取得中\nCtrl+Alt+Gを押してください。"));
        w.setJapanese(false);
        QCOMPARE(w.promptText(),
                 QStringLiteral("Getting mouse pointer coordinates\nPress Ctrl+Alt+G."));
        w.setJapanese(false);
        QVERIFY(!w.isJapanese());
        w.setJapanese(true);
        QVERIFY(w.promptText().startsWith(QStringLiteral("マウスポインター")));
    }

    void hidesNearAndReturnsFarAway() {
        QCursor::setPos(available().topLeft());
        HoverHideWindow w(120, 20, nullptr, false);
        w.show();
        const QRect frame = w.frameGeometry();
        QVERIFY(w.isVisible());

        // 120 pixels left of the frame counts as near (edges included); the
        // window's own timer notices.
        QTest::ignoreMessage(QtDebugMsg, "hidden (cursor near)");
        QCursor::setPos(frame.left() - 120, frame.center().y());
        QTRY_VERIFY_WITH_TIMEOUT(!w.isVisible(), 3000);
        QVERIFY(w.isHiddenByProximity());
        QCOMPARE(w.lastShownGeometry(), frame);

        // Still within reach of where it was: stays hidden.
        QCursor::setPos(frame.right() + 120, frame.bottom() + 120);
        w.checkCursor();
        QVERIFY(!w.isVisible());
        QCursor::setPos(frame.center());
        w.checkCursor();
        QVERIFY(!w.isVisible());

        // One pixel further: back in the same place.
        QTest::ignoreMessage(QtDebugMsg, "shown (cursor moved away from last position)");
        QCursor::setPos(frame.left() - 121, frame.top());
        w.checkCursor();
        QVERIFY(w.isVisible());
        QVERIFY(!w.isHiddenByProximity());
        QCOMPARE(w.frameGeometry(), frame);
    }

    void farPointerLeavesItShown() {
        QCursor::setPos(available().topLeft());
        HoverHideWindow w(120, 20, nullptr, true);
        w.show();
        const QRect frame = w.frameGeometry();
        QCursor::setPos(frame.left() - 121, frame.top() - 121);
        w.checkCursor();
        QVERIFY(w.isVisible());
        QVERIFY(!w.isHiddenByProximity());
    }
};

QTEST_MAIN(HoverHideWindowTest)
#include "gui_hoverhidewindow.moc"
