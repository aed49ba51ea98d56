// Our own keyboard map changes told from other clients' by their notices:
// a notice taken for ours wrongly would leave a foreign binding unseen (and
// overwritten later), one taken for foreign wrongly makes the layer read
// the whole map again after every binding.

#include "platform/x11/x11xkbmap.h"

#include <QTest>

using namespace platform::x11;

class X11OwnChangesTest : public QObject {
    Q_OBJECT
private slots:
    void notices_data();
    void notices();
};

void X11OwnChangesTest::notices_data() {
    // Steps: "w F C" we wrote C keycodes from F (N times: "w F C N"),
    // "n F C" a notice came, "s" a round trip. `ours`: what each notice was
    // taken for; a notice not ours makes the map read again, and the list
    // is forgotten as the map does it.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QList<bool>>("ours");
    QTest::newRow("a core change, one notice")
        << QStringList{"w 10 1", "n 10 1"} << QList<bool>{true};
    QTest::newRow("an XKB change, two notices")
        << QStringList{"w 10 3", "n 10 3", "n 10 3"} << QList<bool>{true, true};
    QTest::newRow("the same range after a round trip is foreign")
        << QStringList{"w 10 3", "n 10 3", "s", "n 10 3"} << QList<bool>{true, false};
    QTest::newRow("notices in the order of the changes")
        << QStringList{"w 10 1", "w 12 2", "n 10 1", "n 12 2"} << QList<bool>{true, true};
    QTest::newRow("a notice out of order is foreign")
        << QStringList{"w 10 1", "w 12 2", "n 12 2"} << QList<bool>{false};
    QTest::newRow("after a foreign one, nothing is ours")
        << QStringList{"w 10 1", "w 12 2", "n 30 1", "n 10 1", "n 12 2"}
        << QList<bool>{false, false, false};
    QTest::newRow("an unrelated range") << QStringList{"w 10 1", "n 11 1"} << QList<bool>{false};
    QTest::newRow("notices never came for many changes")
        << QStringList{"w 10 1 257", "n 10 1"} << QList<bool>{false};
    QTest::newRow("as many as are remembered")
        << QStringList{"w 10 1 256", "n 10 1"} << QList<bool>{true};
}

void X11OwnChangesTest::notices() {
    QFETCH(QStringList, steps);
    QFETCH(QList<bool>, ours);
    OwnChanges own;
    QList<bool> got;
    for (const QString &step : steps) {
        const QStringList f = step.split(' ');
        if (f[0] == "w") {
            const int times = f.size() > 3 ? f[3].toInt() : 1;
            for (int i = 0; i < times; ++i)
                own.noteWritten(f[1].toInt(), f[2].toInt());
        } else if (f[0] == "n") {
            const bool claimed = own.claim(f[1].toInt(), f[2].toInt());
            if (!claimed)
                own.forget();
            got << claimed;
        } else {
            own.synced();
        }
    }
    QCOMPARE(got, ours);
}

QTEST_GUILESS_MAIN(X11OwnChangesTest)
#include "unit_x11xkbmap.moc"
