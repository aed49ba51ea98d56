// The Windows virtual-key <-> X keysym table: every key a project may store
// must go out as the right X key and come back as the same Windows code.

#include "platform/x11/x11keytable.h"

#include <QTest>

using namespace platform::x11;

class X11KeyTableTest : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void everyRequiredKeyIsKnown();
    void unknownCodes();
    void readsBack_data();
    void readsBack();
    void isDownKeysyms();
};

void X11KeyTableTest::roundTrip_data() {
    QTest::addColumn<int>("vk");
    QTest::addColumn<qulonglong>("keysym");
    QTest::addColumn<int>("back");
    // Standard keysym values (keysymdef.h), written out so that a wrong row
    // in the table cannot agree with itself.
    QTest::newRow("A") << 0x41 << 0x61ull << 0x41;
    QTest::newRow("Z") << 0x5A << 0x7Aull << 0x5A;
    QTest::newRow("0") << 0x30 << 0x30ull << 0x30;
    QTest::newRow("9") << 0x39 << 0x39ull << 0x39;
    QTest::newRow("F1") << 0x70 << 0xFFBEull << 0x70;
    QTest::newRow("F12") << 0x7B << 0xFFC9ull << 0x7B;
    QTest::newRow("F24") << 0x87 << 0xFFD5ull << 0x87;
    QTest::newRow("Backspace") << 0x08 << 0xFF08ull << 0x08;
    QTest::newRow("Tab") << 0x09 << 0xFF09ull << 0x09;
    QTest::newRow("Enter") << 0x0D << 0xFF0Dull << 0x0D;
    QTest::newRow("Pause") << 0x13 << 0xFF13ull << 0x13;
    QTest::newRow("Caps Lock") << 0x14 << 0xFFE5ull << 0x14;
    QTest::newRow("Esc") << 0x1B << 0xFF1Bull << 0x1B;
    QTest::newRow("Space") << 0x20 << 0x20ull << 0x20;
    QTest::newRow("Page Up") << 0x21 << 0xFF55ull << 0x21;
    QTest::newRow("Page Down") << 0x22 << 0xFF56ull << 0x22;
    QTest::newRow("End") << 0x23 << 0xFF57ull << 0x23;
    QTest::newRow("Home") << 0x24 << 0xFF50ull << 0x24;
    QTest::newRow("Left") << 0x25 << 0xFF51ull << 0x25;
    QTest::newRow("Up") << 0x26 << 0xFF52ull << 0x26;
    QTest::newRow("Right") << 0x27 << 0xFF53ull << 0x27;
    QTest::newRow("Down") << 0x28 << 0xFF54ull << 0x28;
    QTest::newRow("Print Screen") << 0x2C << 0xFF61ull << 0x2C;
    QTest::newRow("Insert") << 0x2D << 0xFF63ull << 0x2D;
    QTest::newRow("Delete") << 0x2E << 0xFFFFull << 0x2E;
    QTest::newRow("Left Win") << 0x5B << 0xFFEBull << 0x5B;
    QTest::newRow("Right Win") << 0x5C << 0xFFECull << 0x5C;
    QTest::newRow("Menu") << 0x5D << 0xFF67ull << 0x5D;
    QTest::newRow("Numpad 0") << 0x60 << 0xFFB0ull << 0x60;
    QTest::newRow("Numpad 9") << 0x69 << 0xFFB9ull << 0x69;
    QTest::newRow("Numpad *") << 0x6A << 0xFFAAull << 0x6A;
    QTest::newRow("Numpad +") << 0x6B << 0xFFABull << 0x6B;
    QTest::newRow("Numpad separator") << 0x6C << 0xFFACull << 0x6C;
    QTest::newRow("Numpad -") << 0x6D << 0xFFADull << 0x6D;
    QTest::newRow("Numpad .") << 0x6E << 0xFFAEull << 0x6E;
    QTest::newRow("Numpad /") << 0x6F << 0xFFAFull << 0x6F;
    QTest::newRow("Num Lock") << 0x90 << 0xFF7Full << 0x90;
    QTest::newRow("Scroll Lock") << 0x91 << 0xFF14ull << 0x91;
    QTest::newRow("Left Shift") << 0xA0 << 0xFFE1ull << 0xA0;
    QTest::newRow("Right Shift") << 0xA1 << 0xFFE2ull << 0xA1;
    QTest::newRow("Left Ctrl") << 0xA2 << 0xFFE3ull << 0xA2;
    QTest::newRow("Right Ctrl") << 0xA3 << 0xFFE4ull << 0xA3;
    QTest::newRow("Left Alt") << 0xA4 << 0xFFE9ull << 0xA4;
    QTest::newRow("Right Alt") << 0xA5 << 0xFFEAull << 0xA5;
    // Generic modifiers go out as the left keys and read back as them.
    QTest::newRow("Shift") << 0x10 << 0xFFE1ull << 0xA0;
    QTest::newRow("Ctrl") << 0x11 << 0xFFE3ull << 0xA2;
    QTest::newRow("Alt") << 0x12 << 0xFFE9ull << 0xA4;
    QTest::newRow("OEM ;") << 0xBA << 0x3Bull << 0xBA;
    QTest::newRow("OEM =") << 0xBB << 0x3Dull << 0xBB;
    QTest::newRow("OEM ,") << 0xBC << 0x2Cull << 0xBC;
    QTest::newRow("OEM -") << 0xBD << 0x2Dull << 0xBD;
    QTest::newRow("OEM .") << 0xBE << 0x2Eull << 0xBE;
    QTest::newRow("OEM /") << 0xBF << 0x2Full << 0xBF;
    QTest::newRow("OEM `") << 0xC0 << 0x60ull << 0xC0;
    QTest::newRow("OEM [") << 0xDB << 0x5Bull << 0xDB;
    QTest::newRow("OEM \\") << 0xDC << 0x5Cull << 0xDC;
    QTest::newRow("OEM ]") << 0xDD << 0x5Dull << 0xDD;
    QTest::newRow("OEM '") << 0xDE << 0x27ull << 0xDE;
}

void X11KeyTableTest::roundTrip() {
    QFETCH(int, vk);
    QFETCH(qulonglong, keysym);
    QFETCH(int, back);
    QCOMPARE(qulonglong(keysymForVk(vk)), keysym);
    QCOMPARE(vkForKeysym(keysymForVk(vk)), back);
}

void X11KeyTableTest::everyRequiredKeyIsKnown() {
    // Whole ranges, so that a hole in the middle of one shows.
    QList<int> required;
    for (int vk = 'A'; vk <= 'Z'; ++vk)
        required << vk;
    for (int vk = '0'; vk <= '9'; ++vk)
        required << vk;
    for (int vk = 0x70; vk <= 0x87; ++vk)
        required << vk;
    for (int vk = 0x60; vk <= 0x6F; ++vk)
        required << vk;
    for (int vk = 0xA0; vk <= 0xA5; ++vk)
        required << vk;
    for (int vk = 0xBA; vk <= 0xC0; ++vk)
        required << vk;
    for (int vk = 0xDB; vk <= 0xDE; ++vk)
        required << vk;
    for (int vk = 0x21; vk <= 0x28; ++vk)
        required << vk;
    required << 0x08 << 0x09 << 0x0D << 0x10 << 0x11 << 0x12 << 0x13 << 0x14 << 0x1B << 0x20 << 0x2C
             << 0x2D << 0x2E << 0x5B << 0x5C << 0x5D << 0x90 << 0x91;
    for (int vk : required) {
        const unsigned long keysym = keysymForVk(vk);
        QVERIFY2(keysym != 0, qPrintable(QString::number(vk)));
        const int back = vkForKeysym(keysym);
        const int expected = vk == 0x10 ? 0xA0 : vk == 0x11 ? 0xA2 : vk == 0x12 ? 0xA4 : vk;
        QVERIFY2(back == expected,
                 qPrintable(QStringLiteral("%1 came back as %2").arg(vk).arg(back)));
    }
}

void X11KeyTableTest::unknownCodes() {
    for (int vk : {0, 0x07, 0x0A, 0x2A, 0x88, 0xE7, 0xFF, 0x100, -1})
        QVERIFY2(keysymForVk(vk) == 0, qPrintable(QString::number(vk)));
    unsigned long out[4];
    QCOMPARE(keysymsForVk(0xE7, out, 4), 0);
    QCOMPARE(vkForKeysym(0), 0);
    QCOMPARE(vkForKeysym(0x10030A2), 0); // a Unicode keysym (あ) has no key of its own
    QCOMPARE(vkForKeysym(0xFE03), 0xA5); // ISO_Level3_Shift: AltGr is the right Alt
}

void X11KeyTableTest::readsBack_data() {
    QTest::addColumn<qulonglong>("keysym");
    QTest::addColumn<int>("vk");
    QTest::newRow("upper-case A") << 0x41ull << 0x41;
    QTest::newRow("KP_Enter") << 0xFF8Dull << 0x0D;
    QTest::newRow("ISO_Left_Tab") << 0xFE20ull << 0x09;
    QTest::newRow("KP_Home") << 0xFF95ull << 0x24;
    QTest::newRow("KP_Insert") << 0xFF9Eull << 0x2D;
    QTest::newRow("KP_Delete") << 0xFF9Full << 0x2E;
    QTest::newRow("KP_Prior") << 0xFF9Aull << 0x21;
}

void X11KeyTableTest::readsBack() {
    QFETCH(qulonglong, keysym);
    QFETCH(int, vk);
    QCOMPARE(vkForKeysym(keysym), vk);
}

void X11KeyTableTest::isDownKeysyms() {
    unsigned long out[4] = {};
    QCOMPARE(keysymsForVk(0x10, out, 4), 2);
    QCOMPARE(out[0], 0xFFE1ul);
    QCOMPARE(out[1], 0xFFE2ul);
    QCOMPARE(keysymsForVk(0x12, out, 4), 3); // Alt, AltGr too
    QCOMPARE(out[2], 0xFE03ul);
    QCOMPARE(keysymsForVk(0x0D, out, 4), 2); // either Enter key
    QCOMPARE(out[1], 0xFF8Dul);
    QCOMPARE(keysymsForVk(0xA3, out, 4), 1);
    QCOMPARE(out[0], 0xFFE4ul);
    QCOMPARE(keysymsForVk(0x12, out, 1), 1); // never more than asked for
}

QTEST_GUILESS_MAIN(X11KeyTableTest)
#include "unit_x11keytable.moc"
