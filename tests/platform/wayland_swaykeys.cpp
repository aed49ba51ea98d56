// Under sway, a run's keys are bound to the program's command through
// sway's IPC for the run's length, and the binding goes at its end; keys
// that sway's configuration binds already stay the user's.

#include "platform/wayland/swaykeys.h"
#include "support/waylandtarget.h"

#include <QtTest>

using namespace platform;
using testsupport::swaymsg;

namespace {

// The request of a run's stop keys, as the program makes it.
RunKeyRequest stopKeys(unsigned modifiers, int vk) {
    RunKeyRequest request;
    request.chord = Chord{modifiers, vk};
    request.command = {
        (QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwick")).toStdString(),
        "--stop"};
    return request;
}

constexpr int kStopKeys = 1;

QString bound(wayland::SwayRunKeys &keys, const RunKeyRequest &request) {
    const RunKeyAnswer answer = keys.bind(kStopKeys, request);
    return answer.way == RunKeyWay::Bound ? QString::fromStdString(answer.keys) : QString();
}

QString stopChord(const RunKeyRequest &request) {
    wayland::SwayRunKeys keys;
    const RunKeyAnswer answer = keys.ask(request);
    return answer.reachesRun() ? QString::fromStdString(answer.keys) : QString();
}

} // namespace

class SwayKeysBindingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(!qEnvironmentVariableIsEmpty("SWAYSOCK"),
                 "SWAYSOCK is not set: run through ./test.sh (scripts/sway.sh)");
        QVERIFY(wayland::createSwayRunKeys());
    }

    void bindsForTheRunsLength_data() {
        QTest::addColumn<unsigned>("modifiers");
        QTest::addColumn<int>("vk");
        QTest::addColumn<QString>("chord");
        QTest::newRow("the default") << (kModControl | kModAlt) << 0x53 << "Ctrl+Alt+s";
        QTest::newRow("shift+F12") << kModShift << 0x7B << "Shift+F12";
    }
    void bindsForTheRunsLength() {
        QFETCH(unsigned, modifiers);
        QFETCH(int, vk);
        QFETCH(QString, chord);
        {
            wayland::SwayRunKeys keys;
            QCOMPARE(bound(keys, stopKeys(modifiers, vk)), chord);
        }
        // Gone with the run: there is nothing left to unbind.
        QVERIFY(!swaymsg({QStringLiteral("unbindsym"), chord}));
        {
            wayland::SwayRunKeys keys;
            QCOMPARE(bound(keys, stopKeys(modifiers, vk)), chord);
            // Present while the run goes: sway can take it away.
            QVERIFY(swaymsg({QStringLiteral("unbindsym"), chord}));
        }
        {
            wayland::SwayRunKeys keys;
            QCOMPARE(bound(keys, stopKeys(modifiers, vk)), chord);
            keys.unbind(kStopKeys);
            QVERIFY(!swaymsg({QStringLiteral("unbindsym"), chord}));
        }
    }

    void noStopKeysNoBinding() {
        wayland::SwayRunKeys keys;
        QVERIFY(bound(keys, stopKeys(0, 0)).isEmpty());
        QCOMPARE(keys.ask(stopKeys(0, 0)).way, RunKeyWay::Unnamed);
    }

    // scripts/sway.sh binds Ctrl+Alt+F11 to a command of its own, Ctrl+Alt+F10
    // to tarnwick --stop and, in a file its configuration includes,
    // Ctrl+Alt+F9 to a command, as a user's configuration would.
    void theUsersOwnBindingStays() {
        const unsigned ctrlAlt = kModControl | kModAlt;
        {
            wayland::SwayRunKeys keys;
            QVERIFY(bound(keys, stopKeys(ctrlAlt, 0x7A)).isEmpty()); // Ctrl+Alt+F11
        }
        {
            // Bound in a file the configuration includes.
            wayland::SwayRunKeys keys;
            QVERIFY(bound(keys, stopKeys(ctrlAlt, 0x78)).isEmpty()); // Ctrl+Alt+F9
        }
        // Still sway's after the runs: it can take them away (and puts them back).
        for (const QString &keys :
             {QStringLiteral("Ctrl+Alt+F11"), QStringLiteral("Ctrl+Alt+F9")}) {
            QVERIFY(swaymsg({QStringLiteral("unbindsym"), keys}));
            QVERIFY(swaymsg(
                {QStringLiteral("bindsym"), keys, QStringLiteral("exec"), QStringLiteral("true")}));
        }
        // What stops a run: not the user's other command; their tarnwick
        // --stop; the run's own binding where the keys are free.
        QCOMPARE(stopChord(stopKeys(ctrlAlt, 0x7A)), QString());
        QCOMPARE(stopChord(stopKeys(ctrlAlt, 0x78)), QString());
        QCOMPARE(stopChord(stopKeys(ctrlAlt, 0x79)), QStringLiteral("Ctrl+Alt+F10"));
        QCOMPARE(stopChord(stopKeys(ctrlAlt, 0x53)), QStringLiteral("Ctrl+Alt+s"));
    }
};

QTEST_MAIN(SwayKeysBindingTest)
#include "wayland_swaykeys.moc"
