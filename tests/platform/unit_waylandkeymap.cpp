// The Wayland backend's keymap (waylandkeymap.h), compiled by libxkbcommon
// as the compositor and every client compile it: virtual-key codes press
// the keys the X11 layer sends for them, and the character block types
// exactly its characters.

#include "platform/wayland/waylandkeymap.h"
#include "platform/x11/x11keytable.h"

#include <QtTest>

#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <set>

using namespace platform::wayland;

namespace {

struct KeymapDeleter {
    void operator()(xkb_keymap *k) const { xkb_keymap_unref(k); }
};
struct StateDeleter {
    void operator()(xkb_state *s) const { xkb_state_unref(s); }
};
using Keymap = std::unique_ptr<xkb_keymap, KeymapDeleter>;
using State = std::unique_ptr<xkb_state, StateDeleter>;

Keymap compile(const std::string &text) {
    xkb_context *context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    Keymap keymap(xkb_keymap_new_from_string(context, text.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                             XKB_KEYMAP_COMPILE_NO_FLAGS));
    xkb_context_unref(context);
    return keymap;
}

xkb_keysym_t baseKeysym(xkb_keymap *keymap, unsigned evdev) {
    const xkb_keysym_t *syms = nullptr;
    const int n = xkb_keymap_key_get_syms_by_level(keymap, evdev + 8, 0, 0, &syms);
    return n == 1 ? syms[0] : XKB_KEY_NoSymbol;
}

QString typed(xkb_state *state, unsigned evdev) {
    char buffer[16] = {};
    xkb_state_key_get_utf8(state, evdev + 8, buffer, sizeof buffer);
    return QString::fromUtf8(buffer);
}

} // namespace

class WaylandKeymapTest : public QObject {
    Q_OBJECT

private slots:
    void everyVirtualKeyIsTheX11Key();
    void blockTypesItsCharacters_data();
    void blockTypesItsCharacters();
    void groupsTypeTheirCharacters_data();
    void groupsTypeTheirCharacters();
    void modifiersAndLevels_data();
    void modifiersAndLevels();
    void blockKeepsClearOfTheKeys();
};

void WaylandKeymapTest::everyVirtualKeyIsTheX11Key() {
    Keymap keymap = compile(keymapText({}));
    QVERIFY(keymap);
    int keys = 0;
    for (int vk = 1; vk < 0xFF; ++vk) {
        const unsigned long x11 = platform::x11::keysymForVk(vk);
        const unsigned code = evdevForVk(vk);
        // Both know the code, or neither does (mouse buttons, unassigned codes).
        QVERIFY2((x11 != 0) == (code != 0), qPrintable(QString::number(vk, 16)));
        if (!code)
            continue;
        QCOMPARE(baseKeysym(keymap.get(), code), xkb_keysym_t(x11));
        ++keys;
    }
    QVERIFY(keys > 120);
}

void WaylandKeymapTest::blockTypesItsCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected"); // what the keys type, in order
    QTest::newRow("kanji") << QStringLiteral("日本語漢字") << QStringLiteral("日本語漢字");
    QTest::newRow("emoji beyond the BMP")
        << QStringLiteral("😀🧡👍") << QStringLiteral("😀🧡👍");
    QTest::newRow("ASCII and Latin-1") << QStringLiteral("aZ ~`é") << QStringLiteral("aZ ~`é");
    QTest::newRow("line breaks and tabs become their keys")
        << QStringLiteral("\t\n") << QStringLiteral("\t\r");
}

void WaylandKeymapTest::blockTypesItsCharacters() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    std::vector<char32_t> block;
    for (char32_t cp : text.toUcs4())
        block.push_back(cp);
    Keymap keymap = compile(keymapText(block));
    QVERIFY(keymap);
    State state(xkb_state_new(keymap.get()));
    QString got;
    for (std::size_t i = 0; i < block.size(); ++i)
        got += typed(state.get(), blockCodes()[i]);
    QCOMPARE(got, expected);
}

void WaylandKeymapTest::groupsTypeTheirCharacters_data() {
    QTest::addColumn<int>("from"); // the first slot filled
    QTest::addColumn<int>("count");
    const int keys = static_cast<int>(blockCodes().size());
    const int all = static_cast<int>(blockSize());
    QTest::newRow("the first group") << 0 << keys;
    QTest::newRow("from the second group into the third") << keys + 5 << keys;
    QTest::newRow("the last keys of the last group") << all - 7 << 7;
    QTest::newRow("the whole block") << 0 << all;
}

void WaylandKeymapTest::groupsTypeTheirCharacters() {
    QFETCH(int, from);
    QFETCH(int, count);
    QCOMPARE(blockSize(), blockCodes().size() * kBlockGroups);
    std::vector<char32_t> block(blockSize(), 0);
    for (int i = from; i < from + count; ++i)
        block[static_cast<std::size_t>(i)] = static_cast<char32_t>(0x4E00 + i);
    Keymap keymap = compile(keymapText(block));
    QVERIFY(keymap);
    State state(xkb_state_new(keymap.get()));
    std::set<std::pair<unsigned, unsigned>> used;
    for (int i = from; i < from + count; ++i) {
        const BlockKey key = blockKey(static_cast<std::size_t>(i));
        QVERIFY(key.group < kBlockGroups);
        QVERIFY(used.insert({key.code, key.group}).second); // each slot a key and group of its own
        // The group comes as the compositor passes it on: a locked layout.
        xkb_state_update_mask(state.get(), 0, 0, 0, 0, 0, key.group);
        const char32_t cp = block[static_cast<std::size_t>(i)];
        QCOMPARE(typed(state.get(), key.code), QString::fromUcs4(&cp, 1));
        // The virtual keys type the same whatever the group.
        QCOMPARE(typed(state.get(), evdevForVk('A')), QStringLiteral("a"));
        QCOMPARE(typed(state.get(), evdevForVk(0xBD)), QStringLiteral("-"));
    }
}

void WaylandKeymapTest::modifiersAndLevels_data() {
    QTest::addColumn<int>("modifierVk");
    QTest::addColumn<QString>("modName");
    QTest::addColumn<int>("vk");
    QTest::addColumn<QString>("expected");
    QTest::newRow("shift gives the second level") << 0xA0 << XKB_MOD_NAME_SHIFT << int('1') << "!";
    QTest::newRow("right shift too") << 0xA1 << XKB_MOD_NAME_SHIFT << int('A') << "A";
    QTest::newRow("ctrl is Control") << 0xA3 << XKB_MOD_NAME_CTRL << int('A') << "\x01";
    QTest::newRow("alt is Mod1") << 0x12 << XKB_MOD_NAME_ALT << int('A') << "a";
    QTest::newRow("windows key is Mod4") << 0x5B << XKB_MOD_NAME_LOGO << int('A') << "a";
}

void WaylandKeymapTest::modifiersAndLevels() {
    QFETCH(int, modifierVk);
    QFETCH(QString, modName);
    QFETCH(int, vk);
    QFETCH(QString, expected);
    Keymap keymap = compile(keymapText({}));
    QVERIFY(keymap);
    State state(xkb_state_new(keymap.get()));
    xkb_state_update_key(state.get(), evdevForVk(modifierVk) + 8, XKB_KEY_DOWN);
    QVERIFY(xkb_state_mod_name_is_active(state.get(), modName.toLatin1().constData(),
                                         XKB_STATE_MODS_DEPRESSED) > 0);
    QCOMPARE(typed(state.get(), evdevForVk(vk)), expected);
    xkb_state_update_key(state.get(), evdevForVk(modifierVk) + 8, XKB_KEY_UP);
    QCOMPARE(xkb_state_serialize_mods(state.get(), XKB_STATE_MODS_EFFECTIVE), 0u);
}

void WaylandKeymapTest::blockKeepsClearOfTheKeys() {
    std::set<unsigned> keys;
    for (int vk = 1; vk < 0xFF; ++vk)
        if (const unsigned code = evdevForVk(vk))
            keys.insert(code);
    // Generic modifiers are the left keys; isDown hears both sides.
    unsigned codes[4];
    QCOMPARE(evdevsForVk(0x10, codes, 4), 2);
    QCOMPARE(evdevForVk(0x10), evdevForVk(0xA0));
    QCOMPARE(evdevsForVk(0xA1, codes, 4), 1);
    QCOMPARE(codes[0], evdevForVk(0xA1));
    const std::vector<unsigned> &block = blockCodes();
    QVERIFY(block.size() >= 100);
    for (unsigned code : block) {
        QVERIFY(!keys.count(code));
        QVERIFY(code >= 1 && code + 8 <= 255); // X11 programs under XWayland see them too
    }
    QCOMPARE(keys.size() + block.size(), std::size_t(247));
}

QTEST_GUILESS_MAIN(WaylandKeymapTest)
#include "unit_waylandkeymap.moc"
