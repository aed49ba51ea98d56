// The Win32 backend at run time, against a plain Win32 window of the test's
// own: what arrives there is exactly what the layer sent. Also the key events
// behind the key capture, and the global shortcuts behind Ctrl+Alt+G through
// the program's holder of it (hence this test links the whole app).

#include "app/globalhotkeyfilter.h"
#include "capture/keycapture.h"
#include "core/keycombination.h"
#include "platform/backend.h"
#include "support/win32targetwindow.h"

#include <QApplication>
#include <QtTest>

#include <memory>
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

// What a plain listener saw: (down, vk).
std::vector<std::pair<bool, int>> hookSeen;

struct RawListener : platform::KeyListener {
    bool onKey(const platform::KeyEvent &event) override {
        hookSeen.emplace_back(event.down, event.vk);
        return false;
    }
};

// What a button listener heard: "d1 u1" (down or up, 1 left, 2 right).
struct ButtonTrace : platform::ButtonListener {
    void onButton(const platform::ButtonEvent &event) override {
        heard << QStringLiteral("%1%2").arg(event.down ? 'd' : 'u').arg(event.vk);
    }
    QStringList heard;
};

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
    void chosenForWindowsWithItsCapabilities();
    void shortcutsAddAndRemove();
    void hotKeyThroughTheProgramsHolder();
    void cursorGetAndSet_data();
    void cursorGetAndSet();
    void mouseButtons_data();
    void mouseButtons();
    void releaseAllLeavesNothingHeld();

private:
    void settle() { QTest::qWait(150); }

    std::unique_ptr<platform::Backend> backend;
    platform::InputLayer *layer = nullptr;
    testsupport::Win32TargetWindow target;
};

void Win32InputTest::initTestCase() {
    std::string error;
    backend = platform::createBackend("windows", error);
    QVERIFY2(error.empty(), error.c_str());
    layer = backend->synthesis();
    QVERIFY(layer);
    platform::setBackend(backend.get());
    QVERIFY(target.open(kTargetX, kTargetY, 500, 300));
}

void Win32InputTest::cleanupTestCase() {
    target.close();
    platform::setBackend(nullptr);
    layer = nullptr;
    backend.reset();
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
    hookSeen.clear();
    RawListener listener;
    platform::KeyEvents *events = backend->keyEvents();
    QVERIFY2(events->addListener(&listener), qPrintable(QString::number(events->lastError())));
    tapChord(*layer, {VK_SHIFT, VK_F7});
    // The hook runs on this (Qt) thread while it waits.
    const std::vector<std::pair<bool, int>> expected = {
        {true, VK_LSHIFT}, {true, VK_F7}, {false, VK_F7}, {false, VK_LSHIFT}};
    QTRY_VERIFY(hookSeen.size() >= expected.size());
    events->removeListener(&listener);
    const std::vector<std::pair<bool, int>> seen = hookSeen;
    QCOMPARE(seen.size(), expected.size());
    for (size_t i = 0; i < seen.size(); ++i) {
        QCOMPARE(seen[i].first, expected[i].first);
        // A low-level hook reports the side of a modifier.
        const int vk = seen[i].second == VK_SHIFT ? VK_LSHIFT : seen[i].second;
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

void Win32InputTest::chosenForWindowsWithItsCapabilities() {
    const platform::Capabilities c = backend->capabilities();
    QCOMPARE(QString::fromStdString(c.name), QStringLiteral("win32"));
    QVERIFY(c.synthesis && c.keyEvents && c.swallowKeys && c.globalShortcuts && c.recording);
    QVERIFY(c.windowAccess && backend->windowAccess());
    QVERIFY(c.screenReading && backend->screenReader());
    QVERIFY(backend->keyEvents() && backend->shortcuts() && backend->createRecorder());
    // Qt's own name for this platform chooses the same backend.
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("windows"));
}

void Win32InputTest::shortcutsAddAndRemove() {
    platform::GlobalShortcuts *shortcuts = backend->shortcuts();
    int g = 0, f7 = 0;
    QVERIFY(shortcuts->add(platform::Shortcut::PositionCapture,
                           {platform::kModControl | platform::kModAlt, 'G'}, [&g] { ++g; }));
    QVERIFY(shortcuts->add(platform::Shortcut::RunStart, {platform::kModShift, VK_F7},
                           [&f7] { ++f7; }));
    tapChord(*layer, {VK_SHIFT, VK_F7});
    QTRY_COMPARE(f7, 1);
    tapChord(*layer, {VK_CONTROL, VK_MENU, 'G'});
    QTRY_COMPARE(g, 1);
    QCOMPARE(f7, 1);
    // Adding an id again replaces its chord.
    QVERIFY(shortcuts->add(platform::Shortcut::RunStart, {platform::kModShift, VK_F8},
                           [&f7] { ++f7; }));
    tapChord(*layer, {VK_SHIFT, VK_F7});
    tapChord(*layer, {VK_SHIFT, VK_F8});
    QTRY_COMPARE(f7, 2);
    shortcuts->remove(platform::Shortcut::PositionCapture);
    shortcuts->remove(platform::Shortcut::RunStart);
    tapChord(*layer, {VK_CONTROL, VK_MENU, 'G'});
    tapChord(*layer, {VK_SHIFT, VK_F8});
    settle();
    QCOMPARE(g, 1);
    QCOMPARE(f7, 2);
}

void Win32InputTest::hotKeyThroughTheProgramsHolder() {
    constexpr platform::Shortcut kId = platform::Shortcut::PositionCapture;
    int fired = 0;
    {
        tarnwick::GlobalHotkeyFilter filter(kId);
        filter.callback = [&fired] { ++fired; };
        QVERIFY(filter.add());

        tapChord(*layer, {VK_CONTROL, VK_MENU, 'H'}); // another chord: nothing
        tapChord(*layer, {VK_CONTROL, VK_MENU, 'G'});
        QTRY_COMPARE(fired, 1);
        settle();
        QCOMPARE(fired, 1);
    } // the holder gives the shortcut back
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
    QTest::addColumn<QStringList>("heard");
    QTest::newRow("left") << int(platform::MouseButton::Left) << unsigned(WM_LBUTTONDOWN)
                          << unsigned(WM_LBUTTONUP) << QStringList{"d1", "u1"};
    QTest::newRow("right") << int(platform::MouseButton::Right) << unsigned(WM_RBUTTONDOWN)
                           << unsigned(WM_RBUTTONUP) << QStringList{"d2", "u2"};
}

void Win32InputTest::mouseButtons() {
    QFETCH(int, button);
    QFETCH(unsigned, downMessage);
    QFETCH(unsigned, upMessage);
    QFETCH(QStringList, heard);
    int x = 140;
    int y = 90;
    target.clientToScreen(x, y);
    layer->setCursorPos(x, y);
    settle();
    // The mouse hook behind the Click condition hears them, and passes
    // them on.
    ButtonTrace trace;
    platform::KeyEvents *events = backend->keyEvents();
    QVERIFY2(events->addButtonListener(&trace), qPrintable(QString::number(events->lastError())));
    const auto which = static_cast<platform::MouseButton>(button);
    layer->mouseDown(which);
    QTRY_COMPARE(target.messagesOf(downMessage).size(), size_t(1));
    QVERIFY(target.messagesOf(upMessage).empty());
    layer->mouseUp(which);
    QTRY_COMPARE(target.messagesOf(upMessage).size(), size_t(1));
    QTRY_COMPARE(trace.heard, heard);
    events->removeButtonListener(&trace);
    for (unsigned message : {downMessage, upMessage}) {
        const TargetMessage m = target.messagesOf(message).front();
        QCOMPARE(m.x, 140);
        QCOMPARE(m.y, 90);
    }
    // Taken off: a later click is not heard.
    layer->mouseDown(which);
    layer->mouseUp(which);
    QTRY_COMPARE(target.messagesOf(upMessage).size(), size_t(2));
    QCOMPARE(trace.heard, heard);
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
