// The Win32 backend's screen reader against a plain Win32 window of the
// test's own, painted in known colours at a known place: pixels and regions
// come back exactly (physical pixels, from several threads at once), and
// nothing outside the virtual screen is read.

#include "platform/backend.h"
#include "support/screenpattern.h"
#include "support/win32threadwindow.h"

#include <QApplication>
#include <QtTest>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32/leanwindows.h"

namespace {

constexpr int kX = 210;
constexpr int kY = 170;
using testsupport::screenpattern::firstDifference;
using testsupport::screenpattern::kHeight;
using testsupport::screenpattern::kWidth;

platform::Rgb expectedAt(int x, int y) {
    return testsupport::screenpattern::at(x, y);
}
QString colourText(const platform::Rgb &c) {
    return testsupport::screenpattern::text(c);
}

void fill(HDC dc, int x, int y, int w, int h) {
    const platform::Rgb c = expectedAt(x, y);
    HBRUSH brush = CreateSolidBrush(RGB(c.r, c.g, c.b));
    const RECT r{x, y, x + w, y + h};
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

LRESULT CALLBACK paintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        const int w = kWidth / 2, h = kHeight / 2;
        fill(dc, 0, 0, w, h);
        fill(dc, 0, h, w, h);
        fill(dc, w, 0, w, h);
        fill(dc, w, h, w, h);
        fill(dc, 5, 7, 1, 1);
        EndPaint(window, &ps);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

class Win32ScreenTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void pixelsComeBackExactly_data();
    void pixelsComeBackExactly();
    void regionsComeBackExactly_data();
    void regionsComeBackExactly();
    void nothingOutsideTheScreen_data();
    void nothingOutsideTheScreen();
    void threadsReadAtOnce();

private:
    std::unique_ptr<platform::Backend> backend_;
    platform::ScreenReader *reader_ = nullptr;
    std::unique_ptr<testsupport::Win32ThreadWindow> window_;
};

void Win32ScreenTest::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
    std::string error;
    backend_ = platform::createBackend("windows", error);
    QVERIFY2(error.empty(), error.c_str());
    QVERIFY(backend_->capabilities().screenReading);
    reader_ = backend_->screenReader();
    QVERIFY(reader_);
    window_ = std::make_unique<testsupport::Win32ThreadWindow>();
    QVERIFY(window_->open(L"TarnwickScreenTest", &paintProc, WS_EX_TOOLWINDOW, L"", kX, kY, kWidth,
                          kHeight));
    platform::Rgb c;
    QTRY_VERIFY(reader_->pixel(kX + 5, kY + 7, c) && colourText(c) == colourText(expectedAt(5, 7)));
}

void Win32ScreenTest::cleanupTestCase() {
    window_.reset();
    backend_.reset();
}

void Win32ScreenTest::pixelsComeBackExactly_data() {
    testsupport::screenpattern::addPixelRows();
}

void Win32ScreenTest::pixelsComeBackExactly() {
    QFETCH(QPoint, at);
    platform::Rgb c;
    QVERIFY(reader_->pixel(kX + at.x(), kY + at.y(), c));
    QCOMPARE(colourText(c), colourText(expectedAt(at.x(), at.y())));
}

void Win32ScreenTest::regionsComeBackExactly_data() {
    QTest::addColumn<QRect>("rect"); // in the window
    QTest::newRow("whole window") << QRect(0, 0, kWidth, kHeight);
    QTest::newRow("one pixel") << QRect(5, 7, 1, 1);
    QTest::newRow("one row") << QRect(0, 7, kWidth, 1);
    QTest::newRow("odd size across the middle") << QRect(3, 5, 77, 41);
    QTest::newRow("whole window again") << QRect(0, 0, kWidth, kHeight);
}

void Win32ScreenTest::regionsComeBackExactly() {
    QFETCH(QRect, rect);
    platform::ScreenImage image;
    QVERIFY(reader_->region({kX + rect.x(), kY + rect.y(), rect.width(), rect.height()}, image));
    QCOMPARE(image.width, rect.width());
    QCOMPARE(image.height, rect.height());
    QCOMPARE(image.stride, rect.width() * 4);
    QCOMPARE(image.bytes.size(), size_t(image.stride) * image.height);
    QCOMPARE(firstDifference(image, rect.x(), rect.y()), QString());
}

void Win32ScreenTest::nothingOutsideTheScreen_data() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int right = left + GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int bottom = top + GetSystemMetrics(SM_CYVIRTUALSCREEN);
    QTest::addColumn<QRect>("rect");
    QTest::newRow("left of it") << QRect(left - 1, top + 10, 1, 1);
    QTest::newRow("above it") << QRect(left + 10, top - 1, 1, 1);
    QTest::newRow("right of it") << QRect(right, top + 10, 1, 1);
    QTest::newRow("below it") << QRect(left + 10, bottom, 1, 1);
    QTest::newRow("over the right edge") << QRect(right - 10, top, 11, 10);
    QTest::newRow("over the bottom edge") << QRect(left, bottom - 5, 10, 6);
    QTest::newRow("empty") << QRect(left + 10, top + 10, 0, 5);
}

void Win32ScreenTest::nothingOutsideTheScreen() {
    QFETCH(QRect, rect);
    platform::ScreenImage image;
    QVERIFY(!reader_->region({rect.x(), rect.y(), rect.width(), rect.height()}, image));
    if (rect.width() == 1 && rect.height() == 1) {
        platform::Rgb c;
        QVERIFY(!reader_->pixel(rect.x(), rect.y(), c));
    }
    // Far away, where position plus size overflows.
    QVERIFY(!reader_->region({0x7ffffff0, 0x7ffffff0, 0x7fffffff, 0x7fffffff}, image));
    platform::Rgb c;
    QVERIFY(reader_->pixel(kX + 5, kY + 7, c));
    QCOMPARE(colourText(c), colourText(expectedAt(5, 7)));
}

void Win32ScreenTest::threadsReadAtOnce() {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([this, t, &wrong] {
            for (int i = 0; i < 25; ++i) {
                platform::ScreenImage image;
                const int w = 10 + t * 7, h = 5 + t * 3;
                if (!reader_->region({kX + t, kY + t, w, h}, image) ||
                    !firstDifference(image, t, t).isEmpty())
                    ++wrong;
            }
        });
    for (std::thread &t : threads)
        t.join();
    QCOMPARE(wrong.load(), 0);
}

QTEST_MAIN(Win32ScreenTest)
#include "wine_screen.moc"
