// Sway's side of a run's keys (platform/wayland/swaykeys.h) without sway:
// its names for key combinations, the user's own binding of them found in
// its configuration however written, and the files that configuration
// includes read as sway reads them.

#include "platform/wayland/swaykeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace platform;

namespace {

QString binding(const QString &config, const QString &chord) {
    return QString::fromStdString(
        wayland::configBinding(config.toStdString(), chord.toStdString()));
}

} // namespace

class SwayKeysTest : public QObject {
    Q_OBJECT

private slots:
    void swayChords_data() {
        QTest::addColumn<unsigned>("modifiers");
        QTest::addColumn<int>("vk");
        QTest::addColumn<QString>("chord");
        QTest::newRow("the default") << (kModControl | kModAlt) << 0x53 << "Ctrl+Alt+s";
        QTest::newRow("shift and a function key") << kModShift << 0x7B << "Shift+F12";
        QTest::newRow("the windows key") << kModWin << 0x0D << "Mod4+Return";
        QTest::newRow("every modifier")
            << (kModControl | kModAlt | kModShift | kModWin) << 0x31 << "Ctrl+Alt+Shift+Mod4+1";
        QTest::newRow("none") << kModControl << 0 << "";
        QTest::newRow("a mouse button") << kModControl << 0x01 << "";
    }
    void swayChords() {
        QFETCH(unsigned, modifiers);
        QFETCH(int, vk);
        QFETCH(QString, chord);
        QCOMPARE(QString::fromStdString(wayland::swayChord(Chord{modifiers, vk})), chord);
    }

    // The user's own binding of the run's keys is found, however written,
    // so that a run does not bind over it and then unbind it.
    void configBindings_data() {
        QTest::addColumn<QString>("config");
        QTest::addColumn<QString>("chord");
        QTest::addColumn<QString>("line"); // empty: the keys are free
        QTest::newRow("as the run writes it") << "font x\nbindsym Ctrl+Alt+s exec foo\n"
                                              << "Ctrl+Alt+s"
                                              << "bindsym Ctrl+Alt+s exec foo";
        QTest::newRow("aliases, order, case and flags")
            << "  bindsym --no-repeat --to-code Mod1+Control+S exec foo"
            << "Ctrl+Alt+s"
            << "bindsym --no-repeat --to-code Mod1+Control+S exec foo";
        QTest::newRow("a variable") << "set $mod Mod4\nbindsym $mod+Shift+e exit"
                                    << "Mod4+Shift+e"
                                    << "bindsym $mod+Shift+e exit";
        QTest::newRow("the longer variable first")
            << "set $alt Mod1\nset $altgr Mod5\nbindsym $altgr+x exec a"
            << "Alt+x"
            << "";
        QTest::newRow("inside a block") << "bindsym {\n  Ctrl+Alt+s exec foo\n}"
                                        << "Ctrl+Alt+s"
                                        << "Ctrl+Alt+s exec foo";
        QTest::newRow("a comment") << "# bindsym Ctrl+Alt+s exec foo"
                                   << "Ctrl+Alt+s"
                                   << "";
        QTest::newRow("other keys") << "bindsym Ctrl+s exec foo\nbindsym Ctrl+Alt+Shift+s exec b"
                                    << "Ctrl+Alt+s"
                                    << "";
        QTest::newRow("a single key") << "bindsym F12 exec foo"
                                      << "F12"
                                      << "bindsym F12 exec foo";
        QTest::newRow("no configuration") << ""
                                          << "Ctrl+Alt+s"
                                          << "";
    }
    void configBindings() {
        QFETCH(QString, config);
        QFETCH(QString, chord);
        QFETCH(QString, line);
        QCOMPARE(binding(config, chord), line);
    }

    // Bindings in the files the configuration includes count as the user's:
    // sway reads them where the include stands, expanded as a shell word.
    void includedConfiguration() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto write = [&](const QString &name, const QString &text) {
            QDir().mkpath(QFileInfo(dir.filePath(name)).absolutePath());
            QFile f(dir.filePath(name));
            return f.open(QIODevice::WriteOnly) && f.write(text.toUtf8()) >= 0;
        };
        const QString ran = dir.filePath(QStringLiteral("ran"));
        const QString main = QStringLiteral("font x\ninclude config.d/*\ninclude ~/sway/extra\n"
                                            "  include \"$(touch %1)\"\n")
                                 .arg(ran);
        QVERIFY(write(QStringLiteral("config"), main));
        QVERIFY(
            write(QStringLiteral("config.d/10-keys"),
                  QStringLiteral("bindsym Ctrl+Alt+s exec tarnwick --stop\ninclude ../nested")));
        QVERIFY(write(QStringLiteral("config.d/20-more"), QStringLiteral("bindsym F12 exec b")));
        // Its variable, and a way back to the main file, which is not read again.
        QVERIFY(write(QStringLiteral("nested"),
                      QStringLiteral("set $k Mod4\nbindsym $k+x exec c\ninclude config")));
        QVERIFY(write(QStringLiteral("home/sway/extra"), QStringLiteral("bindsym Ctrl+F1 exec d")));
        const QByteArray home = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(dir.filePath(QStringLiteral("home"))));
        const QString all = QString::fromStdString(wayland::withIncludes(
            main.toStdString(), dir.filePath(QStringLiteral("config")).toStdString()));
        qputenv("HOME", home);

        QCOMPARE(binding(all, QStringLiteral("Ctrl+Alt+s")),
                 QStringLiteral("bindsym Ctrl+Alt+s exec tarnwick --stop"));
        QCOMPARE(binding(all, QStringLiteral("F12")), QStringLiteral("bindsym F12 exec b"));
        QCOMPARE(binding(all, QStringLiteral("Mod4+x")), QStringLiteral("bindsym $k+x exec c"));
        QCOMPARE(binding(all, QStringLiteral("Ctrl+F1")), QStringLiteral("bindsym Ctrl+F1 exec d"));
        QCOMPARE(all.count(QStringLiteral("font x")), 1);
        QVERIFY(!QFile::exists(ran)); // read, never run
        // Without the main file's place, relative includes name nothing.
        QVERIFY(binding(QString::fromStdString(wayland::withIncludes(main.toStdString(), {})),
                        QStringLiteral("F12"))
                    .isEmpty());
    }
};

QTEST_MAIN(SwayKeysTest)
#include "unit_swaykeys.moc"
