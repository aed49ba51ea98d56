// The pages that look at the screen on the Win32 backend, with a plain Win32
// window of the test's own: it shows a picture (or turns a colour) after a
// while and the run waits for it, then an Image Jump and a Click land inside
// it, also after the window has moved since the template was taken. A window
// that copies black from the screen but draws itself when asked (as
// GPU-drawn programs do) is found in its own area through PrintWindow, and
// not on the screen, where the jump stops the run and nothing is clicked.

#include "run/run.h"
#include "support/screenpattern.h"
#include "support/systeminput.h"
#include "support/win32threadwindow.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QtTest>

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/win32/leanwindows.h"

namespace {

namespace pattern = testsupport::screenpattern;

constexpr int kWidth = 480;
constexpr int kHeight = 320;
const wchar_t kTitle[] = L"Tarnwick screen pages 5e1c";

enum class Shows { Nothing, Square, Picture };

// The window: grey, then a red square or the picture at a place. Drawn
// black on the screen, but right when asked to print itself, where it
// stands for a window the GPU draws.
struct Scene {
    std::atomic<int> shows{int(Shows::Nothing)};
    std::atomic<int> x{0};
    std::atomic<int> y{0};
    std::atomic<bool> blackOnScreen{false};
    std::mutex mutex;
    std::vector<POINT> presses;
    int pressesBeforeTheChange = 0;
};
Scene *scene = nullptr;

void fillRgb(HDC dc, RECT r, int red, int green, int blue) {
    HBRUSH brush = CreateSolidBrush(RGB(red, green, blue));
    FillRect(dc, &r, brush);
    DeleteObject(brush);
}

void draw(HDC dc) {
    fillRgb(dc, {0, 0, kWidth, kHeight}, 128, 128, 128);
    const int x = scene->x, y = scene->y;
    if (scene->shows == int(Shows::Square)) {
        fillRgb(dc, {x, y, x + 20, y + 20}, 200, 30, 40);
    } else if (scene->shows == int(Shows::Picture)) {
        const int w = pattern::kWidth / 2, h = pattern::kHeight / 2;
        for (const POINT &q : {POINT{0, 0}, POINT{w, 0}, POINT{0, h}, POINT{w, h}}) {
            const platform::Rgb c = pattern::at(q.x, q.y);
            fillRgb(dc, {x + q.x, y + q.y, x + q.x + w, y + q.y + h}, c.r, c.g, c.b);
        }
        const platform::Rgb odd = pattern::at(5, 7);
        fillRgb(dc, {x + 5, y + 7, x + 6, y + 8}, odd.r, odd.g, odd.b);
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        if (scene->blackOnScreen)
            fillRgb(dc, {0, 0, kWidth, kHeight}, 0, 0, 0);
        else
            draw(dc);
        EndPaint(window, &ps);
        return 0;
    }
    case WM_PRINTCLIENT:
        draw(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_ERASEBKGND:
        return 1;
    case WM_LBUTTONDOWN: {
        std::lock_guard<std::mutex> lock(scene->mutex);
        scene->presses.push_back({short(LOWORD(lParam)), short(HIWORD(lParam))});
        if (scene->shows == int(Shows::Nothing))
            ++scene->pressesBeforeTheChange;
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// A titled top-level window (listed by the window access), as another
// program's would be.
class SceneWindow : public testsupport::Win32ThreadWindow {
public:
    bool open(int x, int y) {
        return Win32ThreadWindow::open(L"TarnwickScreenPagesTest", &windowProc, 0, kTitle, x, y,
                                       kWidth, kHeight);
    }
};

QString title() {
    return QString::fromWCharArray(kTitle);
}

QStringList jump(const QString &area, const QString &image, double seconds) {
    return pattern::jumpPage(title(), "一致", area, image, {0, 0}, seconds);
}

const QStringList kClick{"クリック", "左", "0.02"};
const QStringList kNow{"即時"};
const QStringList kUntilOver{"終わるまで待つ", "0"};

} // namespace

Q_DECLARE_METATYPE(RunFailure::Reason)

class Win32ScreenPagesTest : public QObject {
    Q_OBJECT

    testsupport::SystemInput layer;
    Scene scene_;

    // Plays the pages on this process's backend; the failure, if any.
    RunFailure play(const QList<QStringList> &commands, const QList<QStringList> &conditions) {
        Run run;
        std::atomic<bool> done{false};
        RunFailure failure;
        QObject::connect(
            &run, &Run::pageFailed, &run, [&failure](const RunFailure &f) { failure = f; },
            Qt::DirectConnection);
        QObject::connect(
            &run, &Run::finished, &run, [&done] { done = true; }, Qt::DirectConnection);
        runsteps::Refusal refusal;
        if (!run.prepare(RunSettings{0, 1, QStringLiteral("なし")}, commands, conditions,
                         QStringLiteral("wine"), &refusal)) {
            qWarning("%s", qPrintable(runsteps::refusalText(refusal, false)));
            failure.reason = RunFailure::Reason::NotFound;
            return failure;
        }
        run.start();
        if (!QTest::qWaitFor([&done] { return done.load(); }, 60000))
            qWarning("the run did not end within a minute");
        return failure;
    }

    std::vector<POINT> presses() {
        std::lock_guard<std::mutex> lock(scene_.mutex);
        return scene_.presses;
    }

private slots:
    void initTestCase() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
        scene = &scene_;
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
        QVERIFY(layer.backend()->screenReader());
        // Wine has no desktop duplication: the reader says it cannot tell
        // what changed, so the waits below compare captures tile by tile.
        std::uint64_t token = 0;
        std::vector<platform::Rect> changed;
        for (int i = 0; i < 2; ++i)
            QVERIFY(!layer.backend()->screenReader()->changesSince(token, changed));
    }
    void cleanupTestCase() { layer.reset(); }
    void init() {
        std::lock_guard<std::mutex> lock(scene_.mutex);
        scene_.presses.clear();
        scene_.pressesBeforeTheChange = 0;
        scene_.shows = int(Shows::Nothing);
        scene_.blackOnScreen = false;
    }

    // The run waits for the change, then the click lands inside it.
    void waitsThenClicksInside_data() {
        QTest::addColumn<int>("shows");
        QTest::addColumn<QPoint>("at");
        QTest::addColumn<QList<QStringList>>("commands");
        QTest::addColumn<QList<QStringList>>("conditions");
        const QStringList colour{"色", title(), "一致",    "",  "ウィンドウ",
                                 "65", "75",    "#C81E28", "8", "になる"};
        QTest::newRow("colour in the window")
            << int(Shows::Square) << QPoint(60, 70)
            << QList<QStringList>{{"なし"},
                                  {"ウィンドウ座標", title(), "一致", "", "65", "75"},
                                  kClick}
            << QList<QStringList>{colour, kNow, kUntilOver};
        QTest::newRow("jump that waits for its image")
            << int(Shows::Picture) << QPoint(300, 200)
            << QList<QStringList>{jump("画面", pattern::pngBase64(pattern::picture()), 20), kClick}
            << QList<QStringList>{kNow, kUntilOver};
    }
    void waitsThenClicksInside() {
        QFETCH(int, shows);
        QFETCH(QPoint, at);
        QFETCH(QList<QStringList>, commands);
        QFETCH(QList<QStringList>, conditions);
        SceneWindow window;
        QVERIFY(window.open(150, 120));
        std::thread reveal([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            scene_.x = at.x();
            scene_.y = at.y();
            scene_.shows = shows;
            window.repaint();
        });
        const RunFailure failure = play(commands, conditions);
        reveal.join();
        QVERIFY2(!failure.failed(), qPrintable(runsteps::failureText(failure, false)));
        QTRY_COMPARE_WITH_TIMEOUT(int(presses().size()), 1, 5000);
        QCOMPARE(scene_.pressesBeforeTheChange, 0);
        const POINT p = presses().front();
        const QRect inside = shows == int(Shows::Picture)
                                 ? QRect(at, QSize(pattern::kWidth, pattern::kHeight))
                                 : QRect(at, QSize(20, 20));
        QVERIFY2(inside.contains(QPoint(p.x, p.y)),
                 qPrintable(QStringLiteral("pressed at %1,%2").arg(p.x).arg(p.y)));
    }

    // The template is taken from the screen with the window at one place
    // and found in the window after it has moved.
    void templateFollowsAMovedWindow() {
        scene_.x = 100;
        scene_.y = 80;
        scene_.shows = int(Shows::Picture);
        SceneWindow window;
        QVERIFY(window.open(100, 100));
        platform::ScreenImage taken;
        QTRY_VERIFY(layer.backend()->screenReader()->region(
                        {200, 180, pattern::kWidth, pattern::kHeight}, taken) &&
                    taken.bytes[2] == pattern::at(0, 0).r);
        const QImage grabbed(taken.bytes.data(), taken.width, taken.height, taken.stride,
                             QImage::Format_RGB32);
        QCOMPARE(grabbed.pixelColor(5, 7), QColor(17, 34, 51));
        const QString image = pattern::pngBase64(grabbed.copy());
        window.moveTo(500, 400);
        QTRY_COMPARE(window.origin().x, 500L);
        const RunFailure failure = play({jump("ウィンドウ", image, 5), kClick}, {kNow, kUntilOver});
        QVERIFY2(!failure.failed(), qPrintable(runsteps::failureText(failure, false)));
        QTRY_COMPARE_WITH_TIMEOUT(int(presses().size()), 1, 5000);
        const POINT p = presses().front();
        QVERIFY(QRect(100, 80, pattern::kWidth, pattern::kHeight).contains(QPoint(p.x, p.y)));
    }

    // A window whose copy from the screen is black: in its own area the
    // jump finds the picture through the window's own drawing; on the
    // screen it does not, the run stops there and nothing is clicked.
    void blackCopyOfAWindow_data() {
        QTest::addColumn<QString>("area");
        QTest::addColumn<bool>("found");
        QTest::newRow("the window's area") << "ウィンドウ" << true;
        QTest::newRow("the screen") << "画面" << false;
    }
    void blackCopyOfAWindow() {
        QFETCH(QString, area);
        QFETCH(bool, found);
        scene_.x = 200;
        scene_.y = 100;
        scene_.shows = int(Shows::Picture);
        scene_.blackOnScreen = true;
        SceneWindow window;
        QVERIFY(window.open(150, 120));
        platform::Rgb c;
        QTRY_VERIFY(layer.backend()->screenReader()->pixel(350 + 5, 220 + 7, c) && c.r == 0 &&
                    c.g == 0 && c.b == 0);
        const RunFailure failure =
            play({{"なし"}, jump(area, pattern::pngBase64(pattern::picture()), 1), kClick},
                 {kNow, kNow, kUntilOver});
        if (found) {
            QVERIFY2(!failure.failed(), qPrintable(runsteps::failureText(failure, false)));
            QTRY_COMPARE_WITH_TIMEOUT(int(presses().size()), 1, 5000);
            const POINT p = presses().front();
            QVERIFY(QRect(200, 100, pattern::kWidth, pattern::kHeight).contains(QPoint(p.x, p.y)));
        } else {
            QCOMPARE(failure.reason, RunFailure::Reason::ImageNotFound);
            QCOMPARE(failure.page, 2);
            QCOMPARE(runsteps::failureText(failure, false),
                     QStringLiteral("page 2: the image was not found; the run was stopped"));
            QTest::qWait(300);
            QCOMPARE(int(presses().size()), 0);
        }
    }
};

QTEST_MAIN(Win32ScreenPagesTest)
#include "wine_screenpages.moc"
