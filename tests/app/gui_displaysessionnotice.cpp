// What the user is told about stopping a run on Wayland
// (app/displaysessionnotice.h): the input devices where the backend reads
// them, the sway binding, or only the tray icon and tarnwick --stop, in
// both languages; nothing on other backends or without stop keys.

#include "app/displaysessionnotice.h"

#include <QtTest>

namespace {

platform::Capabilities capabilities(const char *name, bool keyEvents) {
    platform::Capabilities c;
    c.name = name;
    c.synthesis = true;
    c.keyEvents = keyEvents;
    c.recording = keyEvents;
    return c;
}

} // namespace

class DisplaySessionNoticeTest : public QObject {
    Q_OBJECT

private slots:
    // What an endless run without a tray is refused for (tarnwick_run.cpp).
    void stopKeysHeardWhereSomethingListens() {
        QVERIFY(stopKeysHeard(capabilities("x11", true), {}));
        QVERIFY(stopKeysHeard(capabilities("win32", true), {}));
        QVERIFY(stopKeysHeard(capabilities("wayland", true), {}));            // input devices
        QVERIFY(stopKeysHeard(capabilities("wayland", false), "Ctrl+Alt+s")); // sway's binding
        QVERIFY(!stopKeysHeard(capabilities("wayland", false), {}));
    }

    // Without a system tray the notice names no tray icon, only the command.
    void withoutATrayOnlyTheCommand() {
        for (bool japanese : {true, false}) {
            for (const QString &chord : {QString(), QStringLiteral("Ctrl+Alt+s")}) {
                const QString notice = waylandStopNotice(capabilities("wayland", false), "83,3",
                                                         chord, false, japanese);
                QVERIFY2(notice.contains("tarnwick --stop"), qPrintable(notice));
                QVERIFY2(!notice.contains(japanese ? "タスクトレイ" : "tray"), qPrintable(notice));
            }
        }
    }

    void waylandStop_data() {
        QTest::addColumn<QString>("backend");
        QTest::addColumn<bool>("keyEvents");
        QTest::addColumn<QString>("stopCommand");
        QTest::addColumn<QString>("swayChord");
        QTest::addColumn<bool>("japanese");
        // Each must be in the notice; an empty list: no notice at all.
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QStringList>("unsaid");

        QTest::newRow("X11 hears the keyboard itself")
            << "x11" << true << "83,3"
            << "" << false << QStringList{} << QStringList{};
        QTest::newRow("no stop command on Wayland")
            << "wayland" << false << "なし"
            << "Ctrl+Alt+s" << false << QStringList{} << QStringList{};
        QTest::newRow("a stop command on no key") << "wayland" << false << "7,0"
                                                  << "" << false << QStringList{} << QStringList{};
        QTest::newRow("the input devices")
            << "wayland" << true << "83,3"
            << "Ctrl+Alt+s" << false << QStringList{"\"Ctrl+Alt+S\"", "/dev/input"}
            << QStringList{"sway", "tarnwick --stop", "group input"};
        QTest::newRow("the input devices, in Japanese")
            << "wayland" << true << "83,3"
            << "" << true << QStringList{"「Ctrl+Alt+S」", "/dev/input"}
            << QStringList{"sway", "tarnwick --stop"};
        QTest::newRow("the sway binding")
            << "wayland" << false << "83,3"
            << "Ctrl+Alt+s" << false
            << QStringList{"\"Ctrl+Alt+S\"", "sway key binding (Ctrl+Alt+s)", "tarnwick --stop",
                           "tray icon"}
            << QStringList{"/dev/input", "group input"};
        QTest::newRow("the sway binding, in Japanese")
            << "wayland" << false << "83,3"
            << "Ctrl+Alt+s" << true
            << QStringList{"「Ctrl+Alt+S」", "sway のキー割り当て（Ctrl+Alt+s）", "tarnwick --stop"}
            << QStringList{"input"};
        QTest::newRow("only the tray icon and the command")
            << "wayland" << false << "123,0"
            << "" << false
            << QStringList{"\"F12\" does not stop", "tray icon", "tarnwick --stop", "group input",
                           "every keystroke"}
            << QStringList{"sway key binding"};
        QTest::newRow("only the tray icon and the command, in Japanese")
            << "wayland" << false << "123,0"
            << "" << true
            << QStringList{"「F12」では実行は止まりません", "タスクトレイ", "tarnwick --stop",
                           "グループ input", "すべてのキー入力"}
            << QStringList{"sway"};
    }
    void waylandStop() {
        QFETCH(QString, backend);
        QFETCH(bool, keyEvents);
        QFETCH(QString, stopCommand);
        QFETCH(QString, swayChord);
        QFETCH(bool, japanese);
        QFETCH(QStringList, said);
        QFETCH(QStringList, unsaid);
        const QString notice =
            waylandStopNotice(capabilities(backend.toLatin1().constData(), keyEvents), stopCommand,
                              swayChord, true, japanese);
        if (said.isEmpty())
            QCOMPARE(notice, QString());
        for (const QString &part : said)
            QVERIFY2(notice.contains(part), qPrintable(notice));
        for (const QString &part : unsaid)
            QVERIFY2(!notice.contains(part), qPrintable(notice));
    }
};

QTEST_MAIN(DisplaySessionNoticeTest)
#include "gui_displaysessionnotice.moc"
