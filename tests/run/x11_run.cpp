// End to end on a real X server: a run moves the pointer onto a window's
// button, clicks it, types into its text field, and is ended by the stop
// combination sent through the X11 layer; nothing stays down afterwards.
// Clicks too quick for any polling meet a Click condition; pages whose
// typing overlaps lose no character, and a key one page holds stays held.

#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/x11/x11input.h"
#include "run/run.h"
#include "support/useractions.h"

#include <QHash>
#include <QKeyEvent>
#include <QKeySequence>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QWidget>
#include <QtTest>

#include <atomic>
#include <memory>
#include <string>

namespace {

QStringList pointerTo(const QWidget *widget) {
    const QPoint p = widget->mapToGlobal(widget->rect().center());
    return {"マウスポインター", QString::number(p.x()), QString::number(p.y())};
}

RunSettings settings(int runCount, const QString &stopCommand) {
    RunSettings s;
    s.startDelay = 0;
    s.runCount = runCount;
    s.stopCommand = stopCommand;
    return s;
}

// The whole X11 backend, as the program installs it (key and button events
// included), for as long as it lives; then the bare layer again.
class InstalledBackend {
public:
    explicit InstalledBackend(platform::InputLayer *layer) : layer_(layer) {
        std::string error;
        backend_ = platform::createBackend("xcb", error);
        if (backend_->capabilities().keyEvents)
            platform::setBackend(backend_.get());
    }
    ~InstalledBackend() {
        platform::setBackend(nullptr);
        platform::setInput(layer_);
    }
    bool ok() const { return backend_->capabilities().keyEvents; }
    platform::InputLayer &input() { return *backend_->synthesis(); }

private:
    platform::InputLayer *layer_;
    std::unique_ptr<platform::Backend> backend_;
};

// A window of the test's own: the text it was typed and, for the keys it is
// asked about, each press and release named by the key and by which of the
// keycodes seen for that key it came through ("+A1", "-A1", "+A2"...), and
// whether Ctrl was down then ("+A1 ctrl").
class KeyLog : public QWidget {
public:
    explicit KeyLog(QList<int> watched = {}) : watched_(std::move(watched)) {
        setFocusPolicy(Qt::StrongFocus);
        setGeometry(100, 100, 300, 200);
    }
    QString text;
    QStringList events;

protected:
    void keyPressEvent(QKeyEvent *e) override {
        text += e->text();
        note(e, '+');
    }
    void keyReleaseEvent(QKeyEvent *e) override { note(e, '-'); }

private:
    void note(QKeyEvent *e, char sign) {
        if (!watched_.contains(e->key()) || e->isAutoRepeat())
            return;
        QList<quint32> &codes = codes_[e->key()];
        if (!codes.contains(e->nativeScanCode()))
            codes.append(e->nativeScanCode());
        events << QStringLiteral("%1%2%3%4")
                      .arg(QLatin1Char(sign))
                      .arg(QKeySequence(e->key()).toString())
                      .arg(codes.indexOf(e->nativeScanCode()) + 1)
                      .arg(e->modifiers() & Qt::ControlModifier ? " ctrl" : "");
    }
    QList<int> watched_;
    QHash<int, QList<quint32>> codes_;
};

} // namespace

class X11RunTest : public QObject {
    Q_OBJECT

    std::unique_ptr<platform::InputLayer> layer;

    bool runToEnd(Run &run, int timeoutMs) {
        std::atomic<bool> done{false};
        connect(
            &run, &Run::finished, &run, [&done] { done = true; }, Qt::DirectConnection);
        run.start();
        return QTest::qWaitFor([&done] { return done.load(); }, timeoutMs);
    }

    bool anythingDown() {
        for (int vk = 1; vk < 255; ++vk) {
            if (vk != platform::kVkLButton && vk != platform::kVkRButton && layer->isDown(vk))
                return true;
        }
        return layer->isDown(platform::kVkLButton) || layer->isDown(platform::kVkRButton);
    }

private slots:
    void initTestCase() {
        std::string error;
        layer = platform::x11::X11Input::create(error);
        QVERIFY2(layer, error.c_str());
        platform::setInput(layer.get());
    }
    void cleanupTestCase() {
        if (layer)
            layer->releaseAll();
        platform::setInput(nullptr);
        layer.reset();
    }

    void clicksAndTypesIntoAWindow() {
        QWidget window;
        window.setGeometry(100, 100, 400, 300);
        QPushButton button(QStringLiteral("Press"), &window);
        button.setGeometry(20, 20, 120, 40);
        QPlainTextEdit edit(&window);
        edit.setGeometry(20, 80, 360, 180);
        int clicks = 0;
        connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        const QStringList waitOver{"終わるまで待つ", "0.1"};
        Run run;
        QVERIFY(run.prepare(settings(1, QStringLiteral("なし")),
                            {pointerTo(&button),
                             {"クリック", "左", "0.05"},
                             pointerTo(&edit),
                             {"クリック", "左", "0.05"},
                             {"入力", "こんにちは, world\n", "0.5"}},
                            {{"時間", "0.1"}, waitOver, {"時間", "0.1"}, waitOver, waitOver},
                            QStringLiteral("x11")));
        QVERIFY(runToEnd(run, 10000));
        QTRY_COMPARE_WITH_TIMEOUT(edit.toPlainText(), QStringLiteral("こんにちは, world\n"), 3000);
        QCOMPARE(clicks, 1);
        QVERIFY(!anythingDown());
    }

    void stopCombinationEndsAnEndlessRun() {
        Run run;
        QVERIFY(run.prepare(settings(114514, QStringLiteral("83,3")),
                            {{"キー", "70,0", "0.02"}, {"クリック", "左", "0.02"}},
                            {{"時間", "0.01"}, {"時間", "0.01"}}, QStringLiteral("x11")));
        std::atomic<bool> done{false};
        connect(
            &run, &Run::finished, &run, [&done] { done = true; }, Qt::DirectConnection);
        run.start();
        QTest::qWait(300);
        QVERIFY(!done.load());
        // The stop combination as a user would type it, through XTest.
        layer->keyDown(0xA2);
        layer->keyDown(0xA4);
        layer->keyDown(83);
        const bool stopped = QTest::qWaitFor([&done] { return done.load(); }, 2000);
        layer->keyUp(83);
        layer->keyUp(0xA4);
        layer->keyUp(0xA2);
        QVERIFY(stopped);
        QTRY_VERIFY_WITH_TIMEOUT(!anythingDown(), 1000);
    }

    // Clicks shorter than any polling interval (xdotool presses and releases
    // at once) meet the Click condition; a button held when the condition
    // starts meets it at once.
    void clickConditionHearsQuickClicks_data() {
        QTest::addColumn<bool>("heldAtStart");
        QTest::newRow("three quick clicks") << false;
        QTest::newRow("held when the condition starts") << true;
    }
    void clickConditionHearsQuickClicks() {
        QFETCH(bool, heldAtStart);
        InstalledBackend backend(layer.get());
        QVERIFY(backend.ok());
        layer->setCursorPos(300, 300);
        std::atomic<bool> done{false};
        Run run;
        connect(
            &run, &Run::finished, &run, [&done] { done = true; }, Qt::DirectConnection);
        QVERIFY(run.prepare(settings(1, QStringLiteral("なし")),
                            {{"なし"}, {"マウスポインター", "33", "44"}},
                            {{"クリック", "左"}, {"即時"}}, QStringLiteral("x11")));
        if (heldAtStart)
            backend.input().mouseDown(platform::MouseButton::Left);
        run.start();
        if (heldAtStart) {
            QTRY_COMPARE_WITH_TIMEOUT(layer->cursorPos().x, 33, 3000);
            backend.input().mouseUp(platform::MouseButton::Left);
        } else {
            QTest::qWait(300);
            QCOMPARE(layer->cursorPos().x, 300);
            for (int i = 0; i < 3; ++i)
                QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), {"click", "1"}), 0);
            QTRY_COMPARE_WITH_TIMEOUT(layer->cursorPos().x, 33, 3000);
        }
        QVERIFY(QTest::qWaitFor([&done] { return done.load(); }, 5000));
        QTRY_VERIFY_WITH_TIMEOUT(!anythingDown(), 1000);
    }

    // Many quick Enter Text pages that do not wait for each other: every
    // character arrives, in page order.
    void overlappingTypingLosesNothing_data() {
        QTest::addColumn<QString>("letters");
        QTest::newRow("one letter") << QString(300, QLatin1Char('a'));
        QString alphabet;
        for (int i = 0; i < 300; ++i)
            alphabet += QChar(u'a' + i % 26);
        QTest::newRow("a to z") << alphabet;
    }
    void overlappingTypingLosesNothing() {
        QFETCH(QString, letters);
        KeyLog window;
        QVERIFY(testsupport::activate(window));
        QList<QStringList> commands;
        for (QChar c : letters)
            commands << QStringList{"入力", QString(c), "0.001"};
        Run run;
        QVERIFY(run.prepare(settings(1, QStringLiteral("なし")), commands,
                            QList<QStringList>(commands.size(), QStringList{"即時"}),
                            QStringLiteral("x11")));
        QVERIFY(runToEnd(run, 30000));
        QTRY_COMPARE_WITH_TIMEOUT(window.text.size(), letters.size(), 5000);
        QCOMPARE(window.text, letters);
        QVERIFY(!anythingDown());
    }

    // What one page holds stays down until that page lets go, whatever
    // another page types or holds meanwhile.
    void heldKeysStayHeld_data() {
        QTest::addColumn<QList<QStringList>>("commands");
        QTest::addColumn<QList<QStringList>>("conditions");
        QTest::addColumn<QList<int>>("watched");
        QTest::addColumn<QStringList>("events");
        const QList<QStringList> typeAWhileHeld{{"時間", "0.3"}, {"終わるまで待つ", "0"}};
        QTest::newRow("a typed while A is held")
            << QList<QStringList>{{"キー", "65,0", "1.5"}, {"入力", "a", "0.01"}} << typeAWhileHeld
            << QList<int>{Qt::Key_A} << QStringList{"+A1", "+A2", "-A2", "-A1"};
        QTest::newRow("a typed while Ctrl+Shift+A is held")
            << QList<QStringList>{{"キー", "65,6", "1.5"}, {"入力", "a", "0.01"}} << typeAWhileHeld
            << QList<int>{Qt::Key_A} << QStringList{"+A1 ctrl", "+A2 ctrl", "-A2 ctrl", "-A1 ctrl"};
        // The first page lets go of its Ctrl long before the second does.
        QTest::newRow("Ctrl held by two pages")
            << QList<QStringList>{{"キー", "65,2", "0.2"}, {"キー", "66,2", "1"}}
            << QList<QStringList>{{"即時"}, {"終わるまで待つ", "0"}} << QList<int>{Qt::Key_B}
            << QStringList{"+B1 ctrl", "-B1 ctrl"};
    }
    void heldKeysStayHeld() {
        QFETCH(QList<QStringList>, commands);
        QFETCH(QList<QStringList>, conditions);
        QFETCH(QList<int>, watched);
        QFETCH(QStringList, events);
        KeyLog window(watched);
        QVERIFY(testsupport::activate(window));
        Run run;
        QVERIFY(run.prepare(settings(1, QStringLiteral("なし")), commands, conditions,
                            QStringLiteral("x11")));
        QVERIFY(runToEnd(run, 10000));
        QTRY_COMPARE_WITH_TIMEOUT(window.events.size(), events.size(), 3000);
        QCOMPARE(window.events, events);
        QVERIFY(!anythingDown());
    }

    void keysHeardThroughTheBackendsKeyEvents() {
        // The whole backend, as the program installs it: the run listens to
        // its XInput2 key events instead of polling.
        InstalledBackend backend(layer.get());
        QVERIFY(backend.ok());
        platform::InputLayer &keys = backend.input();

        layer->setCursorPos(300, 300);
        std::atomic<bool> done{false};
        {
            Run run;
            connect(
                &run, &Run::finished, &run, [&done] { done = true; }, Qt::DirectConnection);
            QVERIFY(run.prepare(settings(114514, QStringLiteral("83,3")),
                                {{"なし"}, {"マウスポインター", "33", "44"}},
                                {{"キー", "65,2"}, {"時間", "0.01"}}, QStringLiteral("x11")));
            QVERIFY(!run.checkerThread_);
            run.start();
            QTest::qWait(300);
            QCOMPARE(layer->cursorPos().x, 300);
            // Ctrl+A typed: the Key condition is met when A comes up.
            keys.keyDown(0xA2);
            keys.keyDown(65);
            keys.keyUp(65);
            keys.keyUp(0xA2);
            QTRY_COMPARE_WITH_TIMEOUT(layer->cursorPos().x, 33, 3000);
            QVERIFY(!done.load()); // waiting for Ctrl+A again
            keys.keyDown(0xA2);
            keys.keyDown(0xA4);
            keys.keyDown(83);
            const bool stopped = QTest::qWaitFor([&done] { return done.load(); }, 2000);
            keys.keyUp(83);
            keys.keyUp(0xA4);
            keys.keyUp(0xA2);
            QVERIFY(stopped);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!anythingDown(), 1000);
    }

    // The pause keys typed on the X server: what the run holds (a key with
    // Shift, the left button) is up while paused and down again after the
    // resume; the stop keys end the paused run with nothing held.
    void nothingHeldWhilePaused() {
        InstalledBackend backend(layer.get());
        QVERIFY(backend.ok());
        platform::InputLayer &keys = backend.input();
        const auto held = [this] {
            return layer->isDown(70) || layer->isDown(0x10) || layer->isDown(platform::kVkLButton);
        };
        const auto typePauseKeys = [&keys] {
            keys.keyDown(0xA2);
            keys.keyDown(0xA4);
            keys.keyDown(80);
            keys.keyUp(80);
            keys.keyUp(0xA4);
            keys.keyUp(0xA2);
        };

        std::atomic<bool> done{false};
        {
            Run run;
            connect(
                &run, &Run::finished, &run, [&done] { done = true; }, Qt::DirectConnection);
            RunSettings s = settings(1, QStringLiteral("83,3"));
            s.pauseCommand = QStringLiteral("80,3");
            QVERIFY(run.prepare(s, {{"キー", "70,4", "30"}, {"クリック", "左", "30"}},
                                {{"即時"}, {"終わるまで待つ", "0"}}, QStringLiteral("x11")));
            run.start();
            QTRY_VERIFY_WITH_TIMEOUT(layer->isDown(70) && layer->isDown(platform::kVkLButton),
                                     3000);
            typePauseKeys();
            QTRY_VERIFY_WITH_TIMEOUT(run.paused(), 2000);
            QTRY_VERIFY_WITH_TIMEOUT(!held(), 1000);
            QTest::qWait(300);
            QVERIFY(!held()); // nothing pressed again while paused
            typePauseKeys();
            QTRY_VERIFY_WITH_TIMEOUT(!run.paused(), 2000);
            QTRY_VERIFY_WITH_TIMEOUT(layer->isDown(70) && layer->isDown(platform::kVkLButton),
                                     2000);
            typePauseKeys();
            QTRY_VERIFY_WITH_TIMEOUT(run.paused(), 2000);
            keys.keyDown(0xA2);
            keys.keyDown(0xA4);
            keys.keyDown(83);
            const bool stopped = QTest::qWaitFor([&done] { return done.load(); }, 3000);
            keys.keyUp(83);
            keys.keyUp(0xA4);
            keys.keyUp(0xA2);
            QVERIFY(stopped);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!anythingDown(), 1000);
    }
};

QTEST_MAIN(X11RunTest)
#include "x11_run.moc"
