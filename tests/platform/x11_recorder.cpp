// The X11 recorder against the real server: what is typed while another
// client holds the keyboard grab (as a password prompt does) never reaches
// the listener, which only hears that something was kept back, and typing
// after the grab ends is recorded again; clicks are placed where they
// happened even when the pointer moves on at once; and the recorder's "now"
// is on the clock of its events.

#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "support/systeminput.h"
#include "support/useractions.h"

#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

using platform::RawInputEvent;
using Type = RawInputEvent::Type;

namespace {

class Listener : public platform::RawInputListener {
public:
    void onRawInput(const RawInputEvent &event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    void onInputWithheld(std::int64_t timeMs) override {
        std::lock_guard<std::mutex> lock(mutex_);
        withheld_.push_back(timeMs);
    }
    std::vector<RawInputEvent> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    int withheld() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(withheld_.size());
    }
    // The text of every key down heard, in order.
    QString typed() const {
        QString text;
        for (const RawInputEvent &e : events())
            if (e.type == Type::KeyDown)
                text += QString::fromStdU16String(e.text);
        return text;
    }
    std::vector<RawInputEvent> buttons() const {
        std::vector<RawInputEvent> out;
        for (const RawInputEvent &e : events())
            if (e.type == Type::ButtonDown || e.type == Type::ButtonUp)
                out.push_back(e);
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<RawInputEvent> events_;
    std::vector<std::int64_t> withheld_;
};

// Another program's connection, which grabs the keyboard as a password
// prompt does.
class Prompt {
public:
    enum class Grab { Core, XInput2 };
    Prompt() : display_(XOpenDisplay(nullptr)) {}
    ~Prompt() { quit(); }
    bool grab(Grab how) {
        if (!display_)
            return false;
        const Window root = DefaultRootWindow(display_);
        window_ = XCreateSimpleWindow(display_, root, 10, 10, 200, 50, 0, 0, 0);
        XMapWindow(display_, window_);
        XSync(display_, False);
        how_ = how;
        if (how == Grab::Core)
            return XGrabKeyboard(display_, window_, False, GrabModeAsync, GrabModeAsync,
                                 CurrentTime) == GrabSuccess;
        int master = 0;
        XIGetClientPointer(display_, None, &master);
        int count = 0;
        XIDeviceInfo *info = XIQueryDevice(display_, master, &count);
        keyboard_ = info && count > 0 ? info->attachment : 0;
        XIFreeDeviceInfo(info);
        unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
        XISetMask(bits, XI_KeyPress);
        XISetMask(bits, XI_KeyRelease);
        XIEventMask mask{keyboard_, static_cast<int>(sizeof bits), bits};
        return XIGrabDevice(display_, keyboard_, window_, CurrentTime, None, XIGrabModeAsync,
                            XIGrabModeAsync, False, &mask) == GrabSuccess;
    }
    void ungrab() {
        if (how_ == Grab::Core)
            XUngrabKeyboard(display_, CurrentTime);
        else
            XIUngrabDevice(display_, keyboard_, CurrentTime);
        XSync(display_, False);
    }
    void unmap() {
        XUnmapWindow(display_, window_);
        XSync(display_, False);
    }
    // The program ends without letting go: the server ends its grab.
    void quit() {
        if (display_)
            XCloseDisplay(display_);
        display_ = nullptr;
    }

private:
    Display *display_;
    Window window_ = 0;
    Grab how_ = Grab::Core;
    int keyboard_ = 0;
};

enum class Ending { Ungrab, Quit, Unmap };

} // namespace

Q_DECLARE_METATYPE(Prompt::Grab)
Q_DECLARE_METATYPE(Ending)

class X11RecorderTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
    }
    void cleanupTestCase() { layer.reset(); }
    void cleanup() { layer->releaseAll(); }

    void nothingTypedUnderAnotherClientsGrab_data();
    void nothingTypedUnderAnotherClientsGrab();
    void grabHeldBeforeTheRecordingStarts();
    void keyGrabEndsUnseen();
    void clicksWhereTheyHappened_data();
    void clicksWhereTheyHappened();
    void nowIsOnTheEventsClock();

private:
    std::unique_ptr<platform::InputRecorder> startRecorder(Listener &listener) {
        auto recorder = platform::createRecorder();
        std::string error;
        if (!recorder->start(&listener, error)) {
            qWarning("%s", error.c_str());
            return nullptr;
        }
        return recorder;
    }

    // Taps K until the recorder hears one, which it does once it has found
    // that the keyboard is free again.
    static void expectKsHeard(const Listener &listener) {
        for (int i = 0; i < 150 && !listener.typed().endsWith(QLatin1Char('k')); ++i) {
            testsupport::tap('K');
            QTest::qWait(100);
        }
        QVERIFY(listener.typed().endsWith(QLatin1Char('k')));
    }

    testsupport::SystemInput layer;
};

void X11RecorderTest::nothingTypedUnderAnotherClientsGrab_data() {
    QTest::addColumn<Prompt::Grab>("grab");
    QTest::addColumn<Ending>("ending");
    QTest::newRow("core grab, ungrabbed") << Prompt::Grab::Core << Ending::Ungrab;
    QTest::newRow("core grab, its program ends") << Prompt::Grab::Core << Ending::Quit;
    QTest::newRow("core grab, its window unmapped") << Prompt::Grab::Core << Ending::Unmap;
    QTest::newRow("XInput 2 grab, ungrabbed") << Prompt::Grab::XInput2 << Ending::Ungrab;
    QTest::newRow("XInput 2 grab, its program ends") << Prompt::Grab::XInput2 << Ending::Quit;
}

void X11RecorderTest::nothingTypedUnderAnotherClientsGrab() {
    QFETCH(Prompt::Grab, grab);
    QFETCH(Ending, ending);
    Listener listener;
    auto recorder = startRecorder(listener);
    QVERIFY(recorder);

    testsupport::typeAscii(QStringLiteral("abc"));
    QTRY_COMPARE_WITH_TIMEOUT(listener.typed(), QStringLiteral("abc"), 10000);
    QCOMPARE(listener.withheld(), 0);

    Prompt prompt;
    QVERIFY(prompt.grab(grab));
    testsupport::typeAscii(QStringLiteral("hunter2"));
    testsupport::tap(13);
    switch (ending) {
    case Ending::Ungrab:
        prompt.ungrab();
        break;
    case Ending::Quit:
        prompt.quit();
        break;
    case Ending::Unmap:
        prompt.unmap();
        break;
    }
    testsupport::typeAscii(QStringLiteral("xyz"));
    QTRY_VERIFY_WITH_TIMEOUT(listener.typed().endsWith(QStringLiteral("xyz")), 10000);
    recorder->stop();

    QCOMPARE(listener.typed(), QStringLiteral("abcxyz"));
    QVERIFY(listener.withheld() > 0);
    // Not even the keys: no down or up of Enter nor of any key of the password.
    for (const RawInputEvent &e : listener.events())
        QVERIFY2(!QStringLiteral("HUNTER2\r").contains(QChar(e.vk)),
                 qPrintable(QString::number(e.vk)));
}

// A screen locker that grabbed before the recording began.
void X11RecorderTest::grabHeldBeforeTheRecordingStarts() {
    Prompt prompt;
    QVERIFY(prompt.grab(Prompt::Grab::Core));
    Listener listener;
    auto recorder = startRecorder(listener);
    QVERIFY(recorder);
    testsupport::typeAscii(QStringLiteral("hunter2"));
    QTRY_VERIFY_WITH_TIMEOUT(listener.withheld() > 0, 10000);
    prompt.ungrab();
    // The recorder learns that the grab of unknown origin ended by asking the
    // server, which takes a moment: keys until then are still kept back.
    expectKsHeard(listener);
    recorder->stop();
    QVERIFY(listener.typed().endsWith(QLatin1Char('k')));
    QCOMPARE(listener.typed(), QString(listener.typed().size(), QLatin1Char('k')));
}

// A window manager's key grab is active while its key is down and ends when
// the key is let go, with no request that says so.
void X11RecorderTest::keyGrabEndsUnseen() {
    Display *wm = XOpenDisplay(nullptr);
    QVERIFY(wm);
    const KeyCode f9 = XKeysymToKeycode(wm, XK_F9);
    XGrabKey(wm, f9, AnyModifier, DefaultRootWindow(wm), False, GrabModeAsync, GrabModeAsync);
    XTestFakeKeyEvent(wm, f9, True, 0);
    XSync(wm, False);
    Listener listener;
    auto recorder = startRecorder(listener);
    QVERIFY(recorder);
    testsupport::typeAscii(QStringLiteral("hunter2"));
    QTRY_VERIFY_WITH_TIMEOUT(listener.withheld() > 0, 10000);
    XTestFakeKeyEvent(wm, f9, False, 0);
    XSync(wm, False);
    expectKsHeard(listener);
    recorder->stop();
    XCloseDisplay(wm);
    QCOMPARE(listener.typed(), QString(listener.typed().size(), QLatin1Char('k')));
}

void X11RecorderTest::clicksWhereTheyHappened_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<bool>("left");
    QTest::newRow("left") << 1 << true;
    QTest::newRow("right") << 3 << false;
}

// A click at (100,100) and at once a move to (700,500): all of it reaches
// the server before the recorder reads any of it.
void X11RecorderTest::clicksWhereTheyHappened() {
    QFETCH(int, button);
    QFETCH(bool, left);
    Listener listener;
    auto recorder = startRecorder(listener);
    QVERIFY(recorder);
    Display *user = XOpenDisplay(nullptr);
    QVERIFY(user);
    XTestFakeMotionEvent(user, -1, 100, 100, CurrentTime);
    XTestFakeButtonEvent(user, static_cast<unsigned>(button), True, CurrentTime);
    XTestFakeButtonEvent(user, static_cast<unsigned>(button), False, CurrentTime);
    XTestFakeMotionEvent(user, -1, 700, 500, CurrentTime);
    XTestFakeButtonEvent(user, static_cast<unsigned>(button), True, CurrentTime);
    XTestFakeMotionEvent(user, -1, 300, 200, CurrentTime);
    XTestFakeButtonEvent(user, static_cast<unsigned>(button), False, CurrentTime);
    XSync(user, False);
    XCloseDisplay(user);
    QTRY_COMPARE_WITH_TIMEOUT(listener.buttons().size(), size_t(4), 10000);
    recorder->stop();

    const std::vector<RawInputEvent> got = listener.buttons();
    const platform::Point expected[] = {{100, 100}, {100, 100}, {700, 500}, {300, 200}};
    for (size_t i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].type, i % 2 ? Type::ButtonUp : Type::ButtonDown);
        QCOMPARE(got[i].button, left ? platform::MouseButton::Left : platform::MouseButton::Right);
        QCOMPARE(got[i].pos.x, expected[i].x);
        QCOMPARE(got[i].pos.y, expected[i].y);
    }
}

// A key pressed between two readings of "now" has its time between them
// (the readings are to the millisecond; the bound is generous).
void X11RecorderTest::nowIsOnTheEventsClock() {
    Listener listener;
    auto recorder = startRecorder(listener);
    QVERIFY(recorder);
    const std::int64_t before = recorder->now();
    QVERIFY(before >= 0);
    testsupport::tap(9);
    QTRY_VERIFY_WITH_TIMEOUT(!listener.events().empty(), 10000);
    const std::int64_t after = recorder->now();
    recorder->stop();
    const std::int64_t at = listener.events().front().timeMs;
    QVERIFY2(at >= before - 50 && at <= after + 50,
             qPrintable(QStringLiteral("%1 not in %2..%3").arg(at).arg(before).arg(after)));
}

QTEST_MAIN(X11RecorderTest)
#include "x11_recorder.moc"
