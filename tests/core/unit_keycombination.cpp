#include "core/keycombination.h"

#include <QtTest>

class KeyCombinationTest : public QObject {
    Q_OBJECT

private slots:
    void keyNames_data() {
        QTest::addColumn<unsigned>("vk");
        QTest::addColumn<QString>("name");
        QTest::newRow("backspace") << 8u << "Backspace";
        QTest::newRow("enter") << 13u << "Enter";
        QTest::newRow("right shift") << 161u << "Shift";
        QTest::newRow("left ctrl") << 162u << "Ctrl";
        QTest::newRow("right alt") << 165u << "Alt";
        QTest::newRow("esc") << 27u << "Esc";
        QTest::newRow("page down") << 34u << "PageDown";
        QTest::newRow("delete") << 46u << "Delete";
        QTest::newRow("digit 0") << 48u << "0";
        QTest::newRow("digit 9") << 57u << "9";
        QTest::newRow("after the digits") << 58u << "VK58";
        QTest::newRow("A") << 65u << "A";
        QTest::newRow("Z") << 90u << "Z";
        QTest::newRow("right win") << 92u << "Win";
        QTest::newRow("numpad 0") << 96u << "VK96";
        QTest::newRow("F13") << 124u << "F13";
        QTest::newRow("F24") << 135u << "F24";
        QTest::newRow("after F24") << 136u << "VK136";
    }
    void keyNames() {
        QFETCH(unsigned, vk);
        QFETCH(QString, name);
        QCOMPARE(keyName(vk), name);
    }

    void displayText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("default stop") << "83,3"
                                      << "Ctrl+Alt+S"
                                      << "Ctrl+Alt+S";
        QTest::newRow("ctrl shift") << "65,6"
                                    << "Ctrl+Shift+A"
                                    << "Ctrl+Shift+A";
        QTest::newRow("alt f4") << "115,1"
                                << "Alt+F4"
                                << "Alt+F4";
        QTest::newRow("all four in order") << "65,15"
                                           << "Ctrl+Alt+Shift+Win+A"
                                           << "Ctrl+Alt+Shift+Win+A";
        QTest::newRow("lone left ctrl") << "162,0"
                                        << "Ctrl"
                                        << "Ctrl";
        QTest::newRow("key only") << "13"
                                  << "Enter"
                                  << "Enter";
        QTest::newRow("modifier with its own mask") << "17,2"
                                                    << "Ctrl"
                                                    << "Ctrl";
        QTest::newRow("generic ctrl") << "17"
                                      << "Ctrl"
                                      << "Ctrl";
        QTest::newRow("win key under ctrl") << "91,2"
                                            << "Ctrl"
                                            << "Ctrl";
        QTest::newRow("lone win") << "92,0"
                                  << "Win"
                                  << "Win";
        QTest::newRow("empty part dropped") << ",65"
                                            << "A"
                                            << "A";
        QTest::newRow("unreadable mask") << "65,x"
                                         << "A"
                                         << "A";
        QTest::newRow("numpad") << "96,0"
                                << "VK96"
                                << "VK96";
        QTest::newRow("not a number") << "abc"
                                      << "abc"
                                      << "無効なキー";
        QTest::newRow("empty") << ""
                               << "なし"
                               << "なし";
        QTest::newRow("none") << "なし"
                              << "なし"
                              << "なし";
    }
    void displayText() {
        QFETCH(QString, text);
        QFETCH(QString, editor);
        QFETCH(QString, dialog);
        QCOMPARE(keyCombinationDisplayText(text), editor);
        QCOMPARE(keyCombinationDisplayText(text, InvalidKeyText::Unchanged), editor);
        QCOMPARE(keyCombinationDisplayText(text, InvalidKeyText::InvalidKey), dialog);
    }

    void modifierTable_data() {
        QTest::addColumn<int>("vk");
        QTest::addColumn<int>("bit");
        QTest::newRow("shift") << 16 << 4;
        QTest::newRow("rshift") << 161 << 4;
        QTest::newRow("control") << 17 << 1;
        QTest::newRow("lcontrol") << 162 << 1;
        QTest::newRow("menu") << 18 << 2;
        QTest::newRow("rmenu") << 165 << 2;
        QTest::newRow("lwin") << 91 << 8;
        QTest::newRow("rwin") << 92 << 8;
        QTest::newRow("apps key") << 93 << 0;
        QTest::newRow("A") << 65 << 0;
    }
    void modifierTable() {
        QFETCH(int, vk);
        QFETCH(int, bit);
        QCOMPARE(modifierBit(vk), bit);
        QCOMPARE(isModifierKey(vk), bit != 0);
    }

    void storedMaskForEveryCaptureMask() {
        // Capture bits Ctrl 1, Alt 2, Shift 4, Win 8 become stored Alt 1,
        // Ctrl 2, Shift 4, Win 8, indexed by capture mask.
        const int stored[16] = {0, 2, 1, 3, 4, 6, 5, 7, 8, 10, 9, 11, 12, 14, 13, 15};
        for (int capture = 0; capture < 16; ++capture)
            QCOMPARE(toStoredMask(capture), stored[capture]);
    }
};

QTEST_GUILESS_MAIN(KeyCombinationTest)
#include "unit_keycombination.moc"
