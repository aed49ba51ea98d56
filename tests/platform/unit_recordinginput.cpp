#include "support/recordinginput.h"

#include <QtTest>

// The recording backend is what every other test trusts; check the parts of
// it that behave like the real system (listeners newest first, generic
// modifiers, shortcuts).
class RecordingInputTest : public QObject {
    Q_OBJECT

    struct Counting : platform::KeyListener {
        int calls = 0;
        bool takes = true;
        bool onKey(const platform::KeyEvent &) override {
            ++calls;
            return takes;
        }
    };

private slots:
    void installsItselfAndRestores() {
        {
            testsupport::RecordingInput r;
            QCOMPARE(&platform::input(), static_cast<platform::InputLayer *>(&r));
            QCOMPARE(&platform::backend(), static_cast<platform::Backend *>(&r));
            QCOMPARE(QString::fromStdString(platform::backend().capabilities().name),
                     QStringLiteral("recording"));
        }
        QVERIFY(!platform::input().isDown(65));
        QCOMPARE(platform::backend().keyEvents(), nullptr);
        QCOMPARE(platform::backend().shortcuts(), nullptr);
    }

    void genericModifiersFollowEitherSide() {
        testsupport::RecordingInput r;
        r.setDown(0xA3, true);
        QVERIFY(r.isDown(0x11));
        QVERIFY(!r.isDown(0x12));
        r.keyDown(0xA4);
        QVERIFY(r.isDown(0x12));
        r.keyUp(0xA4);
        QVERIFY(!r.isDown(0x12));
        QCOMPARE(r.eventTexts(), (std::vector<std::string>{"keyDown 164", "keyUp 164"}));
    }

    void listenerSwallowsAndIsRemoved() {
        testsupport::RecordingInput r;
        Counting older, newer;
        QVERIFY(!r.sendHookEvent(65, true));
        QVERIFY(r.addListener(&older));
        QVERIFY(r.addListener(&newer));
        QVERIFY(r.sendHookEvent(65, true));
        QCOMPARE(newer.calls, 1);
        QCOMPARE(older.calls, 0); // the newer one took it
        newer.takes = false;
        QVERIFY(r.sendHookEvent(65, false));
        QCOMPARE(older.calls, 1);
        r.removeListener(&older);
        r.removeListener(&newer);
        QVERIFY(!r.sendHookEvent(65, false));
        QCOMPARE(older.calls + newer.calls, 3);
        r.failNextHookInstall(5);
        QVERIFY(!r.addListener(&older));
        QCOMPARE(r.lastError(), 5ul);
        QVERIFY(!r.hookInstalled());
    }

    void swallowingEndsWithTheListener() {
        testsupport::RecordingInput r;
        Counting listener;
        QVERIFY(r.addListener(&listener));
        r.setSwallowing(&listener, true);
        QVERIFY(r.captureGrabActive());
        r.removeListener(&listener);
        QVERIFY(!r.captureGrabActive());
    }

    void shortcutsFireUntilRemoved() {
        testsupport::RecordingInput r;
        int fired = 0;
        constexpr auto kMine = platform::Shortcut::PositionCapture;
        constexpr auto kOther = platform::Shortcut::RunStart;
        const platform::Chord chord{platform::kModControl | platform::kModAlt, 'G'};
        QVERIFY(!r.fireShortcut(kMine));
        QVERIFY(r.add(kMine, chord, [&fired] { ++fired; }));
        QVERIFY(r.hotKeyRegistered());
        QCOMPARE(r.hotKeyChord(kMine).vk, int('G'));
        QVERIFY(r.fireShortcut(kMine));
        QVERIFY(!r.fireShortcut(kOther));
        QCOMPARE(fired, 1);
        r.remove(kMine);
        QVERIFY(!r.fireShortcut(kMine));
        QCOMPARE(fired, 1);
        r.setHotKeyAvailable(false);
        QVERIFY(!r.add(kMine, chord, [&fired] { ++fired; }));
        QVERIFY(!r.hotKeyRegistered());
    }
};

QTEST_GUILESS_MAIN(RecordingInputTest)
#include "unit_recordinginput.moc"
