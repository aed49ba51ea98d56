// How the run reads key texts, formats the Key action's hold time, decides
// the wanted modifiers and places the pointer along a smooth move.

#include "core/runkeys.h"

#include <QtTest>

class RunKeysTest : public QObject {
    Q_OBJECT

private slots:
    void parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("vk");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("holdMs");
        QTest::newRow("stop command") << "83,3" << 83 << 3 << 0;
        QTest::newRow("key action spec") << "83,3,0.01" << 83 << 3 << 10;
        QTest::newRow("hold truncated") << "65,0,1.2345" << 65 << 0 << 1234;
        QTest::newRow("no mask") << "13" << 13 << 0 << 0;
        QTest::newRow("empty parts dropped") << ",65,,2," << 65 << 2 << 0;
        QTest::newRow("unreadable mask") << "65,x" << 65 << 0 << 0;
        QTest::newRow("unreadable hold") << "65,1,y" << 65 << 1 << 0;
        QTest::newRow("negative hold") << "65,1,-3" << 65 << 1 << 0;
        QTest::newRow("nan hold") << "65,1,nan" << 65 << 1 << 0;
        QTest::newRow("huge hold saturates") << "65,1,1e30" << 65 << 1 << INT_MAX;
        QTest::newRow("none") << "なし" << 0 << 0 << 0;
        QTest::newRow("empty") << "" << 0 << 0 << 0;
        QTest::newRow("only commas") << ",," << 0 << 0 << 0;
        QTest::newRow("key not a number") << "abc,2,1" << 0 << 0 << 0;
        QTest::newRow("key zero") << "0,2,1" << 0 << 0 << 0;
        QTest::newRow("missing key, hold first") << "なし,0.01" << 0 << 0 << 0;
        QTest::newRow("lone modifier") << "162,0" << 162 << 0 << 0;
    }
    void parse() {
        QFETCH(QString, text);
        QFETCH(int, vk);
        QFETCH(int, mask);
        QFETCH(int, holdMs);
        const RunKeys keys = parseRunKeys(text);
        QCOMPARE(keys.vk, vk);
        QCOMPARE(keys.mask, mask);
        QCOMPARE(keys.holdMs, holdMs);
    }

    // The key action's text ("vk,mask,seconds"), and the hold the worker reads back from it.
    void actionSpec_data() {
        QTest::addColumn<QString>("combination");
        QTest::addColumn<QString>("hold");
        QTest::addColumn<QString>("spec");
        QTest::addColumn<int>("holdMs");
        QTest::newRow("default") << "83,3"
                                 << "0.01"
                                 << "83,3,0.01" << 10;
        QTest::newRow("six significant digits") << "65,0"
                                                << "12345.67"
                                                << "65,0,12345.7" << 12345700;
        QTest::newRow("whole seconds") << "65,0"
                                       << "2"
                                       << "65,0,2" << 2000;
        QTest::newRow("unreadable hold") << "65,0"
                                         << "x"
                                         << "65,0,0" << 0;
        QTest::newRow("empty combination") << ""
                                           << "1"
                                           << ",1" << 0;
        QTest::newRow("percent kept") << "%1,%2"
                                      << "1"
                                      << "%1,%2,1" << 0;
        // A combination has two numbers: a third never becomes the hold.
        QTest::newRow("extra number") << "65,0,9999"
                                      << "0.05"
                                      << "65,0,0.05" << 50;
        QTest::newRow("extra numbers, empty parts") << "65,,2,9999,1"
                                                    << "0.05"
                                                    << "65,2,0.05" << 50;
        // Seconds are read as every page reads them.
        QTest::newRow("infinite hold") << "65,0"
                                       << "inf"
                                       << "65,0,inf" << INT_MAX;
        QTest::newRow("negative hold") << "65,0"
                                       << "-3"
                                       << "65,0,0" << 0;
    }
    void actionSpec() {
        QFETCH(QString, combination);
        QFETCH(QString, hold);
        QFETCH(QString, spec);
        QCOMPARE(keyActionSpec(combination, hold), spec);
        QTEST(parseRunKeys(spec).holdMs, "holdMs");
    }

    void wanted_data() {
        QTest::addColumn<int>("vk");
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("wanted");
        QTest::newRow("ctrl+alt+s") << 83 << 3 << 3;
        QTest::newRow("bits above win ignored") << 65 << (16 | 4) << 4;
        QTest::newRow("left ctrl alone") << 162 << 0 << 2;
        QTest::newRow("right alt alone") << 165 << 0 << 1;
        QTest::newRow("generic shift") << 16 << 0 << 4;
        QTest::newRow("right win") << 92 << 0 << 8;
        QTest::newRow("ctrl key with ctrl mask") << 17 << 2 << 2;
        QTest::newRow("shift key with ctrl mask") << 160 << 2 << 6;
    }
    void wanted() {
        QFETCH(int, vk);
        QFETCH(int, mask);
        QFETCH(int, wanted);
        QCOMPARE(wantedModifiers(vk, mask), wanted);
    }

    void interpolate_data() {
        QTest::addColumn<int>("x0");
        QTest::addColumn<int>("x1");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<int>("x");
        QTest::newRow("start") << 10 << 110 << 0.0 << 10;
        QTest::newRow("middle") << 10 << 110 << 0.5 << 60;
        QTest::newRow("half rounds up") << 0 << 1 << 0.5 << 1;
        QTest::newRow("negative half rounds away from zero") << 0 << -1 << 0.5 << -1;
        QTest::newRow("backwards") << 100 << 0 << 0.25 << 75;
        QTest::newRow("same point") << 5 << 5 << 0.7 << 5;
        QTest::newRow("far apart, no overflow") << INT_MIN << INT_MAX << 0.5 << -1; // -0.5
    }
    void interpolate() {
        QFETCH(int, x0);
        QFETCH(int, x1);
        QFETCH(double, fraction);
        QFETCH(int, x);
        // The same values on the other axis, so both coordinates are checked.
        const MovePoint p = interpolateMove(x0, x0, x1, x1, fraction);
        QCOMPARE(p.x, x);
        QCOMPARE(p.y, x);
    }
};

QTEST_GUILESS_MAIN(RunKeysTest)
#include "unit_runkeys.moc"
