#pragma once

// The picture the screen-reader tests paint into a window of their own (four
// quarters and one odd pixel, so that an image off by one pixel or with its
// channels swapped shows), and how a read is compared with it.

#include "platform/screenreader.h"

#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <cstddef>
#include <cstdint>

namespace testsupport::screenpattern {

constexpr int kWidth = 120;
constexpr int kHeight = 80;

inline platform::Rgb at(int x, int y) {
    if (x == 5 && y == 7)
        return {17, 34, 51};
    if (x < kWidth / 2)
        return y < kHeight / 2 ? platform::Rgb{220, 20, 60} : platform::Rgb{30, 60, 200};
    return y < kHeight / 2 ? platform::Rgb{10, 180, 40} : platform::Rgb{250, 249, 248};
}

inline QColor colourAt(int x, int y) {
    const platform::Rgb c = at(x, y);
    return QColor(c.r, c.g, c.b);
}

// The picture in a frameless window of its own, out of the window manager's
// hands so that it stays where it is put.
class PatternWindow : public QWidget {
public:
    PatternWindow() {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(kWidth, kHeight);
    }

protected:
    void paintEvent(QPaintEvent *) override {
        QPainter p(this);
        const int w = kWidth / 2, h = kHeight / 2;
        p.fillRect(0, 0, w, h, colourAt(0, 0));
        p.fillRect(0, h, w, h, colourAt(0, h));
        p.fillRect(w, 0, w, h, colourAt(w, 0));
        p.fillRect(w, h, w, h, colourAt(w, h));
        p.fillRect(5, 7, 1, 1, colourAt(5, 7));
    }
};

// The picture as an image.
inline QImage picture() {
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, colourAt(x, y));
    return image;
}

// An image as a project keeps a template: PNG, in base64.
inline QString pngBase64(const QImage &image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(png.toBase64());
}

// An Image condition, or the search part of an Image Jump (`kind`), in the
// window `title` matched by `match` where `area` is a window's.
inline QStringList imagePage(const QString &kind, const QString &title, const QString &match,
                             const QString &area, QRect rect, const QString &image) {
    return {kind,
            title,
            match,
            "",
            area,
            QString::number(rect.x()),
            QString::number(rect.y()),
            QString::number(rect.width()),
            QString::number(rect.height()),
            "90",
            "1",
            image};
}

inline QStringList jumpPage(const QString &title, const QString &match, const QString &area,
                            const QString &image, QPoint offset, double seconds,
                            QRect rect = QRect()) {
    return imagePage(QStringLiteral("画像ジャンプ"), title, match, area, rect, image)
           << QString::number(offset.x()) << QString::number(offset.y())
           << QString::number(seconds);
}

inline QString text(const platform::Rgb &c) {
    return QStringLiteral("%1,%2,%3").arg(c.r).arg(c.g).arg(c.b);
}

// The first pixel of an image read from the picture's (fromX, fromY) on that
// differs from the picture, or an empty text.
inline QString firstDifference(const platform::ScreenImage &image, int fromX, int fromY) {
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t *p =
                image.bytes.data() + static_cast<std::size_t>(y) * image.stride + x * 4;
            const QString got = text({p[2], p[1], p[0]});
            const QString want = text(at(fromX + x, fromY + y));
            if (got != want)
                return QStringLiteral("at %1,%2: %3 instead of %4")
                    .arg(fromX + x)
                    .arg(fromY + y)
                    .arg(got, want);
        }
    return QString();
}

// The pixels every reader is asked for: corners, quarters, the odd pixel.
inline void addPixelRows() {
    QTest::addColumn<QPoint>("at"); // in the picture
    QTest::newRow("top left corner") << QPoint(0, 0);
    QTest::newRow("odd pixel") << QPoint(5, 7);
    QTest::newRow("beside the odd pixel") << QPoint(6, 7);
    QTest::newRow("top right quarter") << QPoint(kWidth / 2, 0);
    QTest::newRow("bottom left quarter") << QPoint(0, kHeight / 2);
    QTest::newRow("bottom right corner") << QPoint(kWidth - 1, kHeight - 1);
}

} // namespace testsupport::screenpattern
