// The Win32 input layer at run time, against a plain Win32 window of the
// test's own: what arrives there is exactly what the layer sent. Also the
// keyboard hook behind the key capture and the Ctrl+Alt+G hot key through
// the program's native event filter (hence this test links the whole app).

#include "app/globalhotkeyfilter.h"
#include "capture/keycapture.h"
#include "core/keycombination.h"
#include "platform/inputlayer.h"
#include "platform/win32/win32input.h"
#include "support/win32targetwindow.h"

#include <QApplication>
#include <QtTest>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/leanwindows.h"

using testsupport::TargetMessage;

namespace {

constexpr int kTargetX = 200;
constexpr int kTargetY = 150;

// Down in order, up in reverse, as a user presses a chord.
void tapChord(platform::InputLayer &layer, const QList<int> &keys) {
    for (int vk : keys)
        layer.keyDown(vk);
    for (auto it = keys.crbegin(); it != keys.crend(); ++it)
        layer.keyUp(*it);
}

bool isKeyMessage(unsigned message) {
    return message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
           message == WM_SYSKEYUP;
}

bool isDownMessage(unsigned message) {
    return message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
}

// "d16 d65 u65 u16": the key messages the target received, in order.
QString keyTrace(const std::vector<TargetMessage> &messages) {
    QStringList trace;
    for (const TargetMessage &m : messages) {
        if (isKeyMessage(m.message))
            trace << QStringLiteral("%1%2").arg(isDownMessage(m.message) ? 'd' : 'u').arg(m.wParam);
    }
    return trace.join(' ');
}

QString expectedTrace(const QList<int> &keys) {
    QStringList trace;
    for (int vk : keys)
        trace << QStringLiteral("d%1").arg(vk);
    for (auto it = keys.crbegin(); it != keys.crend(); ++it)
        trace << QStringLiteral("u%1").arg(*it);
    return trace.join(' ');
}

// What a raw hook procedure saw.
std::mutex hookMutex;
std::vector<std::pair<std::uintptr_t, std::uint32_t>> hookSeen;
platform::HookHandle rawHook = nullptr;

std::intptr_t rawHookProc(int code, std::uintptr_t message, std::intptr_t event) {
    if (code == platform::kHcAction && event) {
        const auto *e = reinterpret_cast<const platform::KeyboardHookEvent *>(event);
        std::lock_guard<std::mutex> lock(hookMutex);
        hookSeen.emplace_back(message, e->vkCode);
    }
    return platform::input().callNextHook(rawHook, code, message, event);
}

} // namespace

class Win32InputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void keysAndChords_data();
    void keysAndChords();
    void unicodeTextArrivesAsExactCharacters_data();
    void unicodeTextArrivesAsExactCharacters();
    void hookSeesInjectedKeys();
    void captureSwallowsKeys();
    void isDownWhileHeld();
    void hotKeyThroughTheNativeEventFilter();
    void cursorGetAndSet_data();
    void cursorGetAndSet();
    void mouseButtons_data();
    void mouseButtons();
    void releaseAllLeavesNothingHeld();

private:
    void settle() { QTest::qWait(150); }

    std::unique_ptr<platform::InputLayer> layer;
    testsupport::Win32TargetWindow target;
};

void Win32InputTest::initTestCase() {
    layer = platform::createWin32Input();
    platform::setInput(layer.get());
    QVERIFY(target.open(kTargetX, kTargetY, 500, 300));
}

void Win32InputTest::cleanupTestCase() {
    target.close();
    platform::setInput(nullptr);
    layer.reset();
}

void Win32InputTest::init() {
    // Wine gives injected keys only to the focused window (none at all while
    // nothing has the focus).
    QVERIFY(target.activate());
    target.clear();
}

void Win32InputTest::cleanup() {
    layer->releaseAll();
    settle();
}

void Win32InputTest::keysAndChords_data() {
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QString>("chars");    // WM_CHAR
    QTest::addColumn<QString>("sysChars"); // WM_SYSCHAR (with Alt)

    QTest::newRow("letter") << QList<int>{'A'} << "a"
                            << "";
    QTest::newRow("digit") << QList<int>{'7'} << "7"
                           << "";
    QTest::newRow("Shift+letter") << QList<int>{VK_SHIFT, 'Q'} << "Q"
                                  << "";
    QTest::newRow("Shift+digit") << QList<int>{VK_SHIFT, '1'} << "!"
                                 << "";
    QTest::newRow("Ctrl+letter") << QList<int>{VK_CONTROL, 'B'} << "\x02"
                                 << "";
    QTest::newRow("Enter") << QList<int>{VK_RETURN} << "\r"
                           << "";
    QTest::newRow("F5 (no character)") << QList<int>{VK_F5} << ""
                                       << "";
    QTest::newRow("Ctrl+Shift+arrow") << QList<int>{VK_CONTROL, VK_SHIFT, VK_LEFT} << ""
                                      << "";
    QTest::newRow("Alt+letter") << QList<int>{VK_MENU, 'X'} << ""
                                << "x";
}

void Win32InputTest::keysAndChords() {
    QFETCH(QList<int>, keys);
    QFETCH(QString, chars);
    QFETCH(QString, sysChars);

    tapChord(*layer, keys);
    QTRY_COMPARE(keyTrace(target.messages()), expectedTrace(keys));
    settle();
    QCOMPARE(keyTrace(target.messages()), expectedTrace(keys));
    QCOMPARE(QString::fromStdU16String(target.text()), chars);
    QString sys;
    for (const TargetMessage &m : target.messagesOf(WM_SYSCHAR))
        sys.append(QChar(char16_t(m.wParam)));
    QCOMPARE(sys, sysChars);
}

void Win32InputTest::unicodeTextArrivesAsExactCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("Japanese") << QStringLiteral("日本語のテキスト、かな漢字");
    QTest::newRow("emoji (surrogate pair)") << QStringLiteral("😀");
    QTest::newRow("mixed") << QStringLiteral("ok 東京 🎌 done!");
}

void Win32InputTest::unicodeTextArrivesAsExactCharacters() {
    QFETCH(QString, text);
    for (QChar unit : text) {
        layer->unicodeDown(unit.unicode());
        layer->unicodeUp(unit.unicode());
    }
    QTRY_COMPARE(QString::fromStdU16String(target.text()).size(), text.size());
    settle();
    QCOMPARE(QString::fromStdU16String(target.text()), text);
}

void Win32InputTest::hookSeesInjectedKeys() {
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        hookSeen.clear();
    }
    rawHook = layer->installKeyboardHook(&rawHookProc);
    QVERIFY2(rawHook, qPrintable(QString::number(layer->lastError())));
    tapChord(*layer, {VK_SHIFT, VK_F7});
    // The hook runs on this (Qt) thread while it waits.
    const std::vector<std::pair<std::uintptr_t, std::uint32_t>> expected = {
        {WM_KEYDOWN, VK_LSHIFT}, {WM_KEYDOWN, VK_F7}, {WM_KEYUP, VK_F7}, {WM_KEYUP, VK_LSHIFT}};
    QTRY_VERIFY([&] {
        std::lock_guard<std::mutex> lock(hookMutex);
        return hookSeen.size() >= expected.size();
    }());
    layer->uninstallKeyboardHook(rawHook);
    rawHook = nullptr;
    std::vector<std::pair<std::uintptr_t, std::uint32_t>> seen;
    {
        std::lock_guard<std::mutex> lock(hookMutex);
        seen = hookSeen;
    }
    QCOMPARE(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        QCOMPARE(seen[i].first, expected[i].first);
        // A low-level hook reports the side of a modifier.
        const std::uint32_t vk = seen[i].second == VK_SHIFT ? VK_LSHIFT : seen[i].second;
        QCOMPARE(vk, expected[i].second);
    }
    // Passed on: the window got them too.
    QTRY_COMPARE(keyTrace(target.messages()), expectedTrace({VK_SHIFT, VK_F7}));
}

void Win32InputTest::captureSwallowsKeys() {
    KeyCaptureState &capture = KeyCaptureState::runDialog();
    QVERIFY(capture.installKeyboardHook());
    capture.beginCapture();
    tapChord(*layer, {VK_CONTROL, VK_SHIFT, VK_F9});
    QTRY_COMPARE(capture.lastKey.load(), int(VK_F9));
    QCOMPARE(toStoredMask(capture.lastMask.load()), storedmask::Ctrl | storedmask::Shift);
    settle();
    capture.endCapture();
    // Swallowed: the focused window saw none of it.
    QCOMPARE(keyTrace(target.messages()), QString());

    // After the capture, keys go through again.
    tapChord(*layer, {VK_F9});
    QTRY_COMPARE(keyTrace(target.messages()), expectedTrace({VK_F9}));
    capture.uninstallKeyboardHook();
}

void Win32InputTest::isDownWhileHeld() {
    QVERIFY(!layer->isDown(VK_F8));
    layer->keyDown(VK_F8);
    QTRY_VERIFY(layer->isDown(VK_F8));
    QVERIFY(!layer->isDown(VK_F6));
    layer->keyUp(VK_F8);
    QTRY_VERIFY(!layer->isDown(VK_F8));
}

void Win32InputTest::hotKeyThroughTheNativeEventFilter() {
    constexpr int kId = 0x5A17;
    tarnwick::GlobalHotkeyFilter filter(kId);
    int fired = 0;
    filter.callback = [&fired] { ++fired; };
    QVERIFY(layer->registerHotKey(kId, platform::kModControl | platform::kModAlt, 'G'));
    qApp->installNativeEventFilter(&filter);

    tapChord(*layer, {VK_CONTROL, VK_MENU, 'H'}); // another chord: nothing
    tapChord(*layer, {VK_CONTROL, VK_MENU, 'G'});
    QTRY_COMPARE(fired, 1);
    settle();
    QCOMPARE(fired, 1);

    qApp->removeNativeEventFilter(&filter);
    layer->unregisterHotKey(kId);
    tapChord(*layer, {VK_CONTROL, VK_MENU, 'G'});
    settle();
    QCOMPARE(fired, 1);
}

void Win32InputTest::cursorGetAndSet_data() {
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("origin") << 0 << 0;
    QTest::newRow("inside the target") << kTargetX + 123 << kTargetY + 77;
    QTest::newRow("far corner") << 1279 << 1023;
}

void Win32InputTest::cursorGetAndSet() {
    QFETCH(int, x);
    QFETCH(int, y);
    layer->setCursorPos(x, y);
    const platform::Point p = layer->cursorPos();
    QCOMPARE(p.x, x);
    QCOMPARE(p.y, y);
}

void Win32InputTest::mouseButtons_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<unsigned>("downMessage");
    QTest::addColumn<unsigned>("upMessage");
    QTest::newRow("left") << int(platform::MouseButton::Left) << unsigned(WM_LBUTTONDOWN)
                          << unsigned(WM_LBUTTONUP);
    QTest::newRow("right") << int(platform::MouseButton::Right) << unsigned(WM_RBUTTONDOWN)
                           << unsigned(WM_RBUTTONUP);
}

void Win32InputTest::mouseButtons() {
    QFETCH(int, button);
    QFETCH(unsigned, downMessage);
    QFETCH(unsigned, upMessage);
    int x = 140;
    int y = 90;
    target.clientToScreen(x, y);
    layer->setCursorPos(x, y);
    settle();
    const auto which = static_cast<platform::MouseButton>(button);
    layer->mouseDown(which);
    QTRY_COMPARE(target.messagesOf(downMessage).size(), size_t(1));
    QVERIFY(target.messagesOf(upMessage).empty());
    layer->mouseUp(which);
    QTRY_COMPARE(target.messagesOf(upMessage).size(), size_t(1));
    for (unsigned message : {downMessage, upMessage}) {
        const TargetMessage m = target.messagesOf(message).front();
        QCOMPARE(m.x, 140);
        QCOMPARE(m.y, 90);
    }
}

void Win32InputTest::releaseAllLeavesNothingHeld() {
    int x = 60;
    int y = 60;
    target.clientToScreen(x, y);
    layer->setCursorPos(x, y);
    settle();
    const QList<int> held = {VK_SHIFT, VK_CONTROL, 'K', VK_LBUTTON, VK_RBUTTON};
    layer->keyDown(VK_SHIFT);
    layer->keyDown(VK_CONTROL);
    layer->keyDown('K');
    layer->mouseDown(platform::MouseButton::Left);
    layer->mouseDown(platform::MouseButton::Right);
    for (int vk : held)
        QTRY_VERIFY2(layer->isDown(vk), qPrintable(QString::number(vk)));

    layer->releaseAll();
    for (int vk : held)
        QTRY_VERIFY2(!layer->isDown(vk), qPrintable(QString::number(vk)));
    QTRY_COMPARE(target.messagesOf(WM_LBUTTONUP).size(), size_t(1));
    QTRY_COMPARE(target.messagesOf(WM_RBUTTONUP).size(), size_t(1));
    // Once is enough: a second call sends nothing more.
    settle();
    const size_t before = target.messages().size();
    layer->releaseAll();
    settle();
    QCOMPARE(target.messages().size(), before);
}

QTEST_MAIN(Win32InputTest)
#include "wine_win32input.moc"
