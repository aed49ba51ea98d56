// The editor's key capture on a real X server with the real input layer:
// keys sent through XTest are recorded, and while the capture runs the
// focused window receives none of them.

#include "capture/keycapture.h"
#include "core/keycombination.h"
#include "platform/inputlayer.h"
#include "support/systeminput.h"

#include <QLineEdit>
#include <QTest>

#include <memory>
#include <string>

namespace {

constexpr int kLCtrl = 162;
constexpr int kLShift = 160;
constexpr int kEsc = 27;
constexpr int kA = 65;
constexpr int kB = 66;

void press(const QList<int> &keys) {
    for (int vk : keys)
        platform::input().keyDown(vk);
}

void release(const QList<int> &keys) {
    for (auto it = keys.rbegin(); it != keys.rend(); ++it)
        platform::input().keyUp(*it);
}

} // namespace

class X11KeyCaptureTest : public QObject {
    Q_OBJECT

    testsupport::SystemInput layer;
    std::unique_ptr<QLineEdit> edit;

    // The instance under test; the run dialog's installs its hook before the
    // capture starts, the editor's after.
    static KeyCaptureState *current;
    static KeyCaptureState &state() { return *current; }

    // What the clients' 50 ms poll does once a key has been recorded.
    static QString waitForKey() {
        if (!QTest::qWaitFor([] { return state().lastKey.load() != 0; }, 5000))
            return {};
        const int key = state().lastKey.load();
        const int mask = state().lastMask.load();
        state().endCapture();
        state().uninstallKeyboardHook();
        return keyCombinationText(key, toStoredMask(mask));
    }

    static void startCapture(KeyCaptureState &s) {
        current = &s;
        if (&s == &KeyCaptureState::runDialog()) {
            QVERIFY(s.installKeyboardHook());
            s.beginCapture();
        } else {
            s.beginCapture();
            QVERIFY(s.installKeyboardHook());
        }
    }

private slots:
    void initTestCase() {
        std::string error;
        QVERIFY2(layer.install(error), error.c_str());
    }
    void cleanupTestCase() { layer.reset(); }
    void init() {
        edit = std::make_unique<QLineEdit>();
        edit->setGeometry(100, 100, 400, 40);
        edit->show();
        QVERIFY(QTest::qWaitForWindowExposed(edit.get()));
        edit->activateWindow();
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus() && edit->isActiveWindow());
    }
    void cleanup() {
        for (KeyCaptureState *s : {&KeyCaptureState::editor(), &KeyCaptureState::runDialog()}) {
            s->endCapture();
            s->uninstallKeyboardHook();
        }
        layer->releaseAll();
        edit.reset();
    }

    void capturesAndSwallowsAComboThenLetsKeysThrough() {
        startCapture(KeyCaptureState::editor());
        const QList<int> combo{kLCtrl, kLShift, kA};
        press(combo);
        const QString recorded = waitForKey();
        release(combo);
        QCOMPARE(recorded, QStringLiteral("65,6"));

        // The keys went nowhere while the capture ran ...
        QTest::qWait(200);
        QCOMPARE(edit->text(), QString());
        // ... and reach the line edit again once it is over.
        press({kB});
        release({kB});
        QTRY_COMPARE(edit->text(), QStringLiteral("b"));
    }

    void escapeIsRecordedNotDelivered() {
        edit->setText(QStringLiteral("keep"));
        // A line edit's Escape would do nothing visible; watch the key itself.
        bool escapeSeen = false;
        struct Watcher : QObject {
            bool *seen;
            explicit Watcher(bool *s) : seen(s) {}
            bool eventFilter(QObject *, QEvent *e) override {
                if (e->type() == QEvent::KeyPress)
                    *seen = true;
                return false;
            }
        } watcher(&escapeSeen);
        edit->installEventFilter(&watcher);

        startCapture(KeyCaptureState::runDialog());
        press({kEsc});
        const QString recorded = waitForKey();
        release({kEsc});
        QCOMPARE(recorded, QStringLiteral("27,0"));
        QTest::qWait(200);
        QVERIFY(!escapeSeen);
        edit->removeEventFilter(&watcher);
    }

    void loneModifierIsTheKey() {
        startCapture(KeyCaptureState::editor());
        press({kLCtrl});
        release({kLCtrl});
        QCOMPARE(waitForKey(), QStringLiteral("162,0"));
        QCOMPARE(edit->text(), QString());
    }
};

KeyCaptureState *X11KeyCaptureTest::current = &KeyCaptureState::editor();

QTEST_MAIN(X11KeyCaptureTest)
#include "x11_keycapture.moc"
