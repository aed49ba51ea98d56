// File names keep their bytes through the program: whatever is not UTF-8
// comes back byte for byte, and what is UTF-8 reads as Qt reads it.

#include "core/localfilename.h"

#include <QDir>
#include <QTest>

class LocalFileNameTest : public QObject {
    Q_OBJECT

private slots:
    void bytesComeBackUnchanged_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("text"); // valid UTF-8
        QTest::newRow("ascii") << QByteArray("/home/a/report.cmdat") << true;
        QTest::newRow("japanese") << QByteArray("/tmp/\xe6\x8c\xa8\xe6\x8b\xb6.cmdat") << true;
        QTest::newRow("four bytes") << QByteArray("\xf0\x9f\x98\x80.cmdat") << true;
#if defined(Q_OS_UNIX) // Windows names are UTF-16: Qt's own functions, no bytes to keep
        QTest::newRow("latin-1") << QByteArray("caf\xe9.cmdat") << false;
        QTest::newRow("latin-1 at the end") << QByteArray("/tmp/caf\xe9") << false;
        QTest::newRow("lone continuation") << QByteArray("a\x80z") << false;
        QTest::newRow("cut sequence") << QByteArray("a\xe6\x8c") << false;
        QTest::newRow("overlong slash") << QByteArray("a\xc0\xaf") << false;
        QTest::newRow("encoded surrogate") << QByteArray("a\xed\xb2\x80z") << false;
        QTest::newRow("beyond U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
        QTest::newRow("0xff") << QByteArray("\xff\xfe") << false;
        QTest::newRow("latin-1 folder")
            << QByteArray("/tmp/d\xe9j\xe0/\xe6\x8c\xa8.cmdat") << false;
#endif
    }
    void bytesComeBackUnchanged() {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, text);
        const QString name = localfilename::decode(bytes);
        QCOMPARE(localfilename::encode(name), bytes);
        QCOMPARE(localfilename::hasRawBytes(name), !text);
        if (text) {
            QCOMPARE(name, QFile::decodeName(bytes));
            QCOMPARE(localfilename::forDisplay(name), name);
        } else {
            QVERIFY(localfilename::forDisplay(name).contains(QChar::ReplacementCharacter));
        }
    }

    // A surrogate pair whose low half would read as an escaped byte stays a
    // character.
    void pairsAreNotBytes() {
        const QString name = QString::fromUtf8("\xf0\x9f\x98\x80"); // U+1F600: D83D DE00
        QVERIFY(!localfilename::hasRawBytes(name));
        const QString escapeAfterHigh = QString(QChar(0xD83D)) + QChar(0xDCE9);
        QVERIFY(!localfilename::hasRawBytes(escapeAfterHigh));
    }

#if defined(Q_OS_UNIX)
    void argumentsKeepBytes() {
        const char *argv[] = {"tarnwick", "--run", "caf\xe9.cmdat"};
        const QStringList arguments = localfilename::arguments(3, argv);
        QCOMPARE(arguments.size(), 3);
        QCOMPARE(arguments.at(1), QStringLiteral("--run"));
        QCOMPARE(localfilename::encode(arguments.at(2)), QByteArray("caf\xe9.cmdat"));
    }

    void relativeNamesBecomeAbsolute() {
        const QString name = localfilename::decode("sub/../caf\xe9.cmdat");
        const QString absolute = localfilename::absolute(name);
        QCOMPARE(localfilename::encode(absolute),
                 QFile::encodeName(QDir::currentPath()) + "/caf\xe9.cmdat");
        const QString rooted = localfilename::decode("/tmp/./caf\xe9.cmdat");
        QCOMPARE(localfilename::encode(localfilename::absolute(rooted)),
                 QByteArray("/tmp/caf\xe9.cmdat"));
    }
#endif
};

QTEST_GUILESS_MAIN(LocalFileNameTest)
#include "unit_localfilename.moc"
