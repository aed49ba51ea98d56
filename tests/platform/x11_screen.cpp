// The X11 backend's screen reader against a window of the test's own,
// painted in known colours at a known place on the X display: single pixels
// (XGetImage) and regions (shared memory) come back exactly, from several
// threads at once, and nothing outside the screen is read. What changed is
// told (DAMAGE): a window shown, repainted or moved, and nothing known once
// the screen's size changed.

#include "platform/backend.h"
#include "support/screenpattern.h"
#include "support/xrandrscreen.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::screenpattern::firstDifference;
using testsupport::screenpattern::kHeight;
using testsupport::screenpattern::kWidth;

using testsupport::screenpattern::colourAt;
using testsupport::screenpattern::PatternWindow;

QString colourText(const platform::Rgb &c) {
    return testsupport::screenpattern::text(c);
}
QString colourText(const QColor &c) {
    return colourText(
        platform::Rgb{std::uint8_t(c.red()), std::uint8_t(c.green()), std::uint8_t(c.blue())});
}

} // namespace

class X11ScreenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void pixelsComeBackExactly_data();
    void pixelsComeBackExactly();
    void regionsComeBackExactly_data();
    void regionsComeBackExactly();
    void largerThenSmallerRegions();
    void nothingOutsideTheScreen_data();
    void nothingOutsideTheScreen();
    void threadsReadAtOnce();
    void changesAreTold_data();
    void changesAreTold();
    void nothingKnownAfterTheSizeChanged();

private:
    std::unique_ptr<platform::Backend> backend_;
    platform::ScreenReader *reader_ = nullptr;
    std::unique_ptr<PatternWindow> window_;
    QPoint origin_;
};

void X11ScreenTest::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    std::string error;
    backend_ = platform::createBackend("xcb", error);
    QVERIFY2(error.empty(), error.c_str());
    QVERIFY(backend_->capabilities().screenReading);
    reader_ = backend_->screenReader();
    QVERIFY(reader_);
    window_ = std::make_unique<PatternWindow>();
    window_->move(210, 170);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    origin_ = window_->mapToGlobal(QPoint(0, 0));
    QCOMPARE(origin_, QPoint(210, 170));
    // Painted and flushed to the server: the odd pixel is there.
    platform::Rgb c;
    QTRY_VERIFY(reader_->pixel(origin_.x() + 5, origin_.y() + 7, c) &&
                colourText(c) == colourText(colourAt(5, 7)));
}

void X11ScreenTest::cleanupTestCase() {
    window_.reset();
    backend_.reset();
}

void X11ScreenTest::pixelsComeBackExactly_data() {
    testsupport::screenpattern::addPixelRows();
}

void X11ScreenTest::pixelsComeBackExactly() {
    QFETCH(QPoint, at);
    platform::Rgb c;
    QVERIFY(reader_->pixel(origin_.x() + at.x(), origin_.y() + at.y(), c));
    QCOMPARE(colourText(c), colourText(colourAt(at.x(), at.y())));
}

void X11ScreenTest::regionsComeBackExactly_data() {
    QTest::addColumn<QRect>("rect"); // in the window
    QTest::newRow("whole window") << QRect(0, 0, kWidth, kHeight);
    QTest::newRow("one pixel") << QRect(5, 7, 1, 1);
    QTest::newRow("one row") << QRect(0, 7, kWidth, 1);
    QTest::newRow("one column") << QRect(5, 0, 1, kHeight);
    QTest::newRow("odd size across the middle") << QRect(3, 5, 77, 41);
}

void X11ScreenTest::regionsComeBackExactly() {
    QFETCH(QRect, rect);
    platform::ScreenImage image;
    QVERIFY(reader_->region(
        {origin_.x() + rect.x(), origin_.y() + rect.y(), rect.width(), rect.height()}, image));
    QCOMPARE(image.width, rect.width());
    QCOMPARE(image.height, rect.height());
    QCOMPARE(image.stride, rect.width() * 4);
    QCOMPARE(image.bytes.size(), size_t(image.stride) * image.height);
    QCOMPARE(firstDifference(image, rect.x(), rect.y()), QString());
}

void X11ScreenTest::largerThenSmallerRegions() {
    // The whole screen grows the shared segment; the window read after it
    // must not show any of the larger picture.
    const QSize screen = QGuiApplication::primaryScreen()->size();
    platform::ScreenImage whole;
    QVERIFY(reader_->region({0, 0, screen.width(), screen.height()}, whole));
    QCOMPARE(whole.width, screen.width());
    QCOMPARE(whole.height, screen.height());
    const std::uint8_t *odd =
        whole.bytes.data() + size_t(origin_.y() + 7) * whole.stride + (origin_.x() + 5) * 4;
    QCOMPARE(colourText(platform::Rgb{odd[2], odd[1], odd[0]}), colourText(colourAt(5, 7)));
    platform::ScreenImage part;
    QVERIFY(reader_->region({origin_.x() + 2, origin_.y() + 2, 20, 10}, part));
    QCOMPARE(firstDifference(part, 2, 2), QString());
}

void X11ScreenTest::nothingOutsideTheScreen_data() {
    const QSize s = QGuiApplication::primaryScreen()->size();
    QTest::addColumn<QRect>("rect");
    QTest::newRow("left of it") << QRect(-1, 10, 1, 1);
    QTest::newRow("above it") << QRect(10, -1, 1, 1);
    QTest::newRow("right of it") << QRect(s.width(), 10, 1, 1);
    QTest::newRow("below it") << QRect(10, s.height(), 1, 1);
    QTest::newRow("over the right edge") << QRect(s.width() - 10, 0, 11, 10);
    QTest::newRow("over the bottom edge") << QRect(0, s.height() - 5, 10, 6);
    QTest::newRow("larger than it") << QRect(0, 0, s.width() + 1, s.height());
    QTest::newRow("empty") << QRect(10, 10, 0, 5);
    QTest::newRow("negative size") << QRect(10, 10, 5, -5);
}

void X11ScreenTest::nothingOutsideTheScreen() {
    QFETCH(QRect, rect);
    platform::ScreenImage image;
    QVERIFY(!reader_->region({rect.x(), rect.y(), rect.width(), rect.height()}, image));
    if (rect.width() == 1 && rect.height() == 1) {
        platform::Rgb c;
        QVERIFY(!reader_->pixel(rect.x(), rect.y(), c));
    }
    // Far away, where position plus size overflows.
    QVERIFY(!reader_->region({0x7ffffff0, 0x7ffffff0, 0x7fffffff, 0x7fffffff}, image));
    // And the reader still works after the refusal.
    platform::Rgb c;
    QVERIFY(reader_->pixel(origin_.x() + 5, origin_.y() + 7, c));
    QCOMPARE(colourText(c), colourText(colourAt(5, 7)));
}

void X11ScreenTest::threadsReadAtOnce() {
    std::atomic<int> wrong{0};
    const QPoint o = origin_;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this, t, o, &wrong] {
            for (int i = 0; i < 50; ++i) {
                platform::ScreenImage image;
                // Sizes differ between threads, so the shared image changes hands.
                const int w = 10 + t * 7, h = 5 + t * 3;
                if (!reader_->region({o.x() + t, o.y() + t, w, h}, image) ||
                    !firstDifference(image, t, t).isEmpty())
                    ++wrong;
                platform::Rgb c;
                if (!reader_->pixel(o.x() + 5, o.y() + 7, c) ||
                    colourText(c) != colourText(colourAt(5, 7)))
                    ++wrong;
            }
        });
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(wrong.load(), 0);
}

void X11ScreenTest::changesAreTold_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QRegion>("expected");
    const QRect box(700, 300, 60, 40);
    QTest::newRow("a window shown") << "show" << QRegion(box);
    QTest::newRow("a window repainted") << "repaint" << QRegion(box);
    // Where it was and where it is.
    QTest::newRow("a window moved") << "move" << QRegion(box).united(box.translated(90, 50));
}

void X11ScreenTest::changesAreTold() {
    QFETCH(QString, change);
    QFETCH(QRegion, expected);
    QWidget box;
    box.setAutoFillBackground(true);
    box.setPalette(QColor(10, 200, 30));
    box.setGeometry(700, 300, 60, 40);
    if (change != QStringLiteral("show")) {
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        QTest::qWait(200);
    }
    std::uint64_t token = 0;
    std::vector<platform::Rect> changed;
    if (!reader_->changesSince(token, changed) && !reader_->changesSince(token, changed))
        QSKIP("the X server does not tell what changed (no DAMAGE)");
    if (change == QStringLiteral("show"))
        box.show();
    else if (change == QStringLiteral("repaint"))
        box.setPalette(QColor(200, 10, 30));
    else
        box.move(790, 350);
    QRegion told;
    bool unknown = false;
    // Asked again and again, as a waiting page does, until all is told.
    QVERIFY(QTest::qWaitFor(
        [&] {
            unknown = unknown || !reader_->changesSince(token, changed);
            for (const platform::Rect &r : changed)
                told += QRect(r.x, r.y, r.width, r.height);
            return (expected - told).isEmpty();
        },
        5000));
    QVERIFY(!unknown);
}

void X11ScreenTest::nothingKnownAfterTheSizeChanged() {
    std::uint64_t token = 0;
    std::vector<platform::Rect> changed;
    reader_->changesSince(token, changed);
    if (!reader_->changesSince(token, changed))
        QSKIP("the X server does not tell what changed (no DAMAGE)");
    {
        testsupport::ScreenSize size;
        if (!size.set(1000, 800))
            QSKIP("the X server would not change the screen's size");
        QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::primaryScreen()->size(), QSize(1000, 800), 5000);
        // Told once the reader has heard of the new size, which may come a
        // call later; known again after that.
        QVERIFY(QTest::qWaitFor([&] { return !reader_->changesSince(token, changed); }, 5000));
        QVERIFY(reader_->changesSince(token, changed));
    }
    QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::primaryScreen()->size() != QSize(1000, 800), 5000);
}

QTEST_MAIN(X11ScreenTest)
#include "x11_screen.moc"
