// What a waiting search looks at again: the tiles two captures differ in,
// and the changed areas grown by the template's size, clipped and joined.
// The last case checks the promise itself: a template placed anywhere over
// a change lies wholly in one of the areas searched again.

#include "vision/screenchanges.h"

#include <QImage>
#include <QTest>

#include <vector>

using platform::Rect;
using Rects = std::vector<Rect>;
Q_DECLARE_METATYPE(Rects)
Q_DECLARE_METATYPE(Rect)

namespace {

vision::ImageView viewOf(const QImage &image) {
    return {image.constBits(), image.width(), image.height(), int(image.bytesPerLine())};
}

QString text(const Rects &rects) {
    QStringList parts;
    for (const Rect &r : rects)
        parts << QStringLiteral("%1,%2 %3x%4").arg(r.x).arg(r.y).arg(r.width).arg(r.height);
    return parts.join(QStringLiteral("; "));
}

bool inside(const Rect &inner, const Rect &outer) {
    return inner.x >= outer.x && inner.y >= outer.y &&
           inner.x + inner.width <= outer.x + outer.width &&
           inner.y + inner.height <= outer.y + outer.height;
}

} // namespace

class ScreenChangesTest : public QObject {
    Q_OBJECT

private slots:
    // `after` is a grey 100×70 capture with the given pixels changed.
    void changedTiles_data() {
        QTest::addColumn<QList<QPoint>>("pixels");
        QTest::addColumn<QSize>("beforeSize");
        QTest::addColumn<Rects>("expected");
        const QSize same(100, 70);
        QTest::newRow("still") << QList<QPoint>{} << same << Rects{};
        QTest::newRow("one pixel") << QList<QPoint>{{40, 5}} << same << Rects{{32, 0, 32, 32}};
        // The last column and row of tiles are narrower: 100 = 3 × 32 + 4.
        QTest::newRow("bottom right corner")
            << QList<QPoint>{{99, 69}} << same << Rects{{96, 64, 4, 6}};
        QTest::newRow("neighbours joined")
            << QList<QPoint>{{0, 40}, {33, 40}, {95, 40}} << same << Rects{{0, 32, 96, 32}};
        QTest::newRow("gap kept") << QList<QPoint>{{0, 0}, {70, 0}} << same
                                  << Rects{{0, 0, 32, 32}, {64, 0, 32, 32}};
        QTest::newRow("two tile rows")
            << QList<QPoint>{{5, 31}, {5, 32}} << same << Rects{{0, 0, 32, 32}, {0, 32, 32, 32}};
        QTest::newRow("other size: everything")
            << QList<QPoint>{} << QSize(100, 71) << Rects{{0, 0, 100, 70}};
    }
    void changedTiles() {
        QFETCH(QList<QPoint>, pixels);
        QFETCH(QSize, beforeSize);
        QFETCH(Rects, expected);
        QImage before(beforeSize, QImage::Format_RGB32);
        before.fill(QColor(128, 128, 128));
        QImage after(100, 70, QImage::Format_RGB32);
        after.fill(QColor(128, 128, 128));
        for (const QPoint &p : pixels)
            after.setPixelColor(p, QColor(128, 128, 129)); // one step in one channel
        QCOMPARE(text(vision::changedTiles(viewOf(before), viewOf(after))), text(expected));
    }

    void searchAreas_data() {
        QTest::addColumn<Rects>("changed");
        QTest::addColumn<QSize>("needle");
        QTest::addColumn<Rect>("area");
        QTest::addColumn<Rects>("expected");
        const Rect area{0, 0, 1000, 800};
        QTest::newRow("nothing changed") << Rects{} << QSize(10, 10) << area << Rects{};
        QTest::newRow("grown by the size less one")
            << Rects{{100, 200, 5, 5}} << QSize(10, 20) << area << Rects{{91, 181, 23, 43}};
        QTest::newRow("clipped at the edge")
            << Rects{{0, 790, 10, 10}} << QSize(10, 20) << area << Rects{{0, 771, 19, 29}};
        QTest::newRow("outside the area")
            << Rects{{1000, 0, 5, 5}} << QSize(10, 10) << area << Rects{{991, 0, 9, 14}};
        QTest::newRow("far outside") << Rects{{2000, 0, 5, 5}} << QSize(10, 10) << area << Rects{};
        QTest::newRow("overlapping once grown joined")
            << Rects{{100, 100, 5, 5}, {115, 100, 5, 5}} << QSize(10, 10) << area
            << Rects{{91, 91, 38, 23}};
        QTest::newRow("apart once grown kept")
            << Rects{{100, 100, 5, 5}, {200, 100, 5, 5}} << QSize(10, 10) << area
            << Rects{{91, 91, 23, 23}, {191, 91, 23, 23}};
        // The third joins the first two only through their joined bounds.
        QTest::newRow("joined bounds reach a third")
            << Rects{{0, 0, 10, 30}, {20, 20, 10, 10}, {5, 0, 20, 5}} << QSize(1, 1) << area
            << Rects{{0, 0, 30, 30}};
        QTest::newRow("area offset") << Rects{{-50, -50, 10, 10}} << QSize(30, 30)
                                     << Rect{-60, -60, 100, 100} << Rects{{-60, -60, 49, 49}};
        QTest::newRow("empty change ignored")
            << Rects{{100, 100, 0, 5}} << QSize(10, 10) << area << Rects{};
        QTest::newRow("near the end of int")
            << Rects{{2147483600, 0, 40, 5}} << QSize(100, 10) << Rect{2147483000, 0, 640, 100}
            << Rects{{2147483501, 0, 139, 14}};
    }
    void searchAreas() {
        QFETCH(Rects, changed);
        QFETCH(QSize, needle);
        QFETCH(Rect, area);
        QFETCH(Rects, expected);
        QCOMPARE(text(vision::searchAreas(changed, needle.width(), needle.height(), area)),
                 text(expected));
    }

    // Every placement of a 24×16 template that overlaps a changed tile, in
    // a 200×150 area, lies wholly within one area searched again.
    void everyPlacementCovered() {
        QImage before(200, 150, QImage::Format_RGB32);
        before.fill(Qt::white);
        QImage after = before;
        for (const QPoint &p : {QPoint(0, 0), QPoint(120, 70), QPoint(199, 149), QPoint(60, 140)})
            after.setPixelColor(p, Qt::black);
        const Rect area{0, 0, 200, 150};
        const Rects changed = vision::changedTiles(viewOf(before), viewOf(after));
        const Rects areas = vision::searchAreas(changed, 24, 16, area);
        for (int y = 0; y + 16 <= 150; ++y) {
            for (int x = 0; x + 24 <= 200; ++x) {
                const Rect placement{x, y, 24, 16};
                bool overChange = false;
                for (const Rect &c : changed)
                    overChange = overChange || vision::intersected(c, placement).width > 0;
                if (!overChange)
                    continue;
                bool covered = false;
                for (const Rect &a : areas)
                    covered = covered || inside(placement, a);
                if (!covered)
                    QFAIL(qPrintable(
                        QStringLiteral("%1,%2 not searched in %3").arg(x).arg(y).arg(text(areas))));
            }
        }
    }
};

QTEST_APPLESS_MAIN(ScreenChangesTest)
#include "unit_screenchanges.moc"
