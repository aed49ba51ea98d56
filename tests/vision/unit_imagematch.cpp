// Finding a template in synthetic screens: exact, moved, noisy, single
// colour, among near-duplicates, on displays of another scale, thresholds at
// their edges, and the colour check. Scenes are drawn with QPainter, so the
// pictures do not come from the code under test.

#include "vision/imagematch.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

// Shapes of many colours and sizes on a gradient: texture at every scale.
QImage scene(int width, int height, unsigned seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, QColor(40, 60, 90));
    gradient.setColorAt(1, QColor(200, 180, 120));
    p.fillRect(image.rect(), gradient);
    p.setRenderHint(QPainter::Antialiasing);
    std::mt19937 random(seed);
    auto upTo = [&random](int n) { return int(random() % unsigned(n)); };
    for (int i = 0; i < width * height / 500; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(upTo(256), upTo(256), upTo(256)));
        const QRect r(upTo(width) - 10, upTo(height) - 10, 6 + upTo(40), 6 + upTo(40));
        if (i % 2)
            p.drawEllipse(r);
        else
            p.drawRect(r);
    }
    return image;
}

void paste(QImage &into, const QImage &part, QPoint at) {
    QPainter p(&into);
    p.drawImage(at, part);
}

void addNoise(QImage &image, double sigma, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, sigma);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            auto channel = [&](int v) { return std::clamp(int(v + noise(random)), 0, 255); };
            const QRgb c = line[x];
            line[x] = qRgb(channel(qRed(c)), channel(qGreen(c)), channel(qBlue(c)));
        }
    }
}

vision::ImageView view(const QImage &image) {
    return {image.constBits(), image.width(), image.height(), int(image.bytesPerLine())};
}

vision::Match find(const QImage &haystack, const QImage &needle, double threshold = 90.0,
                   double templateScale = 1.0, double screenScale = 1.0) {
    vision::MatchOptions options;
    options.thresholdPercent = threshold;
    options.templateScale = templateScale;
    options.screenScale = screenScale;
    return vision::findTemplate(view(haystack), view(needle), options);
}

QString placeText(const vision::Match &m) {
    return QStringLiteral("%1,%2 %3x%4 %5%")
        .arg(m.x)
        .arg(m.y)
        .arg(m.width)
        .arg(m.height)
        .arg(m.similarityPercent);
}

} // namespace

class ImageMatchTest : public QObject {
    Q_OBJECT
private slots:
    void findsTheTemplate_data();
    void findsTheTemplate();
    void findsSingleColours_data();
    void findsSingleColours();
    void bestOfNearDuplicatesWins_data();
    void bestOfNearDuplicatesWins();
    void searchesAtTheScaleRatio_data();
    void searchesAtTheScaleRatio();
    void thresholdsAtTheirEdges();
    void searchesAViewWithItsStride();
    void refusesWhatCannotBeSearched_data();
    void refusesWhatCannotBeSearched();
    void colourWithinTolerance_data();
    void colourWithinTolerance();
};

void ImageMatchTest::findsTheTemplate_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QRect>("cut");     // where the template is cut from the first scene
    QTest::addColumn<QPoint>("placed"); // where it is on the searched one; (-1,-1): same scene
    QTest::addColumn<double>("noise");
    QTest::addColumn<double>("atLeast"); // similarity
    // Small screens are searched whole, large ones reduced first.
    QTest::newRow("exact, small screen")
        << QSize(200, 150) << QRect(70, 40, 20, 20) << QPoint(-1, -1) << 0.0 << 100.0;
    QTest::newRow("exact, reduced first")
        << QSize(640, 400) << QRect(301, 157, 48, 48) << QPoint(-1, -1) << 0.0 << 100.0;
    QTest::newRow("exact, full HD")
        << QSize(1920, 1080) << QRect(1401, 803, 64, 64) << QPoint(-1, -1) << 0.0 << 100.0;
    QTest::newRow("top left corner")
        << QSize(640, 400) << QRect(0, 0, 48, 40) << QPoint(-1, -1) << 0.0 << 100.0;
    QTest::newRow("bottom right corner")
        << QSize(640, 400) << QRect(592, 360, 48, 40) << QPoint(-1, -1) << 0.0 << 100.0;
    QTest::newRow("moved to another screen")
        << QSize(640, 400) << QRect(100, 100, 50, 30) << QPoint(433, 271) << 0.0 << 100.0;
    QTest::newRow("moved by one pixel")
        << QSize(640, 400) << QRect(100, 100, 64, 64) << QPoint(101, 99) << 0.0 << 100.0;
    QTest::newRow("noisy, small") << QSize(200, 150) << QRect(70, 40, 24, 24) << QPoint(-1, -1)
                                  << 10.0 << 80.0;
    QTest::newRow("noisy, reduced first")
        << QSize(800, 600) << QRect(517, 333, 64, 48) << QPoint(-1, -1) << 10.0 << 80.0;
}

void ImageMatchTest::findsTheTemplate() {
    QFETCH(QSize, screen);
    QFETCH(QRect, cut);
    QFETCH(QPoint, placed);
    QFETCH(double, noise);
    QFETCH(double, atLeast);
    const QImage first = scene(screen.width(), screen.height(), 7);
    const QImage templ = first.copy(cut);
    QImage searched = first;
    QPoint expected = cut.topLeft();
    if (placed != QPoint(-1, -1)) {
        searched = scene(screen.width(), screen.height(), 8);
        paste(searched, templ, placed);
        expected = placed;
    }
    if (noise > 0)
        addNoise(searched, noise, 9);
    const vision::Match m = find(searched, templ, atLeast);
    QVERIFY2(m.found, qPrintable(placeText(m)));
    QCOMPARE(QPoint(m.x, m.y), expected);
    QCOMPARE(QSize(m.width, m.height), cut.size());
    QVERIFY2(m.similarityPercent >= atLeast && m.similarityPercent <= 100.0,
             qPrintable(placeText(m)));
    if (noise > 0)
        QVERIFY2(m.similarityPercent < 100.0, qPrintable(placeText(m)));
}

void ImageMatchTest::findsSingleColours_data() {
    QTest::addColumn<QColor>("colour");
    QTest::addColumn<QColor>("near"); // a similar colour elsewhere on the screen
    QTest::addColumn<bool>("noisy");  // the template carries a capture's noise
    QTest::newRow("black beside dark grey") << QColor(0, 0, 0) << QColor(40, 40, 40) << false;
    QTest::newRow("white beside light grey")
        << QColor(255, 255, 255) << QColor(225, 225, 225) << false;
    QTest::newRow("red beside darker red") << QColor(255, 0, 0) << QColor(200, 0, 0) << false;
    QTest::newRow("mid grey beside grey")
        << QColor(128, 128, 128) << QColor(150, 150, 150) << false;
    QTest::newRow("dark blue, noisy") << QColor(10, 20, 90) << QColor(10, 20, 130) << true;
}

void ImageMatchTest::findsSingleColours() {
    QFETCH(QColor, colour);
    QFETCH(QColor, near);
    QFETCH(bool, noisy);
    QImage screen = scene(640, 400, 11);
    const QRect area(380, 250, 60, 40);
    {
        QPainter p(&screen);
        p.fillRect(QRect(100, 80, 80, 60), near);
        p.fillRect(area, colour);
    }
    QImage templ(30, 20, QImage::Format_RGB32);
    templ.fill(colour);
    if (noisy)
        addNoise(templ, 0.7, 12);
    const vision::Match m = find(screen, templ, 98.0);
    QVERIFY2(m.found, qPrintable(placeText(m)));
    QVERIFY2(area.contains(QRect(m.x, m.y, m.width, m.height)), qPrintable(placeText(m)));
    QVERIFY2(m.similarityPercent >= 99.0, qPrintable(placeText(m)));
    // The similar colour alone is not the colour.
    {
        QPainter p(&screen);
        p.fillRect(area, QColor(0, 160, 255));
    }
    const vision::Match without = find(screen, templ, 98.0);
    QVERIFY2(!without.found, qPrintable(placeText(without)));
}

void ImageMatchTest::bestOfNearDuplicatesWins_data() {
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<int>("exactIndex"); // which of the four places holds the exact copy
    QTest::newRow("small screen, exact last") << QSize(300, 200) << 3;
    QTest::newRow("reduced first, exact first") << QSize(900, 600) << 0;
    QTest::newRow("reduced first, exact third") << QSize(900, 600) << 2;
}

void ImageMatchTest::bestOfNearDuplicatesWins() {
    QFETCH(QSize, screen);
    QFETCH(int, exactIndex);
    const QImage templ = scene(48, 48, 21);
    QImage searched = scene(screen.width(), screen.height(), 22);
    const QPoint places[4] = {QPoint(10, 10), QPoint(screen.width() - 60, 20),
                              QPoint(30, screen.height() - 55),
                              QPoint(screen.width() / 2, screen.height() / 2)};
    for (int i = 0; i < 4; ++i) {
        QImage copy = templ;
        if (i != exactIndex) {
            // A small mark, at a different corner each time: a button's
            // other state, an icon with a badge.
            QPainter p(&copy);
            p.fillRect(QRect(i % 2 ? 36 : 4, i / 2 ? 36 : 4, 8, 8), QColor(255, 255, 0));
        }
        paste(searched, copy, places[i]);
    }
    const vision::Match m = find(searched, templ, 99.0);
    QVERIFY2(m.found, qPrintable(placeText(m)));
    QCOMPARE(QPoint(m.x, m.y), places[exactIndex]);
    QCOMPARE(m.similarityPercent, 100.0);
}

void ImageMatchTest::searchesAtTheScaleRatio_data() {
    QTest::addColumn<double>("templateScale");
    QTest::addColumn<double>("screenScale");
    QTest::newRow("made at 100 %, searched at 125 %") << 1.0 << 1.25;
    QTest::newRow("made at 100 %, searched at 150 %") << 1.0 << 1.5;
    QTest::newRow("made at 150 %, searched at 100 %") << 1.5 << 1.0;
    QTest::newRow("made at 125 %, searched at 150 %") << 1.25 << 1.5;
}

void ImageMatchTest::searchesAtTheScaleRatio() {
    QFETCH(double, templateScale);
    QFETCH(double, screenScale);
    // The same desktop drawn at two scales: the picture at 100 % scaled up
    // smoothly, as a display at that scale would draw it larger.
    const QImage desktop = scene(600, 400, 31);
    auto at = [&desktop](double scale) {
        return scale == 1.0 ? desktop
                            : desktop.scaled(desktop.size() * scale, Qt::IgnoreAspectRatio,
                                             Qt::SmoothTransformation);
    };
    const QImage made = at(templateScale);
    const QImage searched = at(screenScale);
    const QRect cut(QPointF(371 * templateScale, 203 * templateScale).toPoint(),
                    QSize(64, 64) * templateScale);
    const QImage templ = made.copy(cut);
    const double ratio = screenScale / templateScale;
    const vision::Match m = find(searched, templ, 80.0, templateScale, screenScale);
    QVERIFY2(m.found, qPrintable(placeText(m)));
    const QPointF expected = QPointF(cut.topLeft()) * ratio;
    QVERIFY2(std::abs(m.x - expected.x()) <= 2 && std::abs(m.y - expected.y()) <= 2,
             qPrintable(placeText(m)));
    QVERIFY2(std::abs(m.width - templ.width() * ratio) <= 1 &&
                 std::abs(m.height - templ.height() * ratio) <= 1,
             qPrintable(placeText(m)));
    // Without the ratio the template fits worse.
    const vision::Match unscaled = find(searched, templ, 80.0);
    QVERIFY2(unscaled.similarityPercent < m.similarityPercent,
             qPrintable(placeText(unscaled) + QStringLiteral(" vs ") + placeText(m)));
}

void ImageMatchTest::thresholdsAtTheirEdges() {
    QImage screen = scene(640, 400, 41);
    const QImage templ = screen.copy(200, 120, 48, 48);
    const vision::Match exact = find(screen, templ, 100.0);
    QVERIFY(exact.found);
    QCOMPARE(exact.similarityPercent, 100.0);
    QVERIFY(!find(screen, templ, 100.01).found);

    addNoise(screen, 12, 42);
    const vision::Match best = find(screen, templ, 0.0);
    QVERIFY(best.found);
    QVERIFY2(best.similarityPercent > 50 && best.similarityPercent < 100,
             qPrintable(placeText(best)));
    const vision::Match at = find(screen, templ, best.similarityPercent);
    QVERIFY(at.found);
    const vision::Match above = find(screen, templ, best.similarityPercent + 0.01);
    QVERIFY(!above.found);
    // Not found still says where the best place was and how close it came.
    QCOMPARE(QPoint(above.x, above.y), QPoint(200, 120));
    QCOMPARE(above.similarityPercent, best.similarityPercent);
}

void ImageMatchTest::searchesAViewWithItsStride() {
    // A region of a larger picture, given as a view into its rows.
    const QImage screen = scene(640, 400, 51);
    const QImage templ = screen.copy(300, 200, 32, 32);
    const QRect region(250, 150, 200, 150);
    vision::ImageView part = view(screen);
    part.bytes += region.y() * part.stride + region.x() * 4;
    part.width = region.width();
    part.height = region.height();
    const vision::Match m = vision::findTemplate(part, view(templ), {});
    QVERIFY(m.found);
    QCOMPARE(QPoint(m.x, m.y), QPoint(50, 50));
}

void ImageMatchTest::refusesWhatCannotBeSearched_data() {
    QTest::addColumn<QSize>("templ");
    QTest::addColumn<double>("templateScale");
    QTest::addColumn<double>("screenScale");
    QTest::newRow("template larger than the screen") << QSize(210, 20) << 1.0 << 1.0;
    QTest::newRow("larger once scaled") << QSize(150, 20) << 1.0 << 1.5;
    QTest::newRow("empty template") << QSize(0, 0) << 1.0 << 1.0;
    QTest::newRow("no scale") << QSize(20, 20) << 0.0 << 1.0;
    QTest::newRow("scaled to nothing") << QSize(1, 1) << 3.0 << 1.0;
}

void ImageMatchTest::refusesWhatCannotBeSearched() {
    QFETCH(QSize, templ);
    QFETCH(double, templateScale);
    QFETCH(double, screenScale);
    const QImage screen = scene(200, 150, 61);
    QImage needle(templ, QImage::Format_RGB32);
    needle.fill(Qt::gray);
    const vision::Match m = find(screen, needle, 0.0, templateScale, screenScale);
    QVERIFY(!m.found);
    QCOMPARE(m.width, 0);
}

void ImageMatchTest::colourWithinTolerance_data() {
    QTest::addColumn<int>("r");
    QTest::addColumn<int>("g");
    QTest::addColumn<int>("b");
    QTest::addColumn<int>("tolerance");
    QTest::addColumn<bool>("within");
    // Wanted: 100, 150, 200.
    QTest::newRow("same, no tolerance") << 100 << 150 << 200 << 0 << true;
    QTest::newRow("one off, no tolerance") << 101 << 150 << 200 << 0 << false;
    QTest::newRow("red at the edge") << 110 << 150 << 200 << 10 << true;
    QTest::newRow("red past the edge") << 111 << 150 << 200 << 10 << false;
    QTest::newRow("green below at the edge") << 100 << 140 << 200 << 10 << true;
    QTest::newRow("green below past the edge") << 100 << 139 << 200 << 10 << false;
    QTest::newRow("blue past the edge, others exact") << 100 << 150 << 211 << 10 << false;
    QTest::newRow("all at the edge") << 90 << 160 << 190 << 10 << true;
    QTest::newRow("any colour at 255") << 0 << 255 << 0 << 255 << true;
    QTest::newRow("above 255 counts as 255") << 255 << 0 << 255 << 1000 << true;
    QTest::newRow("negative counts as 0") << 101 << 150 << 200 << -5 << false;
}

void ImageMatchTest::colourWithinTolerance() {
    QFETCH(int, r);
    QFETCH(int, g);
    QFETCH(int, b);
    QFETCH(int, tolerance);
    QFETCH(bool, within);
    const platform::Rgb colour{std::uint8_t(r), std::uint8_t(g), std::uint8_t(b)};
    QCOMPARE(vision::colourWithin(colour, {100, 150, 200}, tolerance), within);
}

QTEST_APPLESS_MAIN(ImageMatchTest)
#include "unit_imagematch.moc"
