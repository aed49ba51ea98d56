// The pages that look at the screen against the recording backend's scripted
// screen: the Colour condition waits for its pixel to become (or stop being)
// its colour, within the tolerance and where the window puts it; the Image
// condition waits for its picture and an Image Jump without one goes where it
// was found; a picture that never shows stops the run with the page named
// and nothing pressed after it.

#include "run/runharness.h"
#include "run/runsteps.h"
#include "support/failurelog.h"
#include "support/screenpattern.h"

#include <QBuffer>
#include <QPainter>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>

using namespace runtest;
using testsupport::FakeWindow;
using testsupport::ScriptedScreen;
using Texts = std::vector<std::string>;

Q_DECLARE_METATYPE(Texts)
Q_DECLARE_METATYPE(RunFailure::Reason)
Q_DECLARE_METATYPE(testsupport::ScriptedScreen::Changes)

namespace {

namespace pattern = testsupport::screenpattern;

const QStringList kClick{QStringLiteral("クリック"), QStringLiteral("左"), QStringLiteral("0")};
constexpr int kScreenWidth = 640;
constexpr int kScreenHeight = 480;
// The window the anchored pages name, and where its client area is.
const platform::Rect kClient{100, 120, 300, 200};

// A plain grey screen with `colour` at the given pixels.
QImage screenWith(const QList<QPoint> &pixels, QColor colour) {
    QImage image(kScreenWidth, kScreenHeight, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 128));
    for (const QPoint &p : pixels)
        image.setPixelColor(p, colour);
    return image;
}

// The template: the middle of the picture, where its four quarters meet.
const QRect kTemplateInPicture{40, 25, 40, 30};

QString templateBase64() {
    return pattern::pngBase64(pattern::picture().copy(kTemplateInPicture));
}

// The grey screen with the picture's top-left at `at`.
QImage screenShowing(QPoint at) {
    QImage image = screenWith({}, Qt::black);
    QPainter painter(&image);
    painter.drawImage(at, pattern::picture());
    return image;
}

// Where a page finds the template when the picture is at `at`.
QPoint centreFor(QPoint at) {
    return at + kTemplateInPicture.topLeft() +
           QPoint(kTemplateInPicture.width() / 2, kTemplateInPicture.height() / 2);
}

std::string cursorText(QPoint p) {
    return "setCursorPos " + std::to_string(p.x()) + " " + std::to_string(p.y());
}

QStringList colourPage(const QString &area, int x, int y, const QString &colour, int tolerance,
                       bool becomes) {
    return {"色",
            "メモ帳",
            "含む",
            "",
            area,
            QString::number(x),
            QString::number(y),
            colour,
            QString::number(tolerance),
            becomes ? "になる" : "でなくなる"};
}

// An Image condition (or the search part of an Image Jump).
QStringList imagePage(const QString &kind, const QString &area, QRect rect, const QString &image) {
    return pattern::imagePage(kind, "メモ帳", "含む", area, rect, image);
}

QStringList jumpPage(const QString &area, const QString &image, QPoint offset, double seconds,
                     QRect rect = QRect()) {
    return pattern::jumpPage("メモ帳", "含む", area, image, offset, seconds, rect);
}

FakeWindow notepad() {
    FakeWindow w;
    w.info.id = 7;
    w.info.title = u"メモ帳";
    w.info.program = u"notepad.exe";
    w.info.client = kClient;
    return w;
}

} // namespace

class ScreenStepsTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // The screen changes after a while: a condition that the change meets
    // ends the wait then and not before; one it does not meet waits on
    // until the stop.
    void colourCondition_data() {
        QTest::addColumn<QStringList>("condition");
        QTest::addColumn<QImage>("before");
        QTest::addColumn<QImage>("after");
        QTest::addColumn<bool>("met");
        const QColor red(200, 30, 40);
        const QColor white(255, 255, 255);
        const QList<QPoint> at{{10, 20}};
        QTest::newRow("becomes") << colourPage("画面", 10, 20, "#C81E28", 0, true)
                                 << screenWith(at, white) << screenWith(at, red) << true;
        QTest::newRow("leaves") << colourPage("画面", 10, 20, "#c81e28", 0, false)
                                << screenWith(at, red) << screenWith(at, white) << true;
        // Every channel at the tolerance's edge, up and down.
        QTest::newRow("within the tolerance")
            << colourPage("画面", 10, 20, "#B40A14", 20, true) << screenWith(at, white)
            << screenWith(at, QColor(200, 30, 0)) << true;
        QTest::newRow("one past the tolerance")
            << colourPage("画面", 10, 20, "#B40A14", 20, true) << screenWith(at, white)
            << screenWith(at, QColor(201, 30, 40)) << false;
        QTest::newRow("leaves only past the tolerance")
            << colourPage("画面", 10, 20, "#C81E28", 5, false) << screenWith(at, red)
            << screenWith(at, QColor(205, 25, 45)) << false;
        QTest::newRow("another pixel changes")
            << colourPage("画面", 10, 20, "#C81E28", 0, true) << screenWith({}, white)
            << screenWith({{11, 20}, {10, 21}}, red) << false;
        // (5, 7) of the window's client area; the same point of the screen
        // is red all along.
        const QPoint inWindow(kClient.x + 5, kClient.y + 7);
        QTest::newRow("in the window")
            << colourPage("ウィンドウ", 5, 7, "#C81E28", 0, true) << screenWith({{5, 7}}, red)
            << screenWith({{5, 7}, inWindow}, red) << true;
        QTest::newRow("the screen's point, not the window's")
            << colourPage("画面", 5, 7, "#C81E28", 0, false) << screenWith({{5, 7}}, red)
            << screenWith({inWindow}, red) << true;
    }
    void colourCondition() {
        QFETCH(QStringList, condition);
        QFETCH(QImage, before);
        QFETCH(QImage, after);
        QFETCH(bool, met);
        Harness h;
        h.rec.setWindows({notepad()});
        h.rec.screen().show(before);
        h.rec.screen().show(after, std::chrono::milliseconds(400));
        const Clock::time_point changed = Clock::now() + std::chrono::milliseconds(400);
        h.begin({{"なし"}, kMarker}, {condition, kNow});
        if (met) {
            QTRY_COMPARE_WITH_TIMEOUT(countOf(h.sent(), kMarkerText), 1, 5000);
            QVERIFY(h.sentEvents("setCursorPos").front().time >= changed);
        } else {
            QTest::qWait(1000);
            QCOMPARE(h.sent(), Texts{});
            h.requestStop();
        }
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        // Looked again and again, but paced: far fewer looks than the
        // stop checks' 10 ms would allow.
        QVERIFY(h.rec.screen().reads() >= 2);
        QVERIFY2(h.rec.screen().reads() < 60, qPrintable(QString::number(h.rec.screen().reads())));
        if (condition.at(4) == QStringLiteral("ウィンドウ")) {
            const std::vector<std::uint64_t> windows = h.rec.screen().windowReads();
            QVERIFY(!windows.empty());
            QCOMPARE(windows.front(), std::uint64_t(7));
        }
    }

    // The picture shows after a while; the condition finds it, and a jump
    // without an image goes to its centre plus the offset. A jump with an
    // image finds it by itself.
    void imageFoundAndJumpedTo_data() {
        QTest::addColumn<QList<QStringList>>("commands");
        QTest::addColumn<QList<QStringList>>("conditions");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<Texts>("sent");
        const QString image = templateBase64();
        const QPoint at(300, 200);
        const QPoint centre = centreFor(at);
        const QStringList emptyJump = jumpPage("画面", "", {3, -4}, 1);
        QTest::newRow("whole screen")
            << QList<QStringList>{{"なし"}, emptyJump, kClick}
            << QList<QStringList>{imagePage("画像", "画面", {}, image), kNow, kNow} << at
            << Texts{cursorText(centre + QPoint(3, -4)), "mouseDown 0", "mouseUp 0"};
        QTest::newRow("rectangle around it")
            << QList<QStringList>{{"なし"}, emptyJump}
            << QList<QStringList>{imagePage("画像", "範囲", {280, 190, 200, 120}, image), kNow}
            << at << Texts{cursorText(centre + QPoint(3, -4))};
        QTest::newRow("rectangle past the screen's edge")
            << QList<QStringList>{{"なし"}, emptyJump}
            << QList<QStringList>{imagePage("画像", "範囲", {250, 150, 4000, 4000}, image), kNow}
            << at << Texts{cursorText(centre + QPoint(3, -4))};
        QTest::newRow("in the window")
            << QList<QStringList>{{"なし"}, emptyJump}
            << QList<QStringList>{imagePage("画像", "ウィンドウ", {}, image), kNow}
            << QPoint(kClient.x + 20, kClient.y + 10)
            << Texts{cursorText(centreFor({kClient.x + 20, kClient.y + 10}) + QPoint(3, -4))};
        QTest::newRow("jump with its image")
            << QList<QStringList>{jumpPage("画面", image, {-10, 0}, 5), kClick}
            << QList<QStringList>{kNow, kNow} << at
            << Texts{cursorText(centre + QPoint(-10, 0)), "mouseDown 0", "mouseUp 0"};
        // The second jump goes where the first one found the picture.
        QTest::newRow("jump, then a jump without an image")
            << QList<QStringList>{jumpPage("画面", image, {0, 0}, 5), emptyJump}
            << QList<QStringList>{kNow, kNow} << at
            << Texts{cursorText(centre), cursorText(centre + QPoint(3, -4))};
    }
    void imageFoundAndJumpedTo() {
        QFETCH(QList<QStringList>, commands);
        QFETCH(QList<QStringList>, conditions);
        QFETCH(QPoint, at);
        QFETCH(Texts, sent);
        Harness h;
        h.rec.setWindows({notepad()});
        h.rec.screen().show(screenWith({}, Qt::black));
        h.rec.screen().show(screenShowing(at), std::chrono::milliseconds(300));
        testsupport::FailureLog failures;
        h.prepare(commands, conditions);
        failures.attach(h.run.get());
        h.run->start();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        QVERIFY(failures.all().isEmpty());
        QCOMPARE(h.sent(), sent);
    }

    // However the screen says what changed (it cannot tell, it tells, or
    // every event got lost), a waiting Image condition sees the picture
    // drawn late: also where the screen grew and the picture is in the new
    // part, and where the page's window moved onto a picture already shown.
    void imageSeenAfterChanges_data() {
        QTest::addColumn<ScriptedScreen::Changes>("how");
        QTest::addColumn<QStringList>("condition");
        QTest::addColumn<QImage>("before");
        QTest::addColumn<QImage>("after");
        QTest::addColumn<bool>("windowMoves");
        QTest::addColumn<QPoint>("centre");
        const QString image = templateBase64();
        const QImage black = screenWith({}, Qt::black);
        QImage grown(800, 600, QImage::Format_RGB32);
        grown.fill(Qt::black);
        QPainter(&grown).drawImage(QPoint(660, 500), pattern::picture());
        const std::pair<const char *, ScriptedScreen::Changes> ways[] = {
            {"unknown", ScriptedScreen::Changes::Unknown},
            {"told", ScriptedScreen::Changes::Told},
            {"events lost", ScriptedScreen::Changes::Silent}};
        for (const auto &[name, how] : ways) {
            QTest::addRow("drawn late, %s", name)
                << how << imagePage("画像", "画面", {}, image) << black << screenShowing({300, 200})
                << false << centreFor({300, 200});
            QTest::addRow("in a rectangle, %s", name)
                << how << imagePage("画像", "範囲", {280, 190, 200, 120}, image) << black
                << screenShowing({300, 200}) << false << centreFor({300, 200});
            QTest::addRow("screen grew, %s", name)
                << how << imagePage("画像", "画面", {}, image) << black << grown << false
                << centreFor({660, 500});
            // Shown all along at (450, 300), outside the window until it moves.
            QTest::addRow("window moved, %s", name)
                << how << imagePage("画像", "ウィンドウ", {}, image) << screenShowing({450, 300})
                << screenShowing({450, 300}) << true << centreFor({450, 300});
        }
    }
    void imageSeenAfterChanges() {
        QFETCH(ScriptedScreen::Changes, how);
        QFETCH(QStringList, condition);
        QFETCH(QImage, before);
        QFETCH(QImage, after);
        QFETCH(bool, windowMoves);
        QFETCH(QPoint, centre);
        Harness h;
        h.rec.setWindows({notepad()});
        h.rec.screen().tellChanges(how);
        h.rec.screen().show(before);
        h.rec.screen().show(after, std::chrono::milliseconds(300));
        h.begin({{"なし"}, jumpPage("画面", "", {0, 0}, 1)}, {condition, kNow});
        if (windowMoves) {
            QTest::qWait(300);
            FakeWindow moved = notepad();
            moved.info.client = {420, 280, 200, 150};
            h.rec.setWindows({moved});
        }
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        QCOMPARE(h.sent(), Texts{cursorText(centre)});
    }

    // Where the screen says what changed, a still screen is not read again
    // after the first look, and a change is read only where it happened,
    // grown by the template's size.
    void stillScreenNotRead() {
        Harness h;
        h.rec.screen().tellChanges(ScriptedScreen::Changes::Told);
        h.rec.screen().show(screenWith({}, Qt::black));
        h.begin({{"なし"}, jumpPage("画面", "", {0, 0}, 1)},
                {imagePage("画像", "画面", {}, templateBase64()), kNow});
        QTest::qWait(500);
        QCOMPARE(h.rec.screen().reads(), 1);
        h.rec.screen().show(screenShowing({300, 200}));
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 5000);
        QCOMPARE(h.sent(), Texts{cursorText(centreFor({300, 200}))});
        const std::vector<platform::Rect> rects = h.rec.screen().readRects();
        QCOMPARE(int(rects.size()), 2);
        // The picture (120 × 80 at 300, 200) grown by the 40 × 30 template
        // and a pixel for scaling: 40 and 30 on each side.
        const platform::Rect &read = rects.back();
        QCOMPARE(QRect(read.x, read.y, read.width, read.height), QRect(260, 170, 200, 140));
    }

    // The run stops at the page and names it; nothing after it is pressed.
    void screenPageStopsTheRun_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QStringList>("condition");
        QTest::addColumn<bool>("screen");
        QTest::addColumn<QImage>("shown");
        QTest::addColumn<RunFailure::Reason>("reason");
        QTest::addColumn<QString>("english");
        QTest::addColumn<QString>("japanese");
        const QString image = templateBase64();
        const QImage grey = screenWith({}, Qt::black);
        QTest::newRow("image not found in time")
            << jumpPage("画面", image, {0, 0}, 0.4) << kNow << true << grey
            << RunFailure::Reason::ImageNotFound
            << "page 2: the image was not found; the run was stopped"
            << "2ページ目: 画像が見つかりません。\n実行を停止しました。";
        // Only the rectangle is looked at: the picture is outside it.
        QTest::newRow("image outside the rectangle")
            << jumpPage("範囲", image, {0, 0}, 0.8, {0, 0, 200, 200}) << kNow << true
            << screenShowing({400, 300}) << RunFailure::Reason::ImageNotFound
            << "page 2: the image was not found; the run was stopped"
            << "2ページ目: 画像が見つかりません。\n実行を停止しました。";
        QTest::newRow("jump without an image, nothing found yet")
            << jumpPage("画面", "", {0, 0}, 1) << kNow << true << grey
            << RunFailure::Reason::NoPlaceFound
            << "page 2: no image has been found yet in this pass to jump to; the run was stopped"
            << "2ページ目: ジャンプ先の画像がまだ見つかっていません。\n実行を停止しました。";
        QTest::newRow("no screen to read")
            << jumpPage("画面", image, {0, 0}, 1) << kNow << false << grey
            << RunFailure::Reason::NoScreen
            << "page 2: this desktop does not let programs read the screen; the run was stopped"
            << "2ページ目: このデスクトップでは画面を読み取れません。\n実行を停止しました。";
        QTest::newRow("colour, no screen to read")
            << QStringList{"なし"} << colourPage("画面", 1, 1, "#000000", 0, true) << false << grey
            << RunFailure::Reason::NoScreen
            << "page 2: this desktop does not let programs read the screen; the run was stopped"
            << "2ページ目: このデスクトップでは画面を読み取れません。\n実行を停止しました。";
        QStringList missing = imagePage("画像", "ウィンドウ", {}, image);
        missing[1] = QStringLiteral("ブラウザー");
        QTest::newRow("image in a missing window")
            << QStringList{"なし"} << missing << true << grey << RunFailure::Reason::NotFound
            << "page 2: no window \"ブラウザー\" is open; the run was stopped"
            << "2ページ目: ウィンドウ「ブラウザー」が見つかりません。\n実行を停止しました。";
        QStringList colourMissing = colourPage("ウィンドウ", 1, 1, "#000000", 0, true);
        colourMissing[1] = QStringLiteral("ブラウザー");
        QTest::newRow("colour in a missing window")
            << QStringList{"なし"} << colourMissing << true << grey << RunFailure::Reason::NotFound
            << "page 2: no window \"ブラウザー\" is open; the run was stopped"
            << "2ページ目: ウィンドウ「ブラウザー」が見つかりません。\n実行を停止しました。";
        // A pixel on no screen never changes: waiting for it would not end.
        QTest::newRow("colour right of the screen")
            << QStringList{"なし"} << colourPage("画面", kScreenWidth, 5, "#000000", 0, true)
            << true << grey << RunFailure::Reason::OffScreen
            << "page 2: the place (640, 5) whose colour the page watches is on no screen; the run "
               "was stopped"
            << "2ページ目: 色を見る位置 (640, 5) はどの画面にもありません。\n実行を停止しました。";
        QTest::newRow("colour above the screen, waiting for it to leave")
            << QStringList{"なし"} << colourPage("画面", 3, -1, "#000000", 0, false) << true << grey
            << RunFailure::Reason::OffScreen
            << "page 2: the place (3, -1) whose colour the page watches is on no screen; the run "
               "was stopped"
            << "2ページ目: 色を見る位置 (3, -1) はどの画面にもありません。\n実行を停止しました。";
        QTest::newRow("colour beyond the window and the screen")
            << QStringList{"なし"} << colourPage("ウィンドウ", 1000, 7, "#000000", 0, true) << true
            << grey << RunFailure::Reason::OffScreen
            << "page 2: the place (1100, 127) whose colour the page watches is on no screen; the "
               "run was stopped"
            << "2ページ目: 色を見る位置 (1100, 127) "
               "はどの画面にもありません。\n実行を停止しました。";
    }
    void screenPageStopsTheRun() {
        QFETCH(QStringList, command);
        QFETCH(QStringList, condition);
        QFETCH(bool, screen);
        QFETCH(QImage, shown);
        QFETCH(RunFailure::Reason, reason);
        QFETCH(QString, english);
        QFETCH(QString, japanese);
        Harness h;
        h.rec.setWindows({notepad()});
        h.rec.offerScreen(screen);
        h.rec.screen().show(shown);
        testsupport::FailureLog failures;
        h.prepare({{"なし"}, command, kClick}, {kNow, condition, kNow}, 3);
        failures.attach(h.run.get());
        h.run->start();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        QCOMPARE(h.sent(), Texts{});
        const QList<RunFailure> all = failures.all();
        QCOMPARE(all.size(), 1);
        QCOMPARE(all.first().reason, reason);
        QCOMPARE(all.first().page, 2);
        QCOMPARE(runsteps::failureText(all.first(), false), english);
        QCOMPARE(runsteps::failureText(all.first(), true), japanese);
    }

    // A stop ends the wait of a condition whose picture never shows.
    void stopEndsTheImageWait() {
        Harness h;
        h.rec.screen().show(screenWith({}, Qt::black));
        h.begin({{"なし"}, kClick}, {imagePage("画像", "画面", {}, templateBase64()), kNow});
        QTest::qWait(300);
        QVERIFY(!h.finished());
        h.requestStop();
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 3000);
        QCOMPARE(h.sent(), Texts{});
    }

    // What the first pass found is not where the next pass jumps: each pass
    // looks again, so a picture that moved is followed.
    void eachPassFindsAnew() {
        Harness h;
        h.rec.screen().show(screenShowing({50, 60}));
        h.rec.screen().show(screenShowing({400, 300}), std::chrono::milliseconds(700));
        const QStringList emptyJump = jumpPage("画面", "", {0, 0}, 1);
        h.begin({{"なし"}, emptyJump},
                {imagePage("画像", "画面", {}, templateBase64()), {"時間", "0.8"}}, 2);
        QTRY_VERIFY_WITH_TIMEOUT(h.finished(), 10000);
        QCOMPARE(h.sent(),
                 (Texts{cursorText(centreFor({50, 60})), cursorText(centreFor({400, 300}))}));
    }
};

QTEST_MAIN(ScreenStepsTest)
#include "gui_screensteps.moc"
