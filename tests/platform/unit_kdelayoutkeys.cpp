// Which key of the compositor's layout types a character, with which
// modifiers held: the KDE backend presses keys by code only, so a wrong
// answer types a wrong character. Layouts compiled from xkeyboard-config.

#include "platform/kde/kdelayoutkeys.h"

#include <QtTest>

#include <linux/input-event-codes.h>

using platform::kde::KeyStroke;
using platform::kde::LayoutKeys;

namespace {

// "30" or "16+100" (the key, then the modifiers held), "-" where none.
QString describe(const LayoutKeys &keys, char32_t cp) {
    KeyStroke s;
    if (!keys.strokeFor(cp, s))
        return QStringLiteral("-");
    QString out = QString::number(s.code);
    for (unsigned m : s.modifiers)
        out += QLatin1Char('+') + QString::number(m);
    return out;
}

} // namespace

class KdeLayoutKeysTest : public QObject {
    Q_OBJECT

private slots:
    void strokes_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<uint>("cp");
        QTest::addColumn<QString>("stroke");
        const QString shift = QStringLiteral("+%1").arg(KEY_LEFTSHIFT);
        const QString altGr = QStringLiteral("+%1").arg(KEY_RIGHTALT);
        QTest::newRow("us a") << "us" << uint('a') << QString::number(KEY_A);
        QTest::newRow("us A: Shift") << "us" << uint('A') << QString::number(KEY_A) + shift;
        QTest::newRow("us tilde") << "us" << uint('~') << QString::number(KEY_GRAVE) + shift;
        QTest::newRow("us space") << "us" << uint(' ') << QString::number(KEY_SPACE);
        QTest::newRow("us digit: the main row, not the keypad")
            << "us" << uint('7') << QString::number(KEY_7);
        QTest::newRow("us line feed: Return") << "us" << uint('\n') << QString::number(KEY_ENTER);
        QTest::newRow("us carriage return") << "us" << uint('\r') << QString::number(KEY_ENTER);
        QTest::newRow("us tab") << "us" << uint('\t') << QString::number(KEY_TAB);
        QTest::newRow("us bell: none") << "us" << uint(7) << "-";
        QTest::newRow("us delete: none") << "us" << uint(0x7f) << "-";
        QTest::newRow("us e acute: none") << "us" << uint(0xE9) << "-";
        QTest::newRow("us kanji: none") << "us" << uint(0x65E5) << "-";
        QTest::newRow("de z: QWERTZ") << "de" << uint('z') << QString::number(KEY_Y);
        QTest::newRow("de sharp s") << "de" << uint(0xDF) << QString::number(KEY_MINUS);
        QTest::newRow("de at: AltGr") << "de" << uint('@') << QString::number(KEY_Q) + altGr;
        QTest::newRow("de euro: AltGr") << "de" << uint(0x20AC) << QString::number(KEY_E) + altGr;
        QTest::newRow("de umlaut") << "de" << uint(0xFC) << QString::number(KEY_LEFTBRACE);
        QTest::newRow("fr a: AZERTY") << "fr" << uint('a') << QString::number(KEY_Q);
        QTest::newRow("fr 1: Shift") << "fr" << uint('1') << QString::number(KEY_1) + shift;
        QTest::newRow("jp kanji: none") << "jp" << uint(0x65E5) << "-";
        QTest::newRow("jp at") << "jp" << uint('@') << QString::number(KEY_LEFTBRACE);
        QTest::newRow("jp colon") << "jp" << uint(':') << QString::number(KEY_APOSTROPHE);
    }
    void strokes() {
        QFETCH(QString, layout);
        QFETCH(uint, cp);
        QFETCH(QString, stroke);
        LayoutKeys keys;
        const std::string text = platform::kde::keymapTextForLayout(layout.toStdString());
        QVERIFY(!text.empty());
        QVERIFY(keys.load(text));
        QCOMPARE(describe(keys, char32_t(cp)), stroke);
        QCOMPARE(keys.typable(char32_t(cp)), stroke != QLatin1String("-"));
    }

    void pasteKeys_data() {
        QTest::addColumn<QString>("layout");
        QTest::addColumn<uint>("keysym");
        QTest::addColumn<uint>("code");
        QTest::newRow("us v") << "us" << 0x76u << uint(KEY_V);
        QTest::newRow("us Control_L") << "us" << 0xffe3u << uint(KEY_LEFTCTRL);
        QTest::newRow("us Shift_L") << "us" << 0xffe1u << uint(KEY_LEFTSHIFT);
        QTest::newRow("fr v") << "fr" << 0x76u << uint(KEY_V);
        QTest::newRow("dvorak v") << "us:dvorak" << 0x76u << uint(KEY_DOT);
        QTest::newRow("us V: only with Shift") << "us" << 0x56u << 0u;
    }
    void pasteKeys() {
        QFETCH(QString, layout);
        QFETCH(uint, keysym);
        QFETCH(uint, code);
        const QStringList parts = layout.split(QLatin1Char(':'));
        LayoutKeys keys;
        QVERIFY(keys.load(platform::kde::keymapTextForLayout(
            parts.at(0).toStdString(), parts.size() > 1 ? parts.at(1).toStdString() : "")));
        QCOMPARE(keys.codeForKeysym(keysym), code);
    }

    void unreadableKeymapTypesNothing() {
        LayoutKeys keys;
        QVERIFY(keys.load(platform::kde::keymapTextForLayout("us")));
        QVERIFY(keys.typable(U'a'));
        // A keymap that does not compile leaves none of the last one behind.
        QVERIFY(!keys.load("xkb_keymap { nonsense"));
        QVERIFY(!keys.loaded());
        QVERIFY(!keys.typable(U'a'));
        QVERIFY(!keys.typable(U'\n'));
        QCOMPARE(keys.codeForKeysym(0x76), 0u);
    }
};

QTEST_GUILESS_MAIN(KdeLayoutKeysTest)
#include "unit_kdelayoutkeys.moc"
