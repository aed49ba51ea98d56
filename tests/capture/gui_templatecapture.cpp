// Making a template over frozen screens: the rectangle dragged in the
// screen's logical coordinates becomes the picture's physical pixels, on a
// screen at 100 % and on scaled ones, and a click without a drag takes
// nothing. (gui_editorscreen drags and cancels through the main window.)

#include "capture/templatecapture.h"

#include <QImage>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

namespace {

// A picture in which every pixel differs from its neighbours: red counts
// columns, green rows, so a crop off by one pixel shows.
QImage numbered(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x / 256) * 16 + y / 256));
    return image;
}

// A screen at `ratio` whose logical size is `logical`.
FrozenScreen screenAt(const QRect &logical, double ratio) {
    FrozenScreen screen;
    screen.geometry = logical;
    screen.image = numbered(int(logical.width() * ratio), int(logical.height() * ratio));
    return screen;
}

// The first pixel where `got` differs from `source` cropped at `from`.
QString difference(const QImage &got, const QImage &source, const QRect &from) {
    if (got.size() != from.size())
        return QStringLiteral("size %1x%2 instead of %3x%4")
            .arg(got.width())
            .arg(got.height())
            .arg(from.width())
            .arg(from.height());
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            if (got.pixel(x, y) != source.pixel(from.x() + x, from.y() + y))
                return QStringLiteral("pixel %1,%2").arg(x).arg(y);
    return QString();
}

void drag(QWidget *view, const QPoint &from, const QPoint &to) {
    QTest::mousePress(view, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(view, (from + to) / 2);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, Qt::NoModifier, to);
}

} // namespace

class TemplateCaptureTest : public QObject {
    Q_OBJECT

private slots:
    // The selection in logical pixels, the crop in the picture's pixels.
    void cropInPhysicalPixels_data() {
        QTest::addColumn<double>("ratio");
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QRect>("physical");
        QTest::newRow("100 %") << 1.0 << QRect(10, 20, 30, 40) << QRect(10, 20, 30, 40);
        QTest::newRow("150 %, even") << 1.5 << QRect(10, 20, 40, 60) << QRect(15, 30, 60, 90);
        // An odd edge takes the whole physical pixel it touches.
        QTest::newRow("150 %, odd") << 1.5 << QRect(11, 21, 3, 3) << QRect(16, 31, 5, 5);
        QTest::newRow("200 %") << 2.0 << QRect(0, 0, 5, 7) << QRect(0, 0, 10, 14);
        QTest::newRow("past the edge clipped")
            << 1.5 << QRect(390, 290, 50, 50) << QRect(585, 435, 15, 15);
    }
    void cropInPhysicalPixels() {
        QFETCH(double, ratio);
        QFETCH(QRect, selection);
        QFETCH(QRect, physical);
        const FrozenScreen screen = screenAt(QRect(0, 0, 400, 300), ratio);
        const QImage crop = cropFrozen(screen, selection);
        QCOMPARE(difference(crop, screen.image, physical), QString());
        QCOMPARE(crop.devicePixelRatio(), 1.0);
    }

    void nothingLeftIsNull() {
        const FrozenScreen screen = screenAt(QRect(0, 0, 100, 100), 1.5);
        QVERIFY(cropFrozen(screen, QRect(200, 200, 10, 10)).isNull());
        QVERIFY(cropFrozen(screen, QRect()).isNull());
    }

    // What the record keeps reads back as the same pixels.
    void pngKeepsThePixels() {
        const QImage source = numbered(37, 23);
        QImage back;
        QVERIFY(back.loadFromData(templatePng(source), "PNG"));
        QCOMPARE(difference(back.convertToFormat(QImage::Format_RGB32), source, source.rect()),
                 QString());
    }

    // A click without a drag takes nothing; the next drag does.
    void clickAloneTakesNothing() {
        TemplateCapture capture(true);
        QSignalSpy taken(&capture, &TemplateCapture::taken);
        capture.start({screenAt(QRect(0, 0, 300, 200), 1.0)}, 1.0);
        FrozenScreenView *view = capture.views().at(0);
        QVERIFY(QTest::qWaitForWindowExposed(view));
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
        QCOMPARE(taken.size(), 0);
        QCOMPARE(capture.views().size(), 1);
        drag(view, QPoint(30, 30), QPoint(38, 34));
        QCOMPARE(taken.size(), 1);
        QCOMPARE(taken.at(0).at(1).toSize(), QSize(8, 4));
    }
};

QTEST_MAIN(TemplateCaptureTest)
#include "gui_templatecapture.moc"
