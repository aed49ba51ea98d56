// End to end on a real X server: a run moves the pointer onto a window's
// button, clicks it, types into its text field, and is ended by the stop
// combination sent through the X11 layer; nothing stays down afterwards.

#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/x11/x11input.h"
#include "run/run.h"

#include <QPlainTextEdit>
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

    void keysHeardThroughTheBackendsKeyEvents() {
        // The whole backend, as the program installs it: the run listens to
        // its XInput2 key events instead of polling.
        std::string error;
        std::unique_ptr<platform::Backend> backend = platform::createBackend("xcb", error);
        QVERIFY2(backend->capabilities().keyEvents, error.c_str());
        struct Installed {
            platform::Backend *backend;
            platform::InputLayer *layer;
            Installed(platform::Backend *b, platform::InputLayer *l) : backend(b), layer(l) {
                platform::setBackend(backend);
            }
            ~Installed() {
                platform::setBackend(nullptr);
                platform::setInput(layer);
            }
        } installed(backend.get(), layer.get());
        platform::InputLayer &keys = *backend->synthesis();

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
        std::string error;
        std::unique_ptr<platform::Backend> backend = platform::createBackend("xcb", error);
        QVERIFY2(backend->capabilities().keyEvents, error.c_str());
        struct Installed {
            platform::Backend *backend;
            platform::InputLayer *layer;
            Installed(platform::Backend *b, platform::InputLayer *l) : backend(b), layer(l) {
                platform::setBackend(backend);
            }
            ~Installed() {
                platform::setBackend(nullptr);
                platform::setInput(layer);
            }
        } installed(backend.get(), layer.get());
        platform::InputLayer &keys = *backend->synthesis();
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
