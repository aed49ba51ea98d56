// What the user is told about stopping a run on Wayland
// (app/displaysessionnotice.h), by what the backend's run keys answer: the
// input devices where the backend reads them, the desktop's binding, or only
// the tray icon and tarnwick --stop, in both languages; nothing where the
// program hears the keys or without stop keys.

#include "app/displaysessionnotice.h"

#include <QtTest>

namespace {

using platform::RunKeyWay;

platform::RunKeyAnswer answer(RunKeyWay way, const char *keys = "") {
    platform::RunKeyAnswer a;
    a.way = way;
    a.keys = keys;
    if (*keys)
        a.desktop = "sway";
    return a;
}

} // namespace

Q_DECLARE_METATYPE(platform::RunKeyWay)

class DisplaySessionNoticeTest : public QObject {
    Q_OBJECT

private slots:
    // What an endless run without a tray is refused for (tarnwick_run.cpp).
    void stopKeysHeardWhereSomethingListens() {
        QVERIFY(stopKeysHeard(answer(RunKeyWay::Heard)));                      // x11, win32
        QVERIFY(stopKeysHeard(answer(RunKeyWay::Devices)));                    // input devices
        QVERIFY(stopKeysHeard(answer(RunKeyWay::Bound, "Ctrl+Alt+s")));        // sway's binding
        QVERIFY(stopKeysHeard(answer(RunKeyWay::UsersBinding, "Ctrl+Alt+s"))); // the user's
        QVERIFY(!stopKeysHeard(answer(RunKeyWay::Unheard)));
        // The user's binding runs something else; keys sway cannot name.
        QVERIFY(!stopKeysHeard(answer(RunKeyWay::Taken, "Ctrl+Alt+s")));
        QVERIFY(!stopKeysHeard(answer(RunKeyWay::Unnamed)));
    }

    // Without a system tray the notice names no tray icon, only the command.
    void withoutATrayOnlyTheCommand() {
        for (bool japanese : {true, false}) {
            for (const platform::RunKeyAnswer &keys :
                 {answer(RunKeyWay::Unheard), answer(RunKeyWay::Bound, "Ctrl+Alt+s")}) {
                const QString notice = waylandStopNotice(keys, "83,3", false, japanese);
                QVERIFY2(notice.contains("tarnwick --stop"), qPrintable(notice));
                QVERIFY2(!notice.contains(japanese ? "タスクトレイ" : "tray"), qPrintable(notice));
            }
        }
    }

    void waylandStop_data() {
        QTest::addColumn<RunKeyWay>("way");
        QTest::addColumn<QString>("keys"); // the desktop's name for them, sway's here
        QTest::addColumn<QString>("stopCommand");
        QTest::addColumn<bool>("japanese");
        // Each must be in the notice; an empty list: no notice at all.
        QTest::addColumn<QStringList>("said");
        QTest::addColumn<QStringList>("unsaid");

        QTest::newRow("X11 hears the keyboard itself")
            << RunKeyWay::Heard << ""
            << "83,3" << false << QStringList{} << QStringList{};
        QTest::newRow("no stop command on Wayland")
            << RunKeyWay::Bound << "Ctrl+Alt+s"
            << "なし" << false << QStringList{} << QStringList{};
        QTest::newRow("a stop command on no key")
            << RunKeyWay::Unheard << ""
            << "7,0" << false << QStringList{} << QStringList{};
        QTest::newRow("the input devices")
            << RunKeyWay::Devices << ""
            << "83,3" << false << QStringList{"\"Ctrl+Alt+S\"", "/dev/input"}
            << QStringList{"sway", "tarnwick --stop", "group input"};
        QTest::newRow("the input devices, in Japanese")
            << RunKeyWay::Devices << ""
            << "83,3" << true << QStringList{"「Ctrl+Alt+S」", "/dev/input"}
            << QStringList{"sway", "tarnwick --stop"};
        QTest::newRow("the sway binding")
            << RunKeyWay::Bound << "Ctrl+Alt+s"
            << "83,3" << false
            << QStringList{"\"Ctrl+Alt+S\"", "sway key binding (Ctrl+Alt+s)", "tarnwick --stop",
                           "tray icon"}
            << QStringList{"/dev/input", "group input"};
        QTest::newRow("the sway binding, in Japanese")
            << RunKeyWay::Bound << "Ctrl+Alt+s"
            << "83,3" << true
            << QStringList{"「Ctrl+Alt+S」", "sway のキー割り当て（Ctrl+Alt+s）", "tarnwick --stop"}
            << QStringList{"input"};
        QTest::newRow("the user's own binding runs tarnwick --stop")
            << RunKeyWay::UsersBinding << "Ctrl+Alt+s"
            << "83,3" << false << QStringList{"sway key binding (Ctrl+Alt+s)", "tarnwick --stop"}
            << QStringList{"does not stop"};
        QTest::newRow("the user's own binding does something else")
            << RunKeyWay::Taken << "Ctrl+Alt+s"
            << "83,3" << false
            << QStringList{"\"Ctrl+Alt+S\" does not stop", "tray icon", "tarnwick --stop"}
            << QStringList{"sway key binding"};
        QTest::newRow("only the tray icon and the command")
            << RunKeyWay::Unheard << ""
            << "123,0" << false
            << QStringList{"\"F12\" does not stop", "tray icon", "tarnwick --stop", "group input",
                           "every keystroke"}
            << QStringList{"sway key binding"};
        QTest::newRow("only the tray icon and the command, in Japanese")
            << RunKeyWay::Unheard << ""
            << "123,0" << true
            << QStringList{"「F12」では実行は止まりません", "タスクトレイ", "tarnwick --stop",
                           "グループ input", "すべてのキー入力"}
            << QStringList{"sway"};
    }
    void waylandStop() {
        QFETCH(RunKeyWay, way);
        QFETCH(QString, keys);
        QFETCH(QString, stopCommand);
        QFETCH(bool, japanese);
        QFETCH(QStringList, said);
        QFETCH(QStringList, unsaid);
        const QString notice =
            waylandStopNotice(answer(way, keys.toUtf8().constData()), stopCommand, true, japanese);
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
