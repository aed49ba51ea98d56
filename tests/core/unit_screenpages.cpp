// The screen pages' records: what a page writes reads back the same, what a
// hand-edited file holds is read into range, and colours are strict.

#include "core/pagekinds.h"
#include "core/screenpages.h"

#include <QTest>

using namespace screenpages;

class ScreenPagesTest : public QObject {
    Q_OBJECT

private slots:
    void writtenRecordsReadBack() {
        ColourCondition colour;
        colour.area = Area::Window;
        colour.window = {QStringLiteral("メモ帳"), windowmatch::Mode::Exact,
                         QStringLiteral("gedit")};
        colour.x = -12;
        colour.y = 340;
        colour.colour = {0x12, 0xab, 0xff};
        colour.tolerance = 0;
        colour.becomes = false;
        QStringList record{pagekinds::name::colour()};
        colourToRecord(record, colour);
        QCOMPARE(record.size(), 10);
        QCOMPARE(record.at(7), QStringLiteral("#12ABFF"));
        QCOMPARE(record.at(9), pagekinds::colourLeaves);
        const ColourCondition back = colourFromRecord(record);
        QCOMPARE(back.area, Area::Window);
        QCOMPARE(back.window.title, colour.window.title);
        QCOMPARE(back.x, -12);
        QVERIFY(back.colour == colour.colour);
        QCOMPARE(back.tolerance, 0);
        QVERIFY(!back.becomes);

        ImageJump jump;
        jump.search.area = Area::Rectangle;
        jump.search.x = 10;
        jump.search.y = 20;
        jump.search.width = 300;
        jump.search.height = 200;
        jump.search.thresholdPercent = 87.5;
        jump.search.templateScale = 1.25;
        jump.search.png = QByteArray("\x89PNG\r\n\x1a\n\0\xff", 10);
        jump.offsetX = -4;
        jump.offsetY = 9;
        jump.seconds = 0.5;
        QStringList jumpRecord{pagekinds::name::imageJump()};
        jumpToRecord(jumpRecord, jump);
        QCOMPARE(jumpRecord.size(),
                 pagekinds::find(pagekinds::Side::Command, pagekinds::name::imageJump())->elements);
        QCOMPARE(jumpRecord.at(9), QStringLiteral("87.5"));
        QCOMPARE(jumpRecord.at(14), QStringLiteral("0.5"));
        const ImageJump jumpBack = jumpFromRecord(jumpRecord);
        QCOMPARE(jumpBack.search.area, Area::Rectangle);
        QCOMPARE(jumpBack.search.width, 300);
        QCOMPARE(jumpBack.search.thresholdPercent, 87.5);
        QCOMPARE(jumpBack.search.templateScale, 1.25);
        QCOMPARE(jumpBack.search.png, jump.search.png);
        QCOMPARE(jumpBack.offsetX, -4);
        QCOMPARE(jumpBack.seconds, 0.5);
    }

    // A new page's record reads as the defaults, and writing those back
    // gives the same record: the pane can show a fresh page without
    // changing it.
    void freshRecordsAreStable() {
        const QStringList colour =
            pagekinds::find(pagekinds::Side::Condition, pagekinds::name::colour())->fresh({});
        QStringList colourAgain{colour.first()};
        colourToRecord(colourAgain, colourFromRecord(colour));
        QCOMPARE(colourAgain, colour);
        const QStringList image =
            pagekinds::find(pagekinds::Side::Condition, pagekinds::name::image())->fresh({});
        QStringList imageAgain{image.first()};
        imageToRecord(imageAgain, imageFromRecord(image));
        QCOMPARE(imageAgain, image);
        const QStringList jump =
            pagekinds::find(pagekinds::Side::Command, pagekinds::name::imageJump())->fresh({});
        QStringList jumpAgain{jump.first()};
        jumpToRecord(jumpAgain, jumpFromRecord(jump));
        QCOMPARE(jumpAgain, jump);
    }

    void handEditedValuesAreReadIntoRange_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("threshold");
        QTest::addColumn<double>("scale");
        QTest::addColumn<double>("seconds");
        QTest::addColumn<int>("width");
        QTest::newRow("threshold above 100") << 9 << "250" << 100.0 << 1.0 << 5.0 << 0;
        QTest::newRow("threshold zero") << 9 << "0" << 1.0 << 1.0 << 5.0 << 0;
        QTest::newRow("threshold not a number") << 9 << "nan" << 90.0 << 1.0 << 5.0 << 0;
        QTest::newRow("scale zero") << 10 << "0" << 90.0 << 0.25 << 5.0 << 0;
        QTest::newRow("scale infinite") << 10 << "inf" << 90.0 << 1.0 << 5.0 << 0;
        // The time to look is read as every page reads seconds.
        QTest::newRow("negative time") << 14 << "-3" << 90.0 << 1.0 << 0.0 << 0;
        QTest::newRow("time of years") << 14 << "1e12" << 90.0 << 1.0 << 1e12 << 0;
        QTest::newRow("time infinite") << 14 << "inf" << 90.0 << 1.0 << qInf() << 0;
        QTest::newRow("time huge") << 14 << "1e308" << 90.0 << 1.0 << 1e308 << 0;
        QTest::newRow("time not a number") << 14 << "nan" << 90.0 << 1.0 << 0.0 << 0;
        QTest::newRow("time empty") << 14 << "" << 90.0 << 1.0 << 0.0 << 0;
        QTest::newRow("time hexadecimal") << 14 << "0x10" << 90.0 << 1.0 << 0.0 << 0;
        QTest::newRow("time full-width") << 14 << "１" << 90.0 << 1.0 << 0.0 << 0;
        QTest::newRow("negative width") << 7 << "-50" << 90.0 << 1.0 << 5.0 << 0;
        // Saturated as every coordinate is, then kept in range.
        QTest::newRow("width beyond int") << 7 << "99999999999" << 90.0 << 1.0 << 5.0 << (1 << 20);
        QTest::newRow("width beyond 64 bits")
            << 7 << "99999999999999999999" << 90.0 << 1.0 << 5.0 << (1 << 20);
    }
    void handEditedValuesAreReadIntoRange() {
        QFETCH(int, index);
        QFETCH(QString, text);
        QStringList record =
            pagekinds::find(pagekinds::Side::Command, pagekinds::name::imageJump())->fresh({});
        record[index] = text;
        const ImageJump jump = jumpFromRecord(record);
        QTEST(jump.search.thresholdPercent, "threshold");
        QTEST(jump.search.templateScale, "scale");
        QFETCH(double, seconds);
        if (qIsInf(seconds))
            QVERIFY(qIsInf(jump.seconds));
        else
            QCOMPARE(jump.seconds, seconds);
        QTEST(jump.search.width, "width");
    }

    void coloursAreStrict_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("rgb");
        QTest::newRow("upper") << "#00FF80" << true << 0x00ff80;
        QTest::newRow("lower, spaces") << " #0aff8c " << true << 0x0aff8c;
        // Three digits as CSS reads them: each one twice.
        QTest::newRow("short") << "#0F8" << true << 0x00ff88;
        QTest::newRow("short white") << "#fff" << true << 0xffffff;
        QTest::newRow("no hash") << "00FF80" << false << 0;
        QTest::newRow("name") << "red" << false << 0;
        QTest::newRow("sign") << "#+0FF80" << false << 0;
        QTest::newRow("0x") << "#0x0F80" << false << 0;
        QTest::newRow("not hex") << "#00GG80" << false << 0;
        QTest::newRow("not hex at all") << "#GGGGGG" << false << 0;
        QTest::newRow("short, not hex") << "#FFG" << false << 0;
        QTest::newRow("four digits") << "#FFFF" << false << 0;
        QTest::newRow("full-width digits") << "#０００" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
    }
    void coloursAreStrict() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, rgb);
        Colour colour{1, 2, 3};
        QCOMPARE(parseColour(text, colour), valid);
        if (valid) {
            QCOMPARE(colour.red << 16 | colour.green << 8 | colour.blue, rgb);
            QCOMPARE(colourText(colour).size(), 7);
            QCOMPARE(parseColour(colourText(colour), colour), true);
            QCOMPARE(colour.red << 16 | colour.green << 8 | colour.blue, rgb);
        }
        // An unreadable colour in a record reads as black, and the area of a
        // Colour condition is never a rectangle.
        const QStringList record{
            pagekinds::name::colour(), {},  {}, {}, pagekinds::areaRectangle, QStringLiteral("1"),
            QStringLiteral("2"),       text};
        const ColourCondition c = colourFromRecord(record);
        QCOMPARE(c.area, Area::Screen);
        QCOMPARE(c.colour.red << 16 | c.colour.green << 8 | c.colour.blue, valid ? rgb : 0);
    }
};

QTEST_GUILESS_MAIN(ScreenPagesTest)
#include "unit_screenpages.moc"
