// The X11 layer on every keyboard map: a key captured through the hook is
// found again by isDown whatever the key (keypad with Num Lock on or off,
// Japanese keys, media keys, keys without a keysym); letter keys mean the
// key Windows would press on non-Latin and rearranged layouts, so the default
// stop chord (Ctrl+Alt+S) works there; text is still typed exactly; and the
// keyboard map is the user's again when the program is gone.

#include "platform/backend.h"
#include "support/useractions.h"
#include "support/xserver.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTest>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

platform::InputLayer *layer = nullptr;

struct Report {
    std::uint32_t vk;
    bool down;
};
std::vector<Report> reports;

struct RecordingListener : platform::KeyListener {
    bool onKey(const platform::KeyEvent &event) override {
        reports.push_back({static_cast<std::uint32_t>(event.vk), event.down});
        return false;
    }
} recordingHook;

bool setMap(const QStringList &args) {
    const bool ok = QProcess::execute(QStringLiteral("setxkbmap"), args) == 0;
    QTest::qWait(150); // the layer reads the new map when it next looks
    return ok;
}

struct UsMapAfterwards {
    ~UsMapAfterwards() { setMap({"-model", "pc105", "-layout", "us"}); }
};

void typeFromThread(const QString &text) {
    std::atomic<bool> done{false};
    std::thread worker([&done, text] {
        for (QChar c : text) {
            layer->unicodeDown(c.unicode());
            layer->unicodeUp(c.unicode());
        }
        done = true;
    });
    while (!done)
        QTest::qWait(5);
    worker.join();
}

QString keymapDump() {
    QProcess p;
    p.start(QStringLiteral("xmodmap"), {QStringLiteral("-pke")});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class X11KeyboardMapTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyKeyIsFoundAgain_data();
    void everyKeyIsFoundAgain();
    void letterKeysOnEveryLayout_data();
    void letterKeysOnEveryLayout();
    void keyboardMapStaysTheUsers();

private:
    std::unique_ptr<platform::Backend> owned_;
    testsupport::XServer server_;
};

void X11KeyboardMapTest::initTestCase() {
    QVERIFY(server_.ok());
    std::string error;
    owned_ = platform::createBackend("xcb", error);
    QVERIFY2(error.empty(), error.c_str());
    layer = owned_->synthesis();
}

void X11KeyboardMapTest::cleanupTestCase() {
    server_.resetState(false);
    layer = nullptr;
    owned_.reset();
}

void X11KeyboardMapTest::everyKeyIsFoundAgain_data() {
    QTest::addColumn<QStringList>("map");
    QTest::addColumn<bool>("numLock");
    const QStringList us{"-model", "pc105", "-layout", "us"};
    const QStringList jpKeysUsMap{"-model", "jp106", "-layout", "us"};
    const QStringList ru{"-model", "pc105", "-layout", "ru"};
    QTest::newRow("us, Num Lock off") << us << false;
    QTest::newRow("us, Num Lock on") << us << true;
    QTest::newRow("JP 106 keys, US map") << jpKeysUsMap << false;
    QTest::newRow("ru, Num Lock on") << ru << true;
}

void X11KeyboardMapTest::everyKeyIsFoundAgain() {
    QFETCH(QStringList, map);
    QFETCH(bool, numLock);
    UsMapAfterwards restore;
    QVERIFY(setMap(map));
    server_.resetState(numLock);
    QVERIFY(owned_->keyEvents()->addListener(&recordingHook));
    // A key after each key under test tells when the hook has seen it.
    const int marker = server_.keycodeFor("F12");
    QVERIFY(marker);
    int walked = 0;
    QStringList lost;
    for (int kc = server_.minKeycode(); kc <= server_.maxKeycode(); ++kc) {
        if (kc == marker || server_.isLockOrGroupKey(kc))
            continue;
        reports.clear();
        server_.key(kc, true);
        server_.key(marker, true);
        server_.key(marker, false);
        QTRY_VERIFY_WITH_TIMEOUT(
            !reports.empty() && reports.back().vk == 0x7B && !reports.back().down, 2000);
        // The first press seen is the key's (the previous key's release may
        // come before it); the marker's own press and release come last.
        for (size_t i = 0; i + 2 < reports.size(); ++i)
            if (reports[i].down) {
                ++walked;
                const int vk = static_cast<int>(reports[i].vk);
                if (!layer->isDown(vk))
                    lost << QStringLiteral("keycode %1 reported as 0x%2").arg(kc).arg(vk, 0, 16);
                break;
            }
        server_.key(kc, false);
        server_.resetState(numLock);
    }
    owned_->keyEvents()->removeListener(&recordingHook);
    QVERIFY2(lost.isEmpty(), qPrintable(lost.join(QStringLiteral(", "))));
    QVERIFY(walked > 100); // most keycodes of a map are reported
}

void X11KeyboardMapTest::letterKeysOnEveryLayout_data() {
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QString>("text");
    QTest::newRow("ru,us") << "ru,us"
                           << "" << u8"Стоп stop 1";
    QTest::newRow("ru") << "ru"
                        << "" << u8"Съешь же ещё abc";
    QTest::newRow("gr") << "gr"
                        << "" << u8"Καλημέρα s";
    QTest::newRow("il") << "il"
                        << "" << u8"שלום s";
    // @ and € are on the third level (AltGr) of a German map.
    QTest::newRow("de") << "de"
                        << "" << u8"Größe yz @€";
    QTest::newRow("fr") << "fr"
                        << "" << u8"été 1à2 qa";
    QTest::newRow("us(dvorak)") << "us"
                                << "dvorak"
                                << "Sort;q";
}

void X11KeyboardMapTest::letterKeysOnEveryLayout() {
    QFETCH(QString, layout);
    QFETCH(QString, variant);
    QFETCH(QString, text);
    UsMapAfterwards restore;
    QStringList args{"-model", "pc105", "-layout", layout};
    if (!variant.isEmpty())
        args << "-variant" << variant;
    QVERIFY(setMap(args));
    server_.resetState(false);
    // The key Windows presses for VK 'S' here: the key carrying a Latin s
    // in some group, else the key at the place of S on a US keyboard.
    const int sKey = server_.keycodeFor("s", "AC02");
    QVERIFY(sKey);

    layer->keyDown('S');
    // isDown's round trip has the press at the server before we look.
    QVERIFY(layer->isDown('S'));
    const std::vector<int> held = server_.pressedKeycodes();
    layer->keyUp('S');
    QCOMPARE(held, std::vector<int>{sKey});
    QVERIFY(!layer->isDown('S'));

    // The default stop chord pressed on the physical keys.
    const int ctrl = server_.keycodeFor("Control_L");
    const int alt = server_.keycodeFor("Alt_L");
    for (int kc : {ctrl, alt, sKey})
        server_.key(kc, true);
    const bool chord = layer->isDown(0x11) && layer->isDown(0x12) && layer->isDown('S');
    for (int kc : {sKey, alt, ctrl})
        server_.key(kc, false);
    QVERIFY(chord);

    QPlainTextEdit edit;
    edit.setGeometry(100, 100, 500, 200);
    QVERIFY(testsupport::activate(edit));
    typeFromThread(text);
    QTRY_COMPARE(edit.toPlainText(), text);
}

void X11KeyboardMapTest::keyboardMapStaysTheUsers() {
    UsMapAfterwards restore;
    QVERIFY(setMap({"-model", "pc105", "-layout", "us"}));
    QPlainTextEdit edit;
    edit.setGeometry(100, 100, 500, 200);
    QVERIFY(testsupport::activate(edit));
    typeFromThread(QStringLiteral("日本語を入力"));
    QTRY_COMPARE(edit.toPlainText(), QStringLiteral("日本語を入力"));
    // A new map while our bindings are in place, then another client binds
    // a keycode that is spare under the new map.
    QVERIFY(setMap({"-model", "jp106", "-layout", "jp"}));
    typeFromThread(QStringLiteral("かな漢字"));
    QTRY_COMPARE(edit.toPlainText(), QStringLiteral("日本語を入力かな漢字"));
    const QStringList spare = keymapDump().split('\n').filter(
        QRegularExpression(QStringLiteral("^keycode +\\d+ =\\s*$")));
    QVERIFY(!spare.isEmpty());
    const QString foreign = spare.first().section('=', 0, 0).trimmed();
    QCOMPARE(QProcess::execute(QStringLiteral("xmodmap"),
                               {QStringLiteral("-e"), foreign + QStringLiteral(" = F20 F21")}),
             0);
    QTest::qWait(50);
    typeFromThread(QStringLiteral("さらに入力するテキストです"));
    QTRY_COMPARE(edit.toPlainText(),
                 QStringLiteral("日本語を入力かな漢字さらに入力するテキストです"));
    layer = nullptr;
    owned_.reset(); // the program exits
    const QString withProgram = keymapDump();

    // The same changes without the program.
    QVERIFY(setMap({"-model", "jp106", "-layout", "jp"}));
    QProcess::execute(QStringLiteral("xmodmap"),
                      {QStringLiteral("-e"), foreign + QStringLiteral(" = F20 F21")});
    const QString without = keymapDump();
    QVERIFY2(withProgram.contains(foreign + QStringLiteral(" = F20 F21")),
             qPrintable(withProgram.split('\n').filter(foreign + ' ').join('|')));
    QCOMPARE(withProgram, without);

    std::string error;
    owned_ = platform::createBackend("xcb", error);
    layer = owned_->synthesis();
}

QTEST_MAIN(X11KeyboardMapTest)
#include "x11_keyboardmap.moc"
