// How every page reads its seconds and coordinates from a hand-edited file:
// one rule for each, whatever the kind.

#include "core/recordvalues.h"

#include <QtTest>

#include <climits>
#include <cmath>

class RecordValuesTest : public QObject {
    Q_OBJECT

private slots:
    void seconds_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("seconds");
        const double endless = std::numeric_limits<double>::infinity();
        QTest::newRow("decimal") << "0.05" << 0.05;
        QTest::newRow("whole") << "5" << 5.0;
        QTest::newRow("spaces around") << " 2.5 " << 2.5;
        QTest::newRow("exponent") << "1e3" << 1000.0;
        QTest::newRow("a day and more") << "1e308" << 1e308;
        QTest::newRow("infinity") << "inf" << endless;
        QTest::newRow("beyond a double") << "1e999" << endless;
        QTest::newRow("zero") << "0" << 0.0;
        QTest::newRow("negative") << "-3" << 0.0;
        QTest::newRow("negative infinity") << "-inf" << 0.0;
        QTest::newRow("not a number") << "nan" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("hexadecimal") << "0x10" << 0.0;
        QTest::newRow("full-width digit") << "１" << 0.0;
        QTest::newRow("comma as decimal point") << "0,5" << 0.0;
        QTest::newRow("words") << "five" << 0.0;
    }
    void seconds() {
        QFETCH(QString, text);
        QFETCH(double, seconds);
        const double read = recordvalues::secondsOf(text);
        if (std::isinf(seconds))
            QVERIFY2(std::isinf(read) && read > 0, qPrintable(QString::number(read)));
        else
            QCOMPARE(read, seconds);
    }

    // Beyond an int, a coordinate goes as far as it can, as "2000000"
    // does (the backend then puts it on the screen's edge).
    void coordinates_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "640" << 640;
        QTest::newRow("negative") << "-1920" << -1920;
        QTest::newRow("plus sign") << "+5" << 5;
        QTest::newRow("spaces around") << " 7 " << 7;
        QTest::newRow("far, within int") << "2000000" << 2000000;
        QTest::newRow("largest int") << "2147483647" << INT_MAX;
        QTest::newRow("just beyond int") << "2147483648" << INT_MAX;
        QTest::newRow("just below int") << "-2147483649" << INT_MIN;
        QTest::newRow("beyond 64 bits") << "99999999999999999999" << INT_MAX;
        QTest::newRow("far below 64 bits") << "-99999999999999999999" << INT_MIN;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("decimal") << "1.5" << 0;
        QTest::newRow("sign alone") << "-" << 0;
        QTest::newRow("long, with a letter") << "99999999999999999999x" << 0;
        QTest::newRow("full-width digits") << "１２" << 0;
    }
    void coordinates() {
        QFETCH(QString, text);
        QTEST(recordvalues::coordinateOf(text), "value");
    }

    void offsets_data() {
        QTest::addColumn<int>("base");
        QTest::addColumn<qlonglong>("offset");
        QTest::addColumn<int>("sum");
        QTest::newRow("inside") << 100 << 20LL << 120;
        QTest::newRow("negative window") << -1920 << 50LL << -1870;
        QTest::newRow("past the top") << 100 << qlonglong(INT_MAX) << INT_MAX;
        QTest::newRow("past the bottom") << -100 << qlonglong(INT_MIN) << INT_MIN;
        QTest::newRow("huge offset") << INT_MIN << LLONG_MAX << INT_MAX;
        QTest::newRow("huge negative offset") << INT_MAX << LLONG_MIN << INT_MIN;
        QTest::newRow("back into range") << INT_MAX << qlonglong(INT_MIN) << -1;
    }
    void offsets() {
        QFETCH(int, base);
        QFETCH(qlonglong, offset);
        QTEST(recordvalues::offsetBy(base, offset), "sum");
    }
};

QTEST_GUILESS_MAIN(RecordValuesTest)
#include "unit_recordvalues.moc"
