// The frozen screens a template is cut from, on a real X display: the
// picture is the screen as the backend's reader sees it (what a run
// compares the template with), pixel for pixel.

#include "capture/templatecapture.h"
#include "platform/backend.h"
#include "support/screenpattern.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTest>
#include <QWidget>

#include <memory>
#include <string>

namespace {

using testsupport::screenpattern::kHeight;
using testsupport::screenpattern::kWidth;

using testsupport::screenpattern::colourAt;
using testsupport::screenpattern::PatternWindow;

} // namespace

class X11TemplateCaptureTest : public QObject {
    Q_OBJECT

private slots:
    void frozenScreenIsWhatTheReaderReads() {
        QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
        std::string error;
        const std::unique_ptr<platform::Backend> backend = platform::createBackend("xcb", error);
        QVERIFY2(error.empty(), error.c_str());
        platform::ScreenReader *reader = backend->screenReader();
        QVERIFY(reader);
        PatternWindow window;
        window.move(210, 170);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        platform::Rgb c;
        QTRY_VERIFY(reader->pixel(215, 177, c) &&
                    testsupport::screenpattern::text(c) ==
                        testsupport::screenpattern::text(testsupport::screenpattern::at(5, 7)));

        const QList<FrozenScreen> screens = freezeScreens();
        QCOMPARE(screens.size(), 1);
        const FrozenScreen &screen = screens.first();
        QCOMPARE(screen.geometry, QRect(0, 0, 1280, 1024));
        QCOMPARE(screen.image.size(), QSize(1280, 1024));

        // The window's picture and a strip of the desktop around it.
        const QRect around(200, 160, kWidth + 20, kHeight + 20);
        const QImage crop = cropFrozen(screen, around);
        QCOMPARE(crop.size(), around.size());
        platform::ScreenImage read;
        QVERIFY(reader->region({around.x(), around.y(), around.width(), around.height()}, read));
        QString difference;
        for (int y = 0; y < read.height && difference.isEmpty(); ++y)
            for (int x = 0; x < read.width && difference.isEmpty(); ++x) {
                const std::uint8_t *p = read.bytes.data() + std::size_t(y) * read.stride + x * 4;
                if (crop.pixel(x, y) != qRgb(p[2], p[1], p[0]))
                    difference = QStringLiteral("at %1,%2").arg(x).arg(y);
            }
        QCOMPARE(difference, QString());
        // And the odd pixel is where the window put it.
        QCOMPARE(QColor(crop.pixel(15, 17)), colourAt(5, 7));
    }
};

QTEST_MAIN(X11TemplateCaptureTest)
#include "x11_templatecapture.moc"
