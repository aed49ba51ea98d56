// What the program decides at start from the session it finds: Qt's
// platform and what input can reach (platform/displaysession.h).

#include "platform/displaysession.h"

#include <QtTest>

using platform::Desktop;
using platform::SessionFacts;
using platform::SessionReach;

Q_DECLARE_METATYPE(SessionReach)
Q_DECLARE_METATYPE(Desktop)

namespace {

const std::vector<std::string> kWlroots = {"wl_seat", "wl_output", platform::kVirtualKeyboardGlobal,
                                           platform::kVirtualPointerGlobal};
// Debian 12's GNOME 43 and Plasma 5.27 offer neither.
const std::vector<std::string> kMutter = {"wl_seat", "wl_output", "zwp_text_input_manager_v3"};
const std::vector<std::string> kKeyboardOnly = {"wl_seat", platform::kVirtualKeyboardGlobal};

} // namespace

class DisplaySessionTest : public QObject {
    Q_OBJECT

private slots:
    void choice_data();
    void choice();
    void desktopNames_data();
    void desktopNames();
};

void DisplaySessionTest::choice_data() {
    QTest::addColumn<QString>("qtPlatform");
    QTest::addColumn<QString>("waylandDisplay");
    QTest::addColumn<QString>("sessionType");
    QTest::addColumn<QString>("desktop");
    QTest::addColumn<QString>("x11Display");
    QTest::addColumn<bool>("probed");
    QTest::addColumn<QStringList>("globals");
    QTest::addColumn<bool>("wantsGlobals");
    QTest::addColumn<QString>("platform"); // what Qt is told; empty: nothing
    QTest::addColumn<SessionReach>("reach");

    auto list = [](const std::vector<std::string> &v) {
        QStringList l;
        for (const std::string &s : v)
            l << QString::fromStdString(s);
        return l;
    };
    QTest::newRow("X11 session") << ""
                                 << ""
                                 << "x11"
                                 << "XFCE"
                                 << ":0" << false << QStringList() << false << "xcb"
                                 << SessionReach::Everything;
    QTest::newRow("no display at all")
        << ""
        << ""
        << ""
        << ""
        << "" << false << QStringList() << false << "" << SessionReach::Everything;
    QTest::newRow("sway") << ""
                          << "wayland-1"
                          << "wayland"
                          << "sway"
                          << ":0" << true << list(kWlroots) << true << "wayland"
                          << SessionReach::Everything;
    QTest::newRow("sway without XWayland")
        << ""
        << "/run/user/1000/wayland-1"
        << ""
        << "sway"
        << "" << true << list(kWlroots) << true << "wayland" << SessionReach::Everything;
    QTest::newRow("GNOME on Wayland")
        << ""
        << "wayland-0"
        << "wayland"
        << "ubuntu:GNOME"
        << ":0" << true << list(kMutter) << true << "xcb" << SessionReach::X11ProgramsOnly;
    QTest::newRow("KDE on Wayland without XWayland")
        << ""
        << "wayland-0"
        << "wayland"
        << "KDE"
        << "" << true << list(kMutter) << true << "" << SessionReach::Nothing;
    // KWin's fake input, offered to this program: Wayland, reaching everything.
    QTest::newRow("KDE authorising the program")
        << ""
        << "wayland-0"
        << "wayland"
        << "KDE"
        << ":0" << true << QStringList{"wl_seat", "org_kde_kwin_fake_input"} << true << "wayland"
        << SessionReach::Everything;
    // Not offered (no .desktop file names this copy): XWayland's programs only.
    QTest::newRow("KDE not authorising the program")
        << ""
        << "wayland-0"
        << "wayland"
        << "KDE"
        << ":0" << true << QStringList{"wl_seat", "org_kde_plasma_virtual_desktop_management"}
        << true << "xcb" << SessionReach::X11ProgramsOnly;
    QTest::newRow("a keyboard but no pointer")
        << ""
        << "wayland-0"
        << "wayland"
        << ""
        << ":1" << true << list(kKeyboardOnly) << true << "xcb" << SessionReach::X11ProgramsOnly;
    QTest::newRow("compositor not reached")
        << ""
        << "wayland-9"
        << "wayland"
        << ""
        << ":0" << false << QStringList() << true << "xcb" << SessionReach::X11ProgramsOnly;
    QTest::newRow("session type only")
        << ""
        << ""
        << "wayland"
        << "GNOME"
        << ":0" << false << QStringList() << true << "xcb" << SessionReach::X11ProgramsOnly;
    QTest::newRow("user chose xcb under sway")
        << "xcb"
        << "wayland-1"
        << "wayland"
        << "sway"
        << ":0" << false << QStringList() << false << "" << SessionReach::X11ProgramsOnly;
    QTest::newRow("user chose wayland under GNOME")
        << "wayland"
        << "wayland-0"
        << "wayland"
        << "GNOME"
        << ":0" << true << list(kMutter) << true << "" << SessionReach::Nothing;
    QTest::newRow("user chose a list, wayland first")
        << "wayland-egl;xcb"
        << "wayland-1"
        << "wayland"
        << "sway"
        << ":0" << true << list(kWlroots) << true << "" << SessionReach::Everything;
    QTest::newRow("user chose offscreen")
        << "offscreen"
        << "wayland-1"
        << "wayland"
        << ""
        << "" << false << QStringList() << false << "" << SessionReach::Everything;
    QTest::newRow("user chose xcb in X11")
        << "xcb:foo=1"
        << ""
        << "x11"
        << ""
        << ":0" << false << QStringList() << false << "" << SessionReach::Everything;
}

void DisplaySessionTest::choice() {
    QFETCH(QString, qtPlatform);
    QFETCH(QString, waylandDisplay);
    QFETCH(QString, sessionType);
    QFETCH(QString, desktop);
    QFETCH(QString, x11Display);
    QFETCH(bool, probed);
    QFETCH(QStringList, globals);
    QFETCH(bool, wantsGlobals);
    QFETCH(QString, platform);
    QFETCH(SessionReach, reach);
    SessionFacts facts;
    facts.qtPlatform = qtPlatform.toStdString();
    facts.waylandDisplay = waylandDisplay.toStdString();
    facts.sessionType = sessionType.toStdString();
    facts.currentDesktop = desktop.toStdString();
    facts.x11Display = x11Display.toStdString();
    QCOMPARE(platform::wantsGlobals(facts), wantsGlobals);
    facts.probed = probed;
    for (const QString &g : globals)
        facts.globals.push_back(g.toStdString());
    const platform::SessionChoice choice = platform::chooseSession(facts);
    QCOMPARE(QString::fromStdString(choice.qtPlatform), platform);
    QCOMPARE(choice.reach, reach);
}

void DisplaySessionTest::desktopNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<Desktop>("desktop");
    QTest::newRow("GNOME") << "GNOME" << Desktop::Gnome;
    QTest::newRow("Ubuntu's GNOME") << "ubuntu:GNOME" << Desktop::Gnome;
    QTest::newRow("GNOME Classic") << "GNOME-Classic:GNOME" << Desktop::Gnome;
    QTest::newRow("Plasma") << "KDE" << Desktop::Kde;
    QTest::newRow("lower case") << "kde" << Desktop::Kde;
    QTest::newRow("sway") << "sway" << Desktop::Other;
    QTest::newRow("a name that only contains GNOME") << "NOTGNOME" << Desktop::Other;
    QTest::newRow("empty") << "" << Desktop::Other;
}

void DisplaySessionTest::desktopNames() {
    QFETCH(QString, name);
    QFETCH(Desktop, desktop);
    QCOMPARE(platform::desktopOf(name.toStdString()), desktop);
}

QTEST_GUILESS_MAIN(DisplaySessionTest)
#include "unit_displaysession.moc"
