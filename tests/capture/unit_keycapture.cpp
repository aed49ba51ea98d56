#include "capture/keycapture.h"
#include "core/keycombination.h"
#include "support/recordinginput.h"

#include <QtTest>

#include <memory>

namespace {

// Key event sequences: a positive code is a key-down, a negative one its
// key-up.
using Sequence = QList<int>;

constexpr int kShift = 16;
constexpr int kCtrl = 17;
constexpr int kLShift = 160;
constexpr int kLCtrl = 162;
constexpr int kRCtrl = 163;
constexpr int kLAlt = 164;
constexpr int kA = 65;
constexpr int kF4 = 115;
constexpr int kEsc = 27;

QString recorded(const KeyCaptureState &s) {
    const int key = s.lastKey.load();
    if (key == 0)
        return {};
    return keyCombinationText(key, toStoredMask(s.lastMask.load()));
}

} // namespace

class KeyCaptureTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::RecordingInput> input;

    static void reset(KeyCaptureState &s) {
        s.endCapture();
        s.uninstallKeyboardHook();
    }

private slots:
    void init() { input = std::make_unique<testsupport::RecordingInput>(); }
    void cleanup() {
        reset(KeyCaptureState::editor());
        reset(KeyCaptureState::runDialog());
        input.reset();
    }

    void sequences_data() {
        QTest::addColumn<Sequence>("heldBefore");
        QTest::addColumn<Sequence>("events");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("sys"); // sent as system key messages, as with Alt held
        QTest::newRow("ctrl shift then A")
            << Sequence{} << Sequence{kLCtrl, kLShift, kA} << "65,6" << false;
        QTest::newRow("alt held before the capture, then F4")
            << Sequence{kLAlt} << Sequence{kF4} << "115,1" << false;
        QTest::newRow("left ctrl alone")
            << Sequence{} << Sequence{kLCtrl, -kLCtrl} << "162,0" << false;
        QTest::newRow("ctrl shift, shift up, ctrl up")
            << Sequence{} << Sequence{kLCtrl, kLShift, -kLShift, -kLCtrl} << "162,0" << false;
        QTest::newRow("non-modifier key-up records nothing")
            << Sequence{} << Sequence{-kA} << "" << false;
        QTest::newRow("esc") << Sequence{} << Sequence{kEsc} << "27,0" << false;
        QTest::newRow("last key wins, modifiers still held")
            << Sequence{} << Sequence{kCtrl, kA, -kA, kF4} << "115,2" << false;
        QTest::newRow("a key after a lone modifier overwrites it")
            << Sequence{} << Sequence{kShift, -kShift, kA} << "65,0" << false;
        QTest::newRow("a key-up after a lone modifier keeps it")
            << Sequence{} << Sequence{kLShift, -kLShift, -kA} << "160,0" << false;
        QTest::newRow("alt then F4 as system keys")
            << Sequence{} << Sequence{kLAlt, kF4, -kF4, -kLAlt} << "115,1" << true;
    }
    void sequences() {
        QFETCH(Sequence, heldBefore);
        QFETCH(Sequence, events);
        QFETCH(QString, result);
        QFETCH(bool, sys);
        for (int vk : heldBefore)
            input->setDown(vk, true);
        KeyCaptureState &s = KeyCaptureState::editor();
        s.lastKey = 99; // what an earlier capture left
        s.lastMask = 3;
        s.beginCapture();
        QVERIFY(s.installKeyboardHook());
        for (int e : events)
            QVERIFY2(input->sendHookEvent(std::abs(e), e > 0, sys),
                     "event passed on during a capture");
        QCOMPARE(recorded(s), result);
    }

    void modifierSeenDownWinsOverKeyState() {
        // Alt is still physically down, but the hook saw Ctrl go down during
        // the capture: only what the hook saw counts.
        input->setDown(kLAlt, true);
        KeyCaptureState &s = KeyCaptureState::editor();
        s.beginCapture();
        QVERIFY(s.installKeyboardHook());
        input->sendHookEvent(kLCtrl, true);
        input->sendHookEvent(kA, true);
        QCOMPARE(recorded(s), QStringLiteral("65,2"));
    }

    void inactiveCapturePassesEverythingOn() {
        KeyCaptureState &s = KeyCaptureState::runDialog();
        QVERIFY(s.installKeyboardHook());
        s.beginCapture();
        s.endCapture();
        for (int e : {kLCtrl, kA, -kA, -kLCtrl})
            QVERIFY(!input->sendHookEvent(std::abs(e), e > 0));
        QCOMPARE(s.lastKey.load(), 0);
        QCOMPARE(s.heldModifiers.load(), 0);
    }

    void instancesAreIndependent() {
        KeyCaptureState &editor = KeyCaptureState::editor();
        KeyCaptureState &dialog = KeyCaptureState::runDialog();
        QVERIFY(dialog.installKeyboardHook()); // passes on while idle
        editor.beginCapture();
        QVERIFY(editor.installKeyboardHook()); // newest, called first
        QCOMPARE(input->hookCount(), 2);
        QVERIFY(input->sendHookEvent(kLCtrl, true));
        QVERIFY(input->sendHookEvent(kA, true));
        QCOMPARE(recorded(editor), QStringLiteral("65,2"));
        QCOMPARE(dialog.lastKey.load(), 0);
        QCOMPARE(dialog.heldModifiers.load(), 0);

        editor.endCapture();
        editor.uninstallKeyboardHook();
        dialog.beginCapture();
        QVERIFY(input->sendHookEvent(83, true));
        QCOMPARE(recorded(dialog), QStringLiteral("83,2")); // Ctrl is still down
        QCOMPARE(recorded(editor), QStringLiteral("65,2"));
    }

    void installAndUninstallAreIdempotent() {
        KeyCaptureState &s = KeyCaptureState::editor();
        QVERIFY(s.installKeyboardHook());
        QVERIFY(s.keyboardHook);
        QVERIFY(s.installKeyboardHook());
        QVERIFY(s.keyboardHook);
        QCOMPARE(input->hookCount(), 1);
        s.uninstallKeyboardHook();
        QVERIFY(!s.keyboardHook);
        QVERIFY(!input->hookInstalled());
        s.uninstallKeyboardHook();
        QVERIFY(!input->hookInstalled());
    }

    void installFailure() {
        input->failNextHookInstall(1428);
        KeyCaptureState &dialog = KeyCaptureState::runDialog();
        QTest::ignoreMessage(QtWarningMsg, "Failed to install keyboard hook. Error: 1428");
        QVERIFY(!dialog.installKeyboardHook());
        QVERIFY(!dialog.keyboardHook);

        // The editor's instance reports the failure only by its result.
        input->failNextHookInstall(5);
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".*")));
        KeyCaptureState &editor = KeyCaptureState::editor();
        editor.beginCapture();
        QVERIFY(!editor.installKeyboardHook());
        QVERIFY(!input->captureGrabActive());
        QVERIFY(!input->hookInstalled());
    }

    void grabFollowsTheCapture() {
        // Editor: capture marked active first, then the hook.
        KeyCaptureState &editor = KeyCaptureState::editor();
        editor.beginCapture();
        QVERIFY(!input->captureGrabActive());
        QVERIFY(editor.installKeyboardHook());
        QVERIFY(input->captureGrabActive());
        editor.endCapture();
        QVERIFY(!input->captureGrabActive());
        editor.uninstallKeyboardHook();

        // Dialog: hook first, capture after; the hook stays between captures.
        KeyCaptureState &dialog = KeyCaptureState::runDialog();
        QVERIFY(dialog.installKeyboardHook());
        QVERIFY(!input->captureGrabActive());
        dialog.beginCapture();
        QVERIFY(input->captureGrabActive());
        dialog.endCapture();
        QVERIFY(!input->captureGrabActive());
        dialog.beginCapture();
        QVERIFY(input->captureGrabActive());
        // Removing the hook mid-capture gives the keyboard back too.
        input->setSwallowing(&dialog, true);
        dialog.uninstallKeyboardHook();
        QVERIFY(!input->captureGrabActive());
    }

    void currentMaskFromKeyState_data() {
        QTest::addColumn<QList<int>>("down");
        QTest::addColumn<int>("mask");
        QTest::newRow("nothing") << QList<int>{} << 0;
        QTest::newRow("right ctrl") << QList<int>{163} << 1;
        QTest::newRow("right win only") << QList<int>{92} << 8;
        QTest::newRow("ctrl alt shift win") << QList<int>{162, 165, 161, 91} << 15;
        QTest::newRow("a letter is no modifier") << QList<int>{65} << 0;
    }
    void currentMaskFromKeyState() {
        QFETCH(QList<int>, down);
        QFETCH(int, mask);
        for (int vk : down)
            input->setDown(vk, true);
        QCOMPARE(currentModifierMask(), mask);
    }

    void currentMaskAsksEveryModifierInOrder() {
        // Answers "is down" for left Win only and notes every question.
        struct QueryLog : platform::InputLayer {
            QList<int> asked;
            bool isDown(int vk) override {
                asked << vk;
                return vk == 91;
            }
            void keyDown(int) override {}
            void keyUp(int) override {}
            void unicodeDown(char16_t) override {}
            void unicodeUp(char16_t) override {}
            void mouseDown(platform::MouseButton) override {}
            void mouseUp(platform::MouseButton) override {}
            platform::Point cursorPos() override { return {}; }
            void setCursorPos(int, int) override {}
            void releaseAll() override {}
        } log;
        platform::InputLayer *previous = platform::setInput(&log);
        const int mask = currentModifierMask();
        platform::setInput(previous);
        QCOMPARE(mask, 8);
        // Ctrl, Alt, Shift, left Win, right Win: the right Win key is asked
        // even when the left one is already down.
        QCOMPARE(log.asked, (QList<int>{17, 18, 16, 91, 92}));
    }
};

QTEST_GUILESS_MAIN(KeyCaptureTest)
#include "unit_keycapture.moc"
