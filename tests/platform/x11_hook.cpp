// The X11 layer's keyboard hook, capture grab and global hot key, against a
// real Qt window on the X display.

#include "platform/inputlayer.h"
#include "support/xserver.h"

#include <QAbstractNativeEventFilter>
#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using platform::HookHandle;

namespace {

struct Seen {
    int hook; // 1: the older hook, 2: the newer
    std::uint32_t vk;
    std::uintptr_t message;
};
std::vector<Seen> seen;
platform::InputLayer *layer = nullptr;
HookHandle olderHandle = nullptr;
HookHandle newerHandle = nullptr;
bool newerPassesOn = true;

std::intptr_t olderHook(int code, std::uintptr_t message, std::intptr_t event) {
    seen.push_back({1, reinterpret_cast<platform::KeyboardHookEvent *>(event)->vkCode, message});
    return layer->callNextHook(olderHandle, code, message, event);
}

std::intptr_t newerHook(int code, std::uintptr_t message, std::intptr_t event) {
    seen.push_back({2, reinterpret_cast<platform::KeyboardHookEvent *>(event)->vkCode, message});
    if (!newerPassesOn)
        return 1;
    return layer->callNextHook(newerHandle, code, message, event);
}

int countSeen(int hook, std::uint32_t vk, std::uintptr_t message) {
    int n = 0;
    for (const Seen &s : seen)
        n += s.hook == hook && s.vk == vk && s.message == message;
    return n;
}

class HotKeyFilter : public QAbstractNativeEventFilter {
public:
    int fired = 0;
    int lastId = 0;
    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override {
        int id = 0;
        if (layer && layer->isHotKeyEvent(eventType.constData(), message, &id)) {
            ++fired;
            lastId = id;
        }
        return false;
    }
};

bool activate(QWidget &w) {
    w.show();
    if (!QTest::qWaitForWindowExposed(&w))
        return false;
    w.activateWindow(); // no window manager on the test display
    return QTest::qWaitForWindowActive(&w);
}

void tap(int vk) {
    layer->keyDown(vk);
    layer->keyUp(vk);
}

} // namespace

class X11HookTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void hookObservesWithoutSwallowing();
    void hookReportsSidesAndSystemKeys();
    void hooksAreChainedNewestFirst();
    void captureGrabTakesTheKeyboard();
    void hotKeyFiresOnceAndOnlyOnTheRoot();
    void hotKeyFiresWithCapsLockOn();
    void hotKeyHeldByAnotherClientFails();
    void hotKeyFollowsLayoutSwitch();

private:
    std::unique_ptr<platform::InputLayer> layer_;
    std::unique_ptr<QLineEdit> edit_;
};

void X11HookTest::initTestCase() {
    std::string error;
    layer_ = platform::createSystemInput(error);
    QVERIFY2(layer_, error.c_str());
    layer = layer_.get();
    edit_ = std::make_unique<QLineEdit>();
    edit_->setGeometry(100, 100, 400, 40);
    QVERIFY(activate(*edit_));
}

void X11HookTest::cleanupTestCase() {
    edit_.reset();
    layer = nullptr;
    layer_.reset();
}

void X11HookTest::init() {
    if (!edit_->isActiveWindow())
        QVERIFY(activate(*edit_));
    edit_->clear();
    seen.clear();
    newerPassesOn = true;
}

void X11HookTest::cleanup() {
    // A failed test must not leave the keyboard grabbed for the next one.
    for (HookHandle *h : {&newerHandle, &olderHandle}) {
        if (*h) {
            layer_->setCaptureGrab(*h, false);
            layer_->uninstallKeyboardHook(*h);
        }
        *h = nullptr;
    }
    layer_->unregisterHotKey(1001);
}

void X11HookTest::hookObservesWithoutSwallowing() {
    olderHandle = layer_->installKeyboardHook(olderHook);
    QVERIFY(olderHandle);
    tap('K');
    QTRY_COMPARE(countSeen(1, 'K', platform::kWmKeyUp), 1);
    QCOMPARE(countSeen(1, 'K', platform::kWmKeyDown), 1);
    QTRY_COMPARE(edit_->text(), QStringLiteral("k")); // outside a capture the key goes on
    layer_->uninstallKeyboardHook(olderHandle);
    tap('L');
    QTRY_COMPARE(edit_->text(), QStringLiteral("kl"));
    QTest::qWait(50);
    QCOMPARE(countSeen(1, 'L', platform::kWmKeyDown), 0);
}

void X11HookTest::hookReportsSidesAndSystemKeys() {
    olderHandle = layer_->installKeyboardHook(olderHook);
    QVERIFY(olderHandle);
    tap(0x10); // generic Shift goes out as the left key
    tap(0xA3); // right Ctrl
    layer_->keyDown(0x12);
    tap('X');
    layer_->keyUp(0x12);
    QTRY_COMPARE(countSeen(1, 0xA4, platform::kWmSysKeyUp), 1);
    QCOMPARE(countSeen(1, 0xA0, platform::kWmKeyDown), 1);
    QCOMPARE(countSeen(1, 0xA3, platform::kWmKeyDown), 1);
    QCOMPARE(countSeen(1, 0xA4, platform::kWmSysKeyDown), 1);
    QCOMPARE(countSeen(1, 'X', platform::kWmSysKeyDown), 1); // typed with Alt
    QCOMPARE(countSeen(1, 'X', platform::kWmSysKeyUp), 1);
    layer_->uninstallKeyboardHook(olderHandle);
}

void X11HookTest::hooksAreChainedNewestFirst() {
    olderHandle = layer_->installKeyboardHook(olderHook);
    newerHandle = layer_->installKeyboardHook(newerHook);
    QVERIFY(olderHandle && newerHandle && olderHandle != newerHandle);
    tap('M');
    QTRY_COMPARE(countSeen(1, 'M', platform::kWmKeyUp), 1);
    QCOMPARE(seen.size(), size_t(4));
    QCOMPARE(seen[0].hook, 2);
    QCOMPARE(seen[1].hook, 1);
    // A hook that does not pass on ends the chain.
    newerPassesOn = false;
    tap('N');
    QTRY_COMPARE(countSeen(2, 'N', platform::kWmKeyUp), 1);
    QCOMPARE(countSeen(1, 'N', platform::kWmKeyDown), 0);
    layer_->uninstallKeyboardHook(newerHandle);
    layer_->uninstallKeyboardHook(olderHandle);
}

void X11HookTest::captureGrabTakesTheKeyboard() {
    olderHandle = layer_->installKeyboardHook(olderHook);
    QVERIFY(olderHandle);
    layer_->setCaptureGrab(olderHandle, true);
    tap('X');
    tap(0x74); // F5
    QTRY_COMPARE(countSeen(1, 0x74, platform::kWmKeyUp), 1);
    QCOMPARE(countSeen(1, 'X', platform::kWmKeyDown), 1);
    QTest::qWait(100);
    QCOMPARE(edit_->text(), QString()); // the focused line edit got nothing

    layer_->setCaptureGrab(olderHandle, false);
    tap('Y');
    QTRY_COMPARE(edit_->text(), QStringLiteral("y"));
    QTRY_COMPARE(countSeen(1, 'Y', platform::kWmKeyDown), 1); // still observed

    // Uninstalling a hook that holds the grab lets the keyboard go too.
    layer_->setCaptureGrab(olderHandle, true);
    layer_->uninstallKeyboardHook(olderHandle);
    tap('Z');
    QTRY_COMPARE(edit_->text(), QStringLiteral("yz"));
}

void X11HookTest::hotKeyFiresOnceAndOnlyOnTheRoot() {
    HotKeyFilter filter;
    qApp->installNativeEventFilter(&filter);
    QVERIFY(layer_->registerHotKey(1001, platform::kModAlt | platform::kModControl, 'G'));
    for (int vk : {0x11, 0x12, int('G')})
        layer_->keyDown(vk);
    for (int vk : {int('G'), 0x12, 0x11})
        layer_->keyUp(vk);
    QTRY_COMPARE(filter.fired, 1);
    QCOMPARE(filter.lastId, 1001);
    QCOMPARE(edit_->text(), QString()); // grabbed: the window did not get it

    // A plain G goes to the focused window and is no hot key, nor is Shift+G.
    tap('G');
    layer_->keyDown(0x10);
    tap('G');
    layer_->keyUp(0x10);
    QTRY_COMPARE(edit_->text(), QStringLiteral("gG"));
    QTest::qWait(100);
    QCOMPARE(filter.fired, 1);

    layer_->unregisterHotKey(1001);
    for (int vk : {0x11, 0x12, int('G')})
        layer_->keyDown(vk);
    for (int vk : {int('G'), 0x12, 0x11})
        layer_->keyUp(vk);
    QTest::qWait(150);
    QCOMPARE(filter.fired, 1);
    qApp->removeNativeEventFilter(&filter);
}

void X11HookTest::hotKeyFiresWithCapsLockOn() {
    HotKeyFilter filter;
    qApp->installNativeEventFilter(&filter);
    QVERIFY(layer_->registerHotKey(1001, platform::kModAlt | platform::kModControl, 'G'));
    tap(0x14); // Caps Lock on
    for (int vk : {0x11, 0x12, int('G')})
        layer_->keyDown(vk);
    for (int vk : {int('G'), 0x12, 0x11})
        layer_->keyUp(vk);
    tap(0x14); // and off again
    QTRY_COMPARE(filter.fired, 1);
    layer_->unregisterHotKey(1001);
    qApp->removeNativeEventFilter(&filter);
}

void X11HookTest::hotKeyFollowsLayoutSwitch() {
    testsupport::XServer server;
    QVERIFY(server.ok());
    HotKeyFilter filter;
    qApp->installNativeEventFilter(&filter);
    QVERIFY(layer_->registerHotKey(1002, platform::kModAlt | platform::kModControl, 'G'));
    const int usG = server.keycodeFor("g");
    struct UsMapAfterwards {
        ~UsMapAfterwards() { QProcess::execute(QStringLiteral("setxkbmap"), {"us"}); }
    } restore;
    // Nothing is typed meanwhile: the layer notices the switch by itself.
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
    QTRY_COMPARE(filter.fired, 1);
    QTest::qWait(100);
    QCOMPARE(filter.fired, 1);
    layer_->unregisterHotKey(1002);
    qApp->removeNativeEventFilter(&filter);
}

void X11HookTest::hotKeyHeldByAnotherClientFails() {
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

    QVERIFY(!layer_->registerHotKey(1001, platform::kModAlt | platform::kModControl, 'G'));
    QCOMPARE(layer_->lastError(), 10ul); // BadAccess

    // Once the other program lets go, the hot key is ours.
    xcb_disconnect(other);
    QTest::qWait(50);
    QVERIFY(layer_->registerHotKey(1001, platform::kModAlt | platform::kModControl, 'G'));
    layer_->unregisterHotKey(1001);
}

QTEST_MAIN(X11HookTest)
#include "x11_hook.moc"
