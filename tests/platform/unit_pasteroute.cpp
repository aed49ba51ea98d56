// The text routes the GNOME and KDE backends share: which characters are
// pasted and which typed, in order, and which keys paste in which program.

#include "platform/desktop/pasteroute.h"

#include <QtTest>

using namespace platform::desktop;

namespace {

// Runs as "k:abc|p:漢字": k typed, p pasted.
QString describe(const std::vector<TextRun> &runs) {
    QStringList parts;
    for (const auto &run : runs)
        parts << (run.paste ? "p:" : "k:") + QString::fromStdString(utf8FromUtf32(run.text));
    return parts.join('|');
}

} // namespace

class PasteRouteTest : public QObject {
    Q_OBJECT

private slots:
    void splitKeepsOrder_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("runs");
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("ascii") << "abc 1"
                               << "k:abc 1";
        QTest::newRow("kanji") << "漢字"
                               << "p:漢字";
        QTest::newRow("mixed") << "a漢b字c"
                               << "k:a|p:漢|k:b|p:字|k:c";
        QTest::newRow("emoji and accents") << "é😀x"
                                           << "p:é😀|k:x";
        QTest::newRow("line break typed") << "漢\n字"
                                          << "p:漢|k:\n|p:字";
        QTest::newRow("tab typed") << "\t漢"
                                   << "k:\t|p:漢";
    }
    void splitKeepsOrder() {
        QFETCH(QString, text);
        QFETCH(QString, runs);
        // A US layout: printable ASCII only.
        const auto runsOut = splitByLayout(utf32FromUtf8(text.toStdString()),
                                           [](char32_t c) { return c >= 0x20 && c < 0x7f; });
        QCOMPARE(describe(runsOut), runs);
    }

    void utf8RoundTrip_data() {
        QTest::addColumn<QByteArray>("utf8");
        QTest::addColumn<QByteArray>("back");
        QTest::newRow("plain") << QByteArray("Grüße 日本 😀") << QByteArray("Grüße 日本 😀");
        QTest::newRow("cut sequence")
            << QByteArray("a\xe6\x97") << QByteArray("a\xef\xbf\xbd\xef\xbf\xbd");
        QTest::newRow("overlong") << QByteArray("\xc0\xaf")
                                  << QByteArray("\xef\xbf\xbd\xef\xbf\xbd");
        QTest::newRow("surrogate")
            << QByteArray("\xed\xa0\x80") << QByteArray("\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd");
    }
    void utf8RoundTrip() {
        QFETCH(QByteArray, utf8);
        QFETCH(QByteArray, back);
        QCOMPARE(QByteArray::fromStdString(utf8FromUtf32(utf32FromUtf8(utf8.toStdString()))), back);
    }

    void pasteKeys_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("terminal");
        QTest::newRow("gedit") << "org.gnome.gedit" << false;
        QTest::newRow("firefox") << "firefox" << false;
        QTest::newRow("gnome terminal") << "org.gnome.Terminal" << true;
        QTest::newRow("gnome terminal desktop") << "org.gnome.Terminal.desktop" << true;
        QTest::newRow("konsole") << "org.kde.konsole" << true;
        QTest::newRow("foot") << "foot" << true;
        QTest::newRow("upper case") << "XTerm" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("terminal in a word") << "terminalnotes" << false;
    }
    void pasteKeys() {
        QFETCH(QString, program);
        QFETCH(bool, terminal);
        QCOMPARE(isTerminal(program.toStdString()), terminal);
        const auto chord = pasteChordFor(program.toStdString());
        const std::vector<std::uint32_t> expected =
            terminal ? std::vector<std::uint32_t>{0xffe3, 0xffe1, 0x76}
                     : std::vector<std::uint32_t>{0xffe3, 0x76};
        QVERIFY(chord == expected);
    }
};

QTEST_GUILESS_MAIN(PasteRouteTest)
#include "unit_pasteroute.moc"
