// The X11 backend chosen for Qt's "xcb" platform: what it says it can do, its
// key events and swallowing, and its global shortcuts, against a real Qt
// window on the X display.

#include "platform/backend.h"
#include "support/useractions.h"
#include "support/xserver.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Seen {
    int listener; // 1: the older listener, 2: the newer
    int vk;
    bool down;
};
std::vector<Seen> seen;

class Listener : public platform::KeyListener {
public:
    explicit Listener(int number) : number_(number) {}
    bool takes = false;
    bool onKey(const platform::KeyEvent &event) override {
        seen.push_back({number_, event.vk, event.down});
        times.push_back(event.timeMs);
        return takes;
    }
    std::vector<std::int64_t> times;

private:
    int number_;
};

int countSeen(int listener, int vk, bool down) {
    int n = 0;
    for (const Seen &s : seen)
        n += s.listener == listener && s.vk == vk && s.down == down;
    return n;
}

} // namespace

class X11BackendTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void chosenForXcbWithItsCapabilities();
    void keyEventsObserveWithoutSwallowing();
    void keyEventsReportSidesAndTimes();
    void listenersAreAskedNewestFirst();
    void swallowingTakesTheKeyboard();
    void listenerRemovesItselfWhileCalled();
    void shortcutFiresOnAUsersPress_data();
    void shortcutFiresOnAUsersPress();
    void shortcutFiresOnceAndOnlyOnTheRoot();
    void shortcutFiresWithCapsLockOn();
    void shortcutHeldByAnotherClientFails();
    void shortcutFollowsLayoutSwitch();

private:
    void tap(int vk) {
        input_->keyDown(vk);
        input_->keyUp(vk);
    }
    void chordThroughLayer() {
        for (int vk : {0x11, 0x12, int('G')})
            input_->keyDown(vk);
        for (int vk : {int('G'), 0x12, 0x11})
            input_->keyUp(vk);
    }

    std::unique_ptr<platform::Backend> backend_;
    platform::InputLayer *input_ = nullptr;
    platform::KeyEvents *events_ = nullptr;
    platform::GlobalShortcuts *shortcuts_ = nullptr;
    std::unique_ptr<QLineEdit> edit_;
    Listener older_{1};
    Listener newer_{2};
    int fired_ = 0;
};

void X11BackendTest::initTestCase() {
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("xcb"));
    std::string error;
    backend_ = platform::createBackend("xcb", error);
    QVERIFY2(error.empty(), error.c_str());
    input_ = backend_->synthesis();
    events_ = backend_->keyEvents();
    shortcuts_ = backend_->shortcuts();
    QVERIFY(input_ && events_ && shortcuts_);
    edit_ = std::make_unique<QLineEdit>();
    edit_->setGeometry(100, 100, 400, 40);
    QVERIFY(testsupport::activate(*edit_));
}

void X11BackendTest::cleanupTestCase() {
    edit_.reset();
    backend_.reset();
}

void X11BackendTest::init() {
    if (!edit_->isActiveWindow())
        QVERIFY(testsupport::activate(*edit_));
    edit_->clear();
    seen.clear();
    older_.takes = newer_.takes = false;
    older_.times.clear();
    fired_ = 0;
}

void X11BackendTest::cleanup() {
    // A failed test must not leave the keyboard grabbed for the next one.
    for (Listener *l : {&newer_, &older_}) {
        events_->setSwallowing(l, false);
        events_->removeListener(l);
    }
    shortcuts_->remove(platform::Shortcut::PositionCapture);
    shortcuts_->remove(platform::Shortcut::RunStart);
}

void X11BackendTest::chosenForXcbWithItsCapabilities() {
    const platform::Capabilities c = backend_->capabilities();
    QCOMPARE(QString::fromStdString(c.name), QStringLiteral("x11"));
    QVERIFY(c.synthesis);
    QVERIFY(c.keyEvents);
    QVERIFY(c.swallowKeys);
    QVERIFY(c.globalShortcuts);
    QVERIFY(c.recording);
    QVERIFY(c.windowAccess && backend_->windowAccess());
    QVERIFY(c.windowGeometry);
    QVERIFY(c.screenReading && backend_->screenReader());
    QVERIFY(backend_->createRecorder());
    // The run hears its keys itself, and no desktop binds them here (no
    // SWAYSOCK): nothing is bound for it.
    QCOMPARE(c.runKeys, platform::RunKeyWay::Heard);
    QVERIFY(backend_->runKeys());
    platform::RunKeyRequest stopKeys;
    stopKeys.chord = platform::Chord{platform::kModControl | platform::kModAlt, 0x53};
    QCOMPARE(backend_->runKeys()->bind(1, stopKeys).way, platform::RunKeyWay::Heard);
    backend_->runKeys()->unbind(1);
    // Its window access sees this test's own window.
    const auto id = static_cast<std::uint64_t>(edit_->window()->winId());
    platform::WindowInfo info;
    QVERIFY(backend_->windowAccess()->info(id, info));
    QCOMPARE(info.id, id);
}

void X11BackendTest::keyEventsObserveWithoutSwallowing() {
    QVERIFY(events_->addListener(&older_));
    tap('K');
    QTRY_COMPARE(countSeen(1, 'K', false), 1);
    QCOMPARE(countSeen(1, 'K', true), 1);
    QTRY_COMPARE(edit_->text(), QStringLiteral("k")); // outside a capture the key goes on
    events_->removeListener(&older_);
    tap('L');
    QTRY_COMPARE(edit_->text(), QStringLiteral("kl"));
    QTest::qWait(50);
    QCOMPARE(countSeen(1, 'L', true), 0);
}

void X11BackendTest::keyEventsReportSidesAndTimes() {
    QVERIFY(events_->addListener(&older_));
    tap(0x10); // generic Shift goes out as the left key
    tap(0xA3); // right Ctrl
    input_->keyDown(0x12);
    tap('X');
    input_->keyUp(0x12);
    QTRY_COMPARE(countSeen(1, 0xA4, false), 1);
    QCOMPARE(countSeen(1, 0xA0, true), 1);
    QCOMPARE(countSeen(1, 0xA3, true), 1);
    QCOMPARE(countSeen(1, 0xA4, true), 1);
    QCOMPARE(countSeen(1, 'X', true), 1); // typed with Alt
    QCOMPARE(countSeen(1, 'X', false), 1);
    // The server's clock: never backwards, and set.
    QVERIFY(older_.times.front() > 0);
    for (size_t i = 1; i < older_.times.size(); ++i)
        QVERIFY(older_.times[i] >= older_.times[i - 1]);
    events_->removeListener(&older_);
    // The window gets these keys too, later under load: a last key waited
    // for keeps them out of the next test's field.
    tap('Z');
    QTRY_VERIFY(edit_->text().endsWith(QLatin1Char('z')));
}

void X11BackendTest::listenersAreAskedNewestFirst() {
    QVERIFY(events_->addListener(&older_));
    QVERIFY(events_->addListener(&newer_));
    tap('M');
    QTRY_COMPARE(countSeen(1, 'M', false), 1);
    QCOMPARE(seen.size(), size_t(4));
    QCOMPARE(seen[0].listener, 2);
    QCOMPARE(seen[1].listener, 1);
    // A listener that takes the event ends the round.
    newer_.takes = true;
    tap('N');
    QTRY_COMPARE(countSeen(2, 'N', false), 1);
    QCOMPARE(countSeen(1, 'N', true), 0);
    // Taking ends the round but swallows nothing: the window still types
    // both, and waiting for that keeps the letters out of the next test.
    QTRY_COMPARE(edit_->text(), QStringLiteral("mn"));
    events_->removeListener(&newer_);
    events_->removeListener(&older_);
}

void X11BackendTest::swallowingTakesTheKeyboard() {
    QVERIFY(events_->addListener(&older_));
    events_->setSwallowing(&older_, true);
    tap('X');
    tap(0x74); // F5
    QTRY_COMPARE(countSeen(1, 0x74, false), 1);
    QCOMPARE(countSeen(1, 'X', true), 1);
    QTest::qWait(100);
    QCOMPARE(edit_->text(), QString()); // the focused line edit got nothing

    events_->setSwallowing(&older_, false);
    tap('Y');
    QTRY_COMPARE(edit_->text(), QStringLiteral("y"));
    QTRY_COMPARE(countSeen(1, 'Y', true), 1); // still observed

    // Removing a listener that swallows lets the keyboard go too.
    events_->setSwallowing(&older_, true);
    events_->removeListener(&older_);
    tap('Z');
    QTRY_COMPARE(edit_->text(), QStringLiteral("yz"));
}

void X11BackendTest::listenerRemovesItselfWhileCalled() {
    // The last listener leaving from inside onKey while it swallows: the
    // keyboard is given back and the connection closed once the call is over.
    struct Leaving : platform::KeyListener {
        platform::KeyEvents *events = nullptr;
        int calls = 0;
        bool onKey(const platform::KeyEvent &) override {
            ++calls;
            events->setSwallowing(this, false);
            events->removeListener(this);
            return true;
        }
    } leaving;
    leaving.events = events_;
    QVERIFY(events_->addListener(&leaving));
    events_->setSwallowing(&leaving, true);
    tap('P');
    QTRY_COMPARE(leaving.calls, 1);
    tap('Q');
    QTRY_COMPARE(edit_->text(), QStringLiteral("q")); // the keyboard is free again
    QCOMPARE(leaving.calls, 1);
    // And listening starts over afresh.
    QVERIFY(events_->addListener(&older_));
    tap('R');
    QTRY_COMPARE(countSeen(1, 'R', false), 1);
    QTRY_COMPARE(edit_->text(), QStringLiteral("qr"));
    events_->removeListener(&older_);
}

void X11BackendTest::shortcutFiresOnAUsersPress_data() {
    QTest::addColumn<unsigned>("modifiers");
    QTest::addColumn<int>("vk");
    QTest::addColumn<QStringList>("keys"); // keysyms pressed in order, released in reverse
    QTest::newRow("Ctrl+Alt+G") << (platform::kModControl | platform::kModAlt) << int('G')
                                << QStringList{"Control_L", "Alt_L", "g"};
    QTest::newRow("Shift+F7") << platform::kModShift << 0x76 << QStringList{"Shift_L", "F7"};
    QTest::newRow("Ctrl+Shift+1") << (platform::kModControl | platform::kModShift) << int('1')
                                  << QStringList{"Control_R", "Shift_R", "1"};
}

void X11BackendTest::shortcutFiresOnAUsersPress() {
    QFETCH(unsigned, modifiers);
    QFETCH(int, vk);
    QFETCH(QStringList, keys);
    testsupport::XServer server;
    QVERIFY(server.ok());
    QVERIFY(shortcuts_->add(platform::Shortcut::PositionCapture, {modifiers, vk},
                            [this] { ++fired_; }));
    std::vector<int> keycodes;
    for (const QString &k : keys) {
        keycodes.push_back(server.keycodeFor(k.toLatin1().constData()));
        QVERIFY(keycodes.back());
    }
    auto press = [&] {
        for (int kc : keycodes)
            server.key(kc, true);
        for (auto it = keycodes.rbegin(); it != keycodes.rend(); ++it)
            server.key(*it, false);
        server.sync();
    };
    press();
    QTRY_COMPARE(fired_, 1);
    QCOMPARE(edit_->text(), QString()); // grabbed: the window did not get it
    press();
    QTRY_COMPARE(fired_, 2);
    // Removed, the callback is not called again.
    shortcuts_->remove(platform::Shortcut::PositionCapture);
    press();
    QTest::qWait(150);
    QCOMPARE(fired_, 2);
}

void X11BackendTest::shortcutFiresOnceAndOnlyOnTheRoot() {
    int other = 0;
    QVERIFY(shortcuts_->add(platform::Shortcut::PositionCapture,
                            {platform::kModAlt | platform::kModControl, 'G'},
                            [this] { ++fired_; }));
    QVERIFY(shortcuts_->add(platform::Shortcut::RunStart,
                            {platform::kModAlt | platform::kModControl, 'H'},
                            [&other] { ++other; }));
    chordThroughLayer();
    QTRY_COMPARE(fired_, 1);
    QCOMPARE(other, 0);
    QCOMPARE(edit_->text(), QString()); // grabbed: the window did not get it

    // A plain G goes to the focused window and is no shortcut, nor is Shift+G.
    tap('G');
    input_->keyDown(0x10);
    tap('G');
    input_->keyUp(0x10);
    QTRY_COMPARE(edit_->text(), QStringLiteral("gG"));
    QTest::qWait(100);
    QCOMPARE(fired_, 1);

    shortcuts_->remove(platform::Shortcut::PositionCapture);
    chordThroughLayer();
    QTest::qWait(150);
    QCOMPARE(fired_, 1);
    shortcuts_->remove(platform::Shortcut::RunStart);
}

void X11BackendTest::shortcutFiresWithCapsLockOn() {
    QVERIFY(shortcuts_->add(platform::Shortcut::PositionCapture,
                            {platform::kModAlt | platform::kModControl, 'G'},
                            [this] { ++fired_; }));
    tap(0x14); // Caps Lock on
    chordThroughLayer();
    tap(0x14); // and off again
    QTRY_COMPARE(fired_, 1);
    shortcuts_->remove(platform::Shortcut::PositionCapture);
}

void X11BackendTest::shortcutFollowsLayoutSwitch() {
    testsupport::XServer server;
    QVERIFY(server.ok());
    QVERIFY(shortcuts_->add(platform::Shortcut::RunStart,
                            {platform::kModAlt | platform::kModControl, 'G'},
                            [this] { ++fired_; }));
    const int usG = server.keycodeFor("g");
    struct UsMapAfterwards {
        ~UsMapAfterwards() { QProcess::execute(QStringLiteral("setxkbmap"), {"us"}); }
    } restore;
    // Nothing is typed meanwhile: the backend notices the switch by itself.
    QCOMPARE(QProcess::execute(QStringLiteral("setxkbmap"), {"us", "dvorak"}), 0);
    QTest::qWait(600);
    const int dvorakG = server.keycodeFor("g");
    QVERIFY(dvorakG != usG);
    auto chord = [&server](int keycode) {
        const int ctrl = server.keycodeFor("Control_L"), alt = server.keycodeFor("Alt_L");
        for (int kc : {ctrl, alt, keycode})
            server.key(kc, true);
        for (int kc : {keycode, alt, ctrl})
            server.key(kc, false);
    };
    chord(usG); // now another letter
    chord(dvorakG);
    QTRY_COMPARE(fired_, 1);
    QTest::qWait(100);
    QCOMPARE(fired_, 1);
    shortcuts_->remove(platform::Shortcut::RunStart);
}

void X11BackendTest::shortcutHeldByAnotherClientFails() {
    // Another program grabs Ctrl+Alt+G first.
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    QVERIFY(!xcb_connection_has_error(other));
    const xcb_setup_t *setup = xcb_get_setup(other);
    const xcb_window_t root = xcb_setup_roots_iterator(setup).data->root;
    // Find G's keycode from the core map.
    const xcb_keycode_t min = setup->min_keycode, max = setup->max_keycode;
    xcb_get_keyboard_mapping_reply_t *map = xcb_get_keyboard_mapping_reply(
        other, xcb_get_keyboard_mapping(other, min, static_cast<uint8_t>(max - min + 1)), nullptr);
    QVERIFY(map);
    const xcb_keysym_t *syms = xcb_get_keyboard_mapping_keysyms(map);
    xcb_keycode_t g = 0;
    for (int kc = min; kc <= max && !g; ++kc)
        if (syms[(kc - min) * map->keysyms_per_keycode] == 'g')
            g = static_cast<xcb_keycode_t>(kc);
    free(map);
    QVERIFY(g);
    xcb_generic_error_t *error = xcb_request_check(
        other, xcb_grab_key_checked(other, 0, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1, g,
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    QVERIFY(!error);

    const platform::Chord chord{platform::kModAlt | platform::kModControl, 'G'};
    QVERIFY(!shortcuts_->add(platform::Shortcut::PositionCapture, chord, [this] { ++fired_; }));
    QCOMPARE(shortcuts_->lastError(), 10ul); // BadAccess

    // Once the other program lets go, the shortcut is ours.
    xcb_disconnect(other);
    QTest::qWait(50);
    QVERIFY(shortcuts_->add(platform::Shortcut::PositionCapture, chord, [this] { ++fired_; }));
    chordThroughLayer();
    QTRY_COMPARE(fired_, 1);
    shortcuts_->remove(platform::Shortcut::PositionCapture);
}

QTEST_MAIN(X11BackendTest)
#include "x11_backend.moc"
