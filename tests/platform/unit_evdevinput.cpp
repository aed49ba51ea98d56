// The keyboard and buttons heard through the input event devices
// (evdevinput.h), with a source of scripted device events in place of
// /dev/input: which devices count, what keys they are, what is down, what
// listeners and recorders receive, and how an unplugged device lets go.

#include "platform/wayland/evdevinput.h"
#include "platform/wayland/waylandkeymap.h"

#include <QtTest>

#include <linux/input-event-codes.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>

using namespace platform::wayland;
using platform::KeyEvent;
using platform::RawInputEvent;

using Script = std::vector<DeviceEvent>;
Q_DECLARE_METATYPE(Script)
// The event codes a device can send: (type, code) pairs.
using Codes = QList<QPair<unsigned, unsigned>>;

namespace {

// Hands each pushed batch to one read, and tells when the reader has taken
// everything and come back for more.
class FakeSource final : public DeviceSource {
public:
    void push(Script batch) {
        std::lock_guard<std::mutex> lock(mutex_);
        batches_.push_back(std::move(batch));
        changed_.notify_all();
    }
    bool read(std::vector<DeviceEvent> &out, int timeoutMs) override {
        std::unique_lock<std::mutex> lock(mutex_);
        ++entered_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                          [this] { return !batches_.empty() || interrupted_; });
        interrupted_ = false;
        if (!batches_.empty()) {
            out = batches_.front();
            batches_.pop_front();
            handedAt_ = entered_;
        }
        return true;
    }
    void interrupt() override {
        std::lock_guard<std::mutex> lock(mutex_);
        interrupted_ = true;
        changed_.notify_all();
    }
    std::int64_t nowMs() const override { return 4242; }

    // True once every batch has been taken and handled.
    bool waitIdle() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(10),
                                 [this] { return batches_.empty() && entered_ > handedAt_; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Script> batches_;
    bool interrupted_ = false;
    std::uint64_t entered_ = 0;
    std::uint64_t handedAt_ = 0;
};

DeviceEvent added(int device, bool keyboard, bool mouse, std::vector<unsigned> held = {}) {
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::Added;
    e.device = device;
    e.kinds.keyboard = keyboard;
    e.kinds.mouse = mouse;
    e.held = std::move(held);
    return e;
}
DeviceEvent keyboard(int device, std::vector<unsigned> held = {}) {
    return added(device, true, false, std::move(held));
}
DeviceEvent mouse(int device) {
    return added(device, false, true);
}
DeviceEvent removed(int device, std::int64_t at) {
    DeviceEvent e;
    e.kind = DeviceEvent::Kind::Removed;
    e.device = device;
    e.timeMs = at;
    return e;
}
DeviceEvent key(int device, unsigned code, int value, std::int64_t at) {
    DeviceEvent e;
    e.device = device;
    e.type = EV_KEY;
    e.code = code;
    e.value = value;
    e.timeMs = at;
    return e;
}
DeviceEvent down(int device, unsigned code, std::int64_t at) {
    return key(device, code, 1, at);
}
DeviceEvent up(int device, unsigned code, std::int64_t at) {
    return key(device, code, 0, at);
}

QString text(const KeyEvent &e) {
    return QStringLiteral("%1%2@%3").arg(e.down ? 'd' : 'u').arg(e.vk, 0, 16).arg(e.timeMs);
}

QString text(const RawInputEvent &e) {
    using Type = RawInputEvent::Type;
    const bool isDown = e.type == Type::KeyDown || e.type == Type::ButtonDown;
    const bool isKey = e.type == Type::KeyDown || e.type == Type::KeyUp;
    QString what = isKey ? QString::number(e.vk, 16)
                         : (e.button == platform::MouseButton::Left ? QStringLiteral("L")
                                                                    : QStringLiteral("R"));
    if (!isKey && e.hasPos)
        what += QStringLiteral(" at a place");
    if (!e.text.empty())
        what += QStringLiteral(" typing");
    return QStringLiteral("%1%2@%3").arg(isDown ? 'd' : 'u').arg(what).arg(e.timeMs);
}

class Log final : public platform::KeyListener {
public:
    explicit Log(bool takes = false) : takes_(takes) {}
    bool onKey(const KeyEvent &event) override {
        events << text(event);
        if (onEvent)
            onEvent();
        return takes_;
    }
    QStringList events;
    std::function<void()> onEvent;

private:
    bool takes_;
};

class ButtonLog final : public platform::ButtonListener {
public:
    void onButton(const platform::ButtonEvent &event) override {
        events << QStringLiteral("%1%2@%3")
                      .arg(event.down ? 'd' : 'u')
                      .arg(event.vk == platform::kVkLButton ? 'L' : 'R')
                      .arg(event.timeMs);
    }
    QStringList events;
};

class RawLog final : public platform::RawInputListener {
public:
    void onRawInput(const RawInputEvent &event) override {
        events << text(event);
        if (onEvent)
            onEvent();
    }
    QStringList events;
    std::function<void()> onEvent;
};

// The codes whose state the key state cases look at.
const int kProbes[] = {0x01, 0x02, 0x0D, 0x10, 0x11, 0x12, 0x41, 0x53, 0xA0, 0xA1, 0xA2, 0xA3};

QString downProbes(EvdevInput &input) {
    QStringList held;
    for (int vk : kProbes)
        if (input.isDown(vk))
            held << QString::number(vk, 16);
    return held.join(QLatin1Char(' '));
}

struct Reader {
    Reader() {
        auto owned = std::make_unique<FakeSource>();
        source = owned.get();
        input = std::make_unique<EvdevInput>(std::move(owned));
    }
    // Plays `script` and lets queued key events reach the listeners.
    bool play(const Script &script) {
        source->push(script);
        const bool idle = source->waitIdle();
        QCoreApplication::sendPostedEvents();
        return idle;
    }
    FakeSource *source;
    std::unique_ptr<EvdevInput> input;
};

} // namespace

class EvdevInputTest : public QObject {
    Q_OBJECT

private slots:
    void deviceKinds_data() {
        QTest::addColumn<Codes>("codes");
        QTest::addColumn<bool>("keyboard");
        QTest::addColumn<bool>("mouse");
        const Codes letters{{EV_KEY, KEY_A},
                            {EV_KEY, KEY_Z},
                            {EV_KEY, KEY_SPACE},
                            {EV_KEY, KEY_LEFTCTRL},
                            {EV_KEY, KEY_ENTER}};
        const Codes mouseCodes{
            {EV_KEY, BTN_LEFT}, {EV_KEY, BTN_RIGHT}, {EV_REL, REL_X}, {EV_REL, REL_Y}};
        QTest::newRow("keyboard") << letters << true << false;
        QTest::newRow("mouse") << mouseCodes << false << true;
        QTest::newRow("touchpad") << Codes{{EV_KEY, BTN_LEFT},
                                           {EV_KEY, BTN_TOOL_FINGER},
                                           {EV_ABS, ABS_X},
                                           {EV_ABS, ABS_Y}}
                                  << false << true;
        QTest::newRow("keyboard with a touchpad")
            << letters + Codes{{EV_KEY, BTN_LEFT}, {EV_ABS, ABS_X}} << true << true;
        QTest::newRow("power button") << Codes{{EV_KEY, KEY_POWER}} << false << false;
        QTest::newRow("volume keys")
            << Codes{{EV_KEY, KEY_VOLUMEUP}, {EV_KEY, KEY_VOLUMEDOWN}, {EV_KEY, KEY_MUTE}} << false
            << false;
        QTest::newRow("touchscreen")
            << Codes{{EV_KEY, BTN_TOUCH}, {EV_ABS, ABS_X}, {EV_ABS, ABS_Y}} << false << false;
        QTest::newRow("buttons without an axis")
            << Codes{{EV_KEY, BTN_LEFT}, {EV_KEY, BTN_RIGHT}} << false << false;
        QTest::newRow("a few letters only")
            << Codes{{EV_KEY, KEY_A}, {EV_KEY, KEY_B}} << false << false;
        QTest::newRow("nothing") << Codes{} << false << false;
    }
    void deviceKinds() {
        QFETCH(Codes, codes);
        QFETCH(bool, keyboard);
        QFETCH(bool, mouse);
        const DeviceKinds kinds = classifyDevice([&codes](unsigned type, unsigned code) {
            return codes.contains(qMakePair(type, code));
        });
        QCOMPARE(kinds.keyboard, keyboard);
        QCOMPARE(kinds.mouse, mouse);
    }

    // Every key our keyboard presses is heard back as the same key.
    void heardAsPressed() {
        int keys = 0;
        for (int vk = 1; vk < 256; ++vk) {
            const unsigned code = evdevForVk(vk);
            if (code == 0 || (vk >= 0x10 && vk <= 0x12) || vk == 0x0C || vk == 0x29)
                continue;
            QCOMPARE(vkForEvdev(code), vk);
            ++keys;
        }
        QVERIFY(keys > 100);
    }

    // What listeners hear and what reads as down after each script.
    void keys_data() {
        QTest::addColumn<Script>("script");
        QTest::addColumn<QStringList>("heard");
        QTest::addColumn<QString>("held");
        QTest::addColumn<QStringList>("buttons");

        QTest::newRow("a letter pressed and let go")
            << Script{keyboard(1), down(1, KEY_A, 10), up(1, KEY_A, 20)}
            << QStringList{"d41@10", "u41@20"} << "" << QStringList{};
        QTest::newRow("modifiers are side-specific, and read as the generic key too")
            << Script{keyboard(1), down(1, KEY_RIGHTCTRL, 1), down(1, KEY_LEFTSHIFT, 2)}
            << QStringList{"da3@1", "da0@2"} << "10 11 a0 a3" << QStringList{};
        QTest::newRow("the stop chord Ctrl+Alt+S")
            << Script{keyboard(1), down(1, KEY_LEFTCTRL, 1), down(1, KEY_RIGHTALT, 2),
                      down(1, KEY_S, 3)}
            << QStringList{"da2@1", "da5@2", "d53@3"} << "11 12 53 a2" << QStringList{};
        QTest::newRow("keypad Enter reads as Return")
            << Script{keyboard(1), down(1, KEY_KPENTER, 5)} << QStringList{"dd@5"} << "d"
            << QStringList{};
        QTest::newRow("a repeat is another down")
            << Script{keyboard(1), down(1, KEY_A, 0), key(1, KEY_A, 2, 500), up(1, KEY_A, 530)}
            << QStringList{"d41@0", "d41@500", "u41@530"} << "" << QStringList{};
        QTest::newRow("keys we have no code for are left out")
            << Script{keyboard(1), down(1, KEY_POWER, 1), down(1, BTN_SIDE, 2), down(1, KEY_A, 3)}
            << QStringList{"d41@3"} << "41" << QStringList{};
        QTest::newRow("buttons are down and button events, not key events")
            << Script{mouse(2), down(2, BTN_LEFT, 1), down(2, BTN_RIGHT, 2)} << QStringList{}
            << "1 2" << QStringList{"dL@1", "dR@2"};
        QTest::newRow("a tap: both events, nothing down after")
            << Script{mouse(2), down(2, BTN_LEFT, 1), up(2, BTN_LEFT, 2)} << QStringList{} << ""
            << QStringList{"dL@1", "uL@2"};
        QTest::newRow("other buttons are left out")
            << Script{mouse(2), down(2, BTN_MIDDLE, 1), down(2, BTN_SIDE, 2), up(2, BTN_MIDDLE, 3)}
            << QStringList{} << "" << QStringList{};
        QTest::newRow("a button held on two mice: up only when both let go")
            << Script{mouse(2), mouse(4), down(2, BTN_RIGHT, 1), down(4, BTN_RIGHT, 2),
                      up(2, BTN_RIGHT, 3)}
            << QStringList{} << "2" << QStringList{"dR@1", "dR@2"};
        QTest::newRow("an unplugged mouse lets its button go")
            << Script{mouse(2), down(2, BTN_LEFT, 1), removed(2, 7)} << QStringList{} << ""
            << QStringList{"dL@1", "uL@7"};
        QTest::newRow("held when opened: down, without an event")
            << Script{keyboard(1, {KEY_LEFTCTRL}), down(1, KEY_A, 4)} << QStringList{"d41@4"}
            << "11 41 a2" << QStringList{};
        QTest::newRow("an up for a down never seen says nothing")
            << Script{keyboard(1), up(1, KEY_A, 4)} << QStringList{} << "" << QStringList{};
        QTest::newRow("held on two keyboards: up only when both let go")
            << Script{keyboard(1), keyboard(3), down(1, KEY_LEFTSHIFT, 1),
                      down(3, KEY_LEFTSHIFT, 2), up(1, KEY_LEFTSHIFT, 3)}
            << QStringList{"da0@1", "da0@2"} << "10 a0" << QStringList{};
        QTest::newRow("an unplugged keyboard lets its keys go")
            << Script{keyboard(1), down(1, KEY_LEFTCTRL, 1), down(1, KEY_A, 2), removed(1, 9)}
            << QStringList{"da2@1", "d41@2", "ua2@9", "u41@9"} << "" << QStringList{};
        QTest::newRow("events of a device gone are ignored")
            << Script{keyboard(1), removed(1, 1), down(1, KEY_A, 2)} << QStringList{} << ""
            << QStringList{};
    }
    void keys() {
        QFETCH(Script, script);
        QFETCH(QStringList, heard);
        QFETCH(QString, held);
        QFETCH(QStringList, buttons);
        Reader reader;
        Log log;
        ButtonLog buttonLog;
        QVERIFY(reader.input->keyEvents().addListener(&log));
        QVERIFY(reader.input->keyEvents().addButtonListener(&buttonLog));
        QVERIFY(reader.play(script));
        QCOMPARE(log.events, heard);
        QCOMPARE(downProbes(*reader.input), held);
        QCOMPARE(buttonLog.events, buttons);
        reader.input->keyEvents().removeListener(&log);
        reader.input->keyEvents().removeButtonListener(&buttonLog);
        QVERIFY(reader.play({mouse(9), down(9, BTN_LEFT, 99)}));
        QCOMPARE(buttonLog.events, buttons);
    }

    // Newest first; a listener that takes an event keeps it from older
    // ones; one may go while it is called; swallowing takes nothing away.
    void listenerOrder() {
        Reader reader;
        platform::KeyEvents &events = reader.input->keyEvents();
        Log older;
        Log taker(true);
        Log newest;
        QVERIFY(events.addListener(&older));
        QVERIFY(events.addListener(&taker));
        QVERIFY(events.addListener(&newest));
        newest.onEvent = [&] { events.removeListener(&newest); };
        events.setSwallowing(&taker, true);
        QVERIFY(reader.play({keyboard(1), down(1, KEY_A, 1), up(1, KEY_A, 2)}));
        QCOMPARE(newest.events, QStringList{"d41@1"});
        QCOMPARE(taker.events, (QStringList{"d41@1", "u41@2"}));
        QCOMPARE(older.events, QStringList{});
        events.removeListener(&taker);
        QVERIFY(reader.play({down(1, KEY_B, 3)}));
        QCOMPARE(older.events, QStringList{"d42@3"});
        events.removeListener(&older);
    }

    void recording_data() {
        QTest::addColumn<Script>("script");
        QTest::addColumn<QStringList>("recorded");

        QTest::newRow("keys with their times, without text")
            << Script{keyboard(1), down(1, KEY_LEFTSHIFT, 10), down(1, KEY_A, 20), up(1, KEY_A, 30),
                      up(1, KEY_LEFTSHIFT, 40)}
            << QStringList{"da0@10", "d41@20", "u41@30", "ua0@40"};
        QTest::newRow("clicks without a place")
            << Script{mouse(2), down(2, BTN_LEFT, 5), up(2, BTN_LEFT, 80), down(2, BTN_RIGHT, 90),
                      up(2, BTN_RIGHT, 95)}
            << QStringList{"dL@5", "uL@80", "dR@90", "uR@95"};
        QTest::newRow("other buttons are left out")
            << Script{mouse(2), down(2, BTN_MIDDLE, 5), up(2, BTN_MIDDLE, 6)} << QStringList{};
        QTest::newRow("a key and a click from two devices, in order")
            << Script{keyboard(1),          mouse(2),           down(1, KEY_LEFTCTRL, 1),
                      down(2, BTN_LEFT, 2), up(2, BTN_LEFT, 3), up(1, KEY_LEFTCTRL, 4)}
            << QStringList{"da2@1", "dL@2", "uL@3", "ua2@4"};
    }
    void recording() {
        QFETCH(Script, script);
        QFETCH(QStringList, recorded);
        Reader reader;
        std::unique_ptr<platform::InputRecorder> recorder = reader.input->createRecorder();
        RawLog log;
        std::string error;
        QVERIFY(recorder->start(&log, error));
        QVERIFY(reader.play(script));
        QCOMPARE(log.events, recorded);
        QCOMPARE(recorder->now(), std::int64_t(4242));
        recorder->stop();
        QVERIFY(reader.play({keyboard(7), down(7, KEY_Z, 100)}));
        QCOMPARE(log.events, recorded);
    }

    // A recording may end from its own listener (the stop chord heard).
    void recorderStopsFromItsListener() {
        Reader reader;
        std::unique_ptr<platform::InputRecorder> recorder = reader.input->createRecorder();
        RawLog log;
        log.onEvent = [&] { recorder->stop(); };
        std::string error;
        QVERIFY(recorder->start(&log, error));
        QVERIFY(reader.play({keyboard(1), down(1, KEY_A, 1), up(1, KEY_A, 2)}));
        QCOMPARE(log.events, QStringList{"d41@1"});
    }

    // Whatever is still queued for the listeners when the reader goes is
    // dropped, not delivered to a listener that may be gone too.
    void endsWithEventsQueued() {
        Log log;
        {
            Reader reader;
            QVERIFY(reader.input->keyEvents().addListener(&log));
            reader.source->push({keyboard(1), down(1, KEY_A, 1)});
            QVERIFY(reader.source->waitIdle());
        }
        QCoreApplication::sendPostedEvents();
        QCOMPARE(log.events, QStringList{});
    }
};

QTEST_GUILESS_MAIN(EvdevInputTest)
#include "unit_evdevinput.moc"
