// Following keyboard grabs from the protocol as the RECORD extension reports
// it: core, XInput 1 and XInput 2 grabs granted or refused, their ends by
// ungrab, by the client going away and by the window being unmapped or
// destroyed, the probe that finds a grab of unknown origin, clients of the
// other byte order, and the key and button events marked with the state.

#include "platform/x11/x11grabtracker.h"

#include <QtTest>

#include <cstring>
#include <vector>

using platform::x11::GrabTracker;
using platform::x11::RecordedInput;

namespace {

constexpr std::uint32_t kOwn = 0x200000;
constexpr int kXi = 131;
constexpr int kKeyboardDevice = 3; // devices 2 (a pointer) and 3 (a keyboard)

// Bytes of a request or reply in a client's byte order.
class Bytes {
public:
    Bytes(bool swapped, std::size_t size) : swapped_(swapped), data_(size, 0) {}
    Bytes &u8(std::size_t at, unsigned v) {
        data_[at] = static_cast<unsigned char>(v);
        return *this;
    }
    Bytes &u16(std::size_t at, unsigned v) {
        const bool big = hostBig() != swapped_;
        data_[at] = static_cast<unsigned char>(big ? v >> 8 : v);
        data_[at + 1] = static_cast<unsigned char>(big ? v : v >> 8);
        return *this;
    }
    Bytes &u32(std::size_t at, std::uint32_t v) {
        const bool big = hostBig() != swapped_;
        return big ? u16(at, v >> 16).u16(at + 2, v & 0xFFFF)
                   : u16(at, v & 0xFFFF).u16(at + 2, v >> 16);
    }
    const unsigned char *data() const { return data_.data(); }
    std::size_t size() const { return data_.size(); }

private:
    static bool hostBig() {
        const std::uint16_t one = 1;
        unsigned char first = 0;
        std::memcpy(&first, &one, 1);
        return first == 0;
    }
    bool swapped_;
    std::vector<unsigned char> data_;
};

// Runs a script of ';'-separated steps, each "what client [numbers]":
//   grab C W / refused C W     core GrabKeyboard on window W, granted or not
//   xi2 C D W / xi1 C D W      XInput 2 / 1 grab of device D, granted
//   ungrab C / xi2un C D / xi1un C D
//   unmap W / destroy W / died C
//   probe free / probe taken   our own probe and its answer
//   asked                      our own probe, whose answer does not come
//   wait MS                    time passes
class Script {
public:
    explicit Script(bool swapped)
        : swapped_(swapped), tracker_(kOwn, kXi, [](int d) { return d == kKeyboardDevice; }) {}

    void run(const QString &script) {
        for (const QString &step : script.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            const QStringList w = step.simplified().split(QLatin1Char(' '));
            const QString what = w.value(0);
            const auto n = [&](int i) { return w.value(i).toUInt(nullptr, 0); };
            if (what == QLatin1String("grab") || what == QLatin1String("refused")) {
                grabRequest(n(1), 31, 0, 0, n(2));
                reply(n(1), true, what == QLatin1String("grab") ? 0 : 1);
            } else if (what == QLatin1String("xi2") || what == QLatin1String("xi1")) {
                grabRequest(n(1), kXi, what == QLatin1String("xi2") ? 51 : 13, n(2), n(3));
                reply(n(1), false, 0);
            } else if (what == QLatin1String("ungrab")) {
                request(n(1), Bytes(swapped_, 8).u8(0, 32).u16(2, 2));
            } else if (what == QLatin1String("xi2un")) {
                request(n(1), Bytes(swapped_, 12).u8(0, kXi).u8(1, 52).u16(8, n(2)));
            } else if (what == QLatin1String("xi1un")) {
                request(n(1), Bytes(swapped_, 12).u8(0, kXi).u8(1, 14).u8(8, n(2)));
            } else if (what == QLatin1String("unmap") || what == QLatin1String("destroy")) {
                request(
                    0x600000,
                    Bytes(swapped_, 8).u8(0, what == QLatin1String("unmap") ? 10 : 4).u32(4, n(1)));
            } else if (what == QLatin1String("died")) {
                tracker_.clientDied(n(1));
            } else if (what == QLatin1String("wait")) {
                now_ += n(1);
            } else if (what == QLatin1String("asked")) {
                tracker_.takeProbeRequest(now_);
            } else if (what == QLatin1String("probe")) {
                tracker_.takeProbeRequest(now_);
                grabRequest(kOwn, 31, 0, 0, 0x100);
                reply(kOwn, true, w.value(1) == QLatin1String("free") ? 0 : 1);
                request(kOwn, Bytes(swapped_, 8).u8(0, 32).u16(2, 2));
            }
        }
    }
    GrabTracker &tracker() { return tracker_; }
    std::int64_t now() const { return now_; }

private:
    void request(std::uint32_t client, const Bytes &bytes) {
        tracker_.request(client, ++sequence_, bytes.data(), bytes.size(), swapped_);
    }
    void grabRequest(std::uint32_t client, unsigned major, unsigned minor, unsigned device,
                     std::uint32_t window) {
        Bytes b(swapped_, 24);
        b.u8(0, major).u8(1, minor).u32(4, window);
        if (minor == 51)
            b.u16(16, device);
        else if (minor == 13)
            b.u8(17, device);
        request(client, b);
    }
    // The reply to the last request.
    void reply(std::uint32_t client, bool core, unsigned status) {
        Bytes b(swapped_, 32);
        b.u8(0, 1).u16(2, sequence_ & 0xFFFF);
        if (core)
            b.u8(1, status);
        else
            b.u8(1, 51).u8(8, status);
        tracker_.fromServer(client, b.data(), b.size(), swapped_);
    }

    bool swapped_;
    GrabTracker tracker_;
    std::uint32_t sequence_ = 0x1FFF0; // crosses the 16-bit wrap
    std::int64_t now_ = 1000000;
};

} // namespace

class GrabTrackerTest : public QObject {
    Q_OBJECT

private slots:
    void grabs_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("held");
        QTest::addColumn<bool>("probe"); // a probe is asked for now

        QTest::newRow("held until the first probe has answered") << "" << true << true;
        QTest::newRow("the probe finds the keyboard free") << "probe free" << false << false;
        QTest::newRow("the probe finds it taken") << "probe taken" << true << false;
        QTest::newRow("an unknown grab may end with any ungrab: probe again")
            << "probe taken; ungrab 0x400000" << true << true;
        QTest::newRow("an unknown grab found ended")
            << "probe taken; ungrab 0x400000; probe free" << false << false;
        QTest::newRow("core grab granted") << "probe free; grab 0x400000 0x400005" << true << false;
        QTest::newRow("core grab refused")
            << "probe free; refused 0x400000 0x400005" << false << false;
        QTest::newRow("core grab, ungrab")
            << "probe free; grab 0x400000 0x400005; ungrab 0x400000" << false << false;
        QTest::newRow("another client's ungrab does not end it")
            << "probe free; grab 0x400000 0x400005; ungrab 0x800000" << true << true;
        QTest::newRow("the grabbing client goes away")
            << "probe free; grab 0x400000 0x400005; died 0x400000" << false << false;
        QTest::newRow("its window is unmapped")
            << "probe free; grab 0x400000 0x400005; unmap 0x400005" << false << false;
        QTest::newRow("its window is destroyed")
            << "probe free; grab 0x400000 0x400005; destroy 0x400005" << false << false;
        QTest::newRow("another window unmapped: maybe an ancestor, probe")
            << "probe free; grab 0x400000 0x400005; unmap 0x400009" << true << true;
        QTest::newRow("that probe finds it free")
            << "probe free; grab 0x400000 0x400005; unmap 0x400009; probe free" << false << false;
        QTest::newRow("that probe finds it still held")
            << "probe free; grab 0x400000 0x400005; unmap 0x400009; probe taken" << true << false;
        QTest::newRow("XInput 2 keyboard grab")
            << "probe free; xi2 0x400000 3 0x400005" << true << false;
        QTest::newRow("XInput 2 pointer grab")
            << "probe free; xi2 0x400000 2 0x400005" << false << false;
        QTest::newRow("XInput 2 ungrab")
            << "probe free; xi2 0x400000 3 0x400005; xi2un 0x400000 3" << false << false;
        QTest::newRow("a core ungrab does not end an XInput 2 grab")
            << "probe free; xi2 0x400000 3 0x400005; ungrab 0x400000" << true << true;
        QTest::newRow("XInput 1 keyboard grab and ungrab")
            << "probe free; xi1 0x400000 3 0x400005; xi1un 0x400000 3" << false << false;
        QTest::newRow("XInput 1 keyboard grab")
            << "probe free; xi1 0x400000 3 0x400005" << true << false;
        // A grab may end unseen (a passive key grab ends on the key's release).
        QTest::newRow("an unknown grab is probed again after a while")
            << "probe taken; wait 500" << true << true;
        QTest::newRow("but not at once") << "probe taken; wait 499" << true << false;
        QTest::newRow("a grab seen made is not probed again")
            << "probe free; grab 0x400000 0x400005; wait 60000" << true << false;
        QTest::newRow("free keyboard: no probes") << "probe free; wait 60000" << false << false;
        QTest::newRow("a probe whose answer is lost is made again")
            << "asked; wait 2000" << true << true;
        QTest::newRow("but a slow answer is waited for")
            << "asked; ungrab 0x400000; wait 1999" << true << false;
    }
    void grabs() {
        QFETCH(QString, script);
        QFETCH(bool, held);
        QFETCH(bool, probe);
        for (bool swapped : {false, true}) {
            Script s(swapped);
            s.run(script);
            QCOMPARE(s.tracker().held(), held);
            QCOMPARE(s.tracker().takeProbeRequest(s.now()), probe);
            QVERIFY(!s.tracker().takeProbeRequest(s.now())); // asked once
        }
    }

    // Key and button events carry their time, root position and the state of
    // the moment the server handled them, in order.
    void deviceEvents() {
        Script s(false);
        const auto event = [&](unsigned type, unsigned detail, std::uint32_t time, int x, int y) {
            Bytes b(false, 32);
            b.u8(0, type)
                .u8(1, detail)
                .u32(4, time)
                .u16(20, unsigned(x) & 0xFFFF)
                .u16(22, unsigned(y) & 0xFFFF);
            s.tracker().fromServer(0, b.data(), b.size(), false);
        };
        s.run("probe free");
        event(4, 1, 0xFFFFFFF0u, 100, 200); // button press
        s.run("grab 0x400000 0x400005");
        event(2, 38, 7, -3, 1024); // key press under the grab
        s.run("ungrab 0x400000");
        event(3, 38, 9, 0, 0);
        const std::vector<RecordedInput> in = s.tracker().takeInput();
        QCOMPARE(in.size(), size_t(3));
        QVERIFY(!in[0].key && in[0].press && in[0].detail == 1 && !in[0].grabbedByOther);
        QCOMPARE(in[0].time, 0xFFFFFFF0u);
        QCOMPARE(in[0].rootX, 100);
        QCOMPARE(in[0].rootY, 200);
        QVERIFY(in[1].key && in[1].press && in[1].detail == 38 && in[1].grabbedByOther);
        QCOMPARE(in[1].rootX, -3);
        QVERIFY(in[2].key && !in[2].press && !in[2].grabbedByOther);
        QVERIFY(s.tracker().takeInput().empty());
    }
};

QTEST_APPLESS_MAIN(GrabTrackerTest)
#include "unit_x11grabtracker.moc"
