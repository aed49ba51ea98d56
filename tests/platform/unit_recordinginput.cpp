#include "support/recordinginput.h"

#include <QtTest>

// The recording layer is what every other test trusts; check the parts of it
// that behave like the real system (hook chaining, generic modifiers).
class RecordingInputTest : public QObject {
    Q_OBJECT

    static testsupport::RecordingInput *rec;
    static int calls;
    static std::intptr_t swallowAll(int code, std::uintptr_t message, std::intptr_t event) {
        ++calls;
        return rec->callNextHook(nullptr, code, message, event) + 1;
    }

private slots:
    void installsItselfAndRestores() {
        {
            testsupport::RecordingInput r;
            QCOMPARE(&platform::input(), static_cast<platform::InputLayer *>(&r));
        }
        QVERIFY(!platform::input().isDown(65));
        QCOMPARE(platform::input().installKeyboardHook(&swallowAll), nullptr);
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

    void hookSwallowsAndUninstalls() {
        testsupport::RecordingInput r;
        rec = &r;
        calls = 0;
        QVERIFY(!r.sendHookEvent(65, true));
        platform::HookHandle h = r.installKeyboardHook(&swallowAll);
        QVERIFY(h);
        QVERIFY(r.sendHookEvent(65, true));
        QCOMPARE(calls, 1);
        r.uninstallKeyboardHook(h);
        QVERIFY(!r.sendHookEvent(65, false));
        QCOMPARE(calls, 1);
        r.failNextHookInstall(5);
        QCOMPARE(r.installKeyboardHook(&swallowAll), nullptr);
        QCOMPARE(r.lastError(), 5ul);
    }
};

testsupport::RecordingInput *RecordingInputTest::rec = nullptr;
int RecordingInputTest::calls = 0;

QTEST_GUILESS_MAIN(RecordingInputTest)
#include "unit_recordinginput.moc"
