#pragma once

// The picture the screen-reader tests paint into a window of their own (four
// quarters and one odd pixel, so that an image off by one pixel or with its
// channels swapped shows), and how a read is compared with it.

#include "platform/screenreader.h"

#include <QPoint>
#include <QString>
#include <QTest>

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
