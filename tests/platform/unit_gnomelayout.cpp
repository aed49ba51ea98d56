// What the GNOME backend decides without GNOME: which characters a layout
// has a key for (the rest are pasted, since GNOME drops a keysym its layout
// lacks without a word) and the shell's names for the run's keys.

#include "platform/displaysession.h"
#include "platform/gnome/gnomelayout.h"
#include "platform/gnome/gnomerunkeys.h"
#include "platform/shortcuts.h"

#include <QtTest>

class UnitGnomeLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void typableOnLayout_data();
    void typableOnLayout();
    void acceleratorNames_data();
    void acceleratorNames();
    void sessionWithMuttersRemoteDesktop_data();
    void sessionWithMuttersRemoteDesktop();
};

void UnitGnomeLayoutTest::typableOnLayout_data() {
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<uint>("cp");
    QTest::addColumn<bool>("typable");
    QTest::newRow("us a") << "us"
                          << "" << uint('a') << true;
    QTest::newRow("us shifted") << "us"
                                << "" << uint('~') << true;
    QTest::newRow("us line break") << "us"
                                   << "" << uint('\n') << true;
    QTest::newRow("us tab") << "us"
                            << "" << uint('\t') << true;
    QTest::newRow("us e acute") << "us"
                                << "" << uint(0xe9) << false;
    QTest::newRow("us sharp s") << "us"
                                << "" << uint(0xdf) << false;
    QTest::newRow("us kanji") << "us"
                              << "" << uint(0x65e5) << false;
    QTest::newRow("us emoji") << "us"
                              << "" << uint(0x1f600) << false;
    QTest::newRow("us control char") << "us"
                                     << "" << uint(0x01) << false;
    QTest::newRow("de sharp s") << "de"
                                << "" << uint(0xdf) << true;
    QTest::newRow("de AltGr euro") << "de"
                                   << "" << uint(0x20ac) << true;
    QTest::newRow("fr e acute") << "fr"
                                << "" << uint(0xe9) << true;
    QTest::newRow("ru cyrillic") << "ru"
                                 << "" << uint(0x0436) << true;
    QTest::newRow("ru latin") << "ru"
                              << "" << uint('q') << false;
    QTest::newRow("jp kana") << "jp"
                             << "kana" << uint(0x30ab) << true;
}

void UnitGnomeLayoutTest::typableOnLayout() {
    QFETCH(QString, layout);
    QFETCH(QString, variant);
    QFETCH(uint, cp);
    QFETCH(bool, typable);
    std::string error;
    const auto keys =
        platform::gnome::LayoutKeys::fromNames(layout.toStdString(), variant.toStdString(), error);
    QVERIFY2(keys, error.c_str());
    QCOMPARE(keys->typable(static_cast<char32_t>(cp)), typable);
}

void UnitGnomeLayoutTest::acceleratorNames_data() {
    QTest::addColumn<uint>("modifiers");
    QTest::addColumn<int>("vk");
    QTest::addColumn<QString>("name");
    QTest::newRow("stop keys") << uint(platform::kModControl | platform::kModAlt) << int('S')
                               << "<Control><Alt>s";
    QTest::newRow("all four") << uint(platform::kModControl | platform::kModAlt |
                                      platform::kModShift | platform::kModWin)
                              << 0x7B << "<Control><Alt><Shift><Super>F12";
    QTest::newRow("plain key") << 0u << 0x1B << "Escape";
    QTest::newRow("no key") << uint(platform::kModControl) << 0 << "";
    QTest::newRow("key without a name") << uint(platform::kModControl) << 0xFF << "";
}

void UnitGnomeLayoutTest::acceleratorNames() {
    QFETCH(uint, modifiers);
    QFETCH(int, vk);
    QFETCH(QString, name);
    platform::Chord chord;
    chord.modifiers = modifiers;
    chord.vk = vk;
    QCOMPARE(QString::fromStdString(platform::gnome::acceleratorFor(chord)), name);
}

// Where GNOME's remote desktop answers, every window is reached whatever
// platform Qt runs on; where it does not, XWayland's limits as before.
void UnitGnomeLayoutTest::sessionWithMuttersRemoteDesktop_data() {
    QTest::addColumn<QString>("qtPlatform");
    QTest::addColumn<bool>("remote");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<int>("reach");
    const int everything = int(platform::SessionReach::Everything);
    const int x11Only = int(platform::SessionReach::X11ProgramsOnly);
    QTest::newRow("remote desktop") << "" << true << "wayland" << everything;
    QTest::newRow("remote desktop, user's xcb") << "xcb" << true << "" << everything;
    QTest::newRow("remote desktop, user's wayland") << "wayland" << true << "" << everything;
    QTest::newRow("no remote desktop") << "" << false << "xcb" << x11Only;
    QTest::newRow("no remote desktop, user's xcb") << "xcb" << false << "" << x11Only;
}

void UnitGnomeLayoutTest::sessionWithMuttersRemoteDesktop() {
    QFETCH(QString, qtPlatform);
    QFETCH(bool, remote);
    QFETCH(QString, platform);
    QFETCH(int, reach);
    platform::SessionFacts facts;
    facts.qtPlatform = qtPlatform.toStdString();
    facts.waylandDisplay = "wayland-0";
    facts.sessionType = "wayland";
    facts.currentDesktop = "ubuntu:GNOME";
    facts.x11Display = ":0";
    facts.probed = true;
    facts.globals = {"wl_seat", "wl_output"};
    facts.desktopRemoteInput = remote;
    const platform::SessionChoice choice = platform::chooseSession(facts);
    QCOMPARE(QString::fromStdString(choice.qtPlatform), platform);
    QCOMPARE(int(choice.reach), reach);
    QCOMPARE(int(choice.desktop), int(platform::Desktop::Gnome));
}

QTEST_GUILESS_MAIN(UnitGnomeLayoutTest)
#include "unit_gnomelayout.moc"
