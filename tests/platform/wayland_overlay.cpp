// The point picker's overlay against a real compositor: the headless sway
// that ./test.sh starts (scripts/sway.sh: two outputs side by side, the
// second at scale 2). The backend's own virtual pointer and keyboard click
// and press Escape, as a user would, at known places of the layout.

#include "platform/backend.h"
#include "platform/wayland/waylandoverlay.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QtTest>

#include <chrono>
#include <future>
#include <memory>
#include <string>

namespace {

constexpr int kTimeoutMs = 30000;
constexpr int kVkEscape = 0x1B;

// One pick: its answer as `done` hands it over, on the picker's thread.
struct Pick {
    std::promise<std::pair<platform::PickOutcome, platform::Point>> answer;
    std::future<std::pair<platform::PickOutcome, platform::Point>> result = answer.get_future();
    platform::PointPicker::Done done() {
        return [this](platform::PickOutcome outcome, platform::Point point) {
            answer.set_value({outcome, point});
        };
    }
    bool ended() {
        return result.wait_for(std::chrono::milliseconds(kTimeoutMs)) == std::future_status::ready;
    }
};

QByteArray describe(platform::PickOutcome outcome, platform::Point p) {
    const char *names[] = {"picked", "cancelled", "failed"};
    return QByteArray(names[int(outcome)]) + ' ' + QByteArray::number(p.x) + ',' +
           QByteArray::number(p.y);
}

} // namespace

class WaylandOverlayTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void cleanupTestCase();

    void clickIsPicked_data();
    void clickIsPicked();
    void onlyTheLeftButtonPicks();
    void clickWithoutAMove();
    void escapeCancels();
    void cancelEndsThePick();

private:
    bool startAndWaitShown(Pick &pick);
    // The overlay is up on every output: only the tests ask, through the
    // backend's own type.
    bool shown() const {
        return static_cast<platform::wayland::WaylandOverlay *>(picker_)->shown();
    }

    std::unique_ptr<platform::Backend> backend_;
    platform::InputLayer *layer_ = nullptr;
    platform::PointPicker *picker_ = nullptr;
};

void WaylandOverlayTest::initTestCase() {
    // Fails, never skips, without the compositor: ./test.sh starts it.
    QVERIFY2(!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"),
             "WAYLAND_DISPLAY is not set: run through ./test.sh (scripts/sway.sh)");
    std::string error;
    backend_ = platform::createBackend("wayland", error);
    QVERIFY2(error.empty(), error.c_str());
    layer_ = backend_->synthesis();
    QVERIFY(layer_);
    // sway offers the layer shell, and nothing reads the pointer there.
    QVERIFY(backend_->capabilities().pointPicking);
    QVERIFY(!backend_->capabilities().globalShortcuts);
    picker_ = backend_->pointPicker();
    QVERIFY(picker_);
}

void WaylandOverlayTest::cleanup() {
    if (picker_)
        picker_->cancel();
    if (layer_)
        layer_->releaseAll();
}

void WaylandOverlayTest::cleanupTestCase() {
    backend_.reset();
}

bool WaylandOverlayTest::startAndWaitShown(Pick &pick) {
    if (!picker_->start(pick.done()))
        return false;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < kTimeoutMs) {
        if (pick.result.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready)
            return false; // ended before it was up
        if (shown())
            return true;
        QTest::qWait(20);
    }
    return false;
}

void WaylandOverlayTest::clickIsPicked_data() {
    QTest::addColumn<int>("x"); // in the layout
    QTest::addColumn<int>("y");
    QTest::newRow("first output near the origin") << 3 << 5;
    QTest::newRow("first output in the middle") << 517 << 389;
    QTest::newRow("first output's far corner") << 1023 << 767;
    QTest::newRow("scale 2: its origin") << 1024 << 0;
    QTest::newRow("scale 2: inside") << 1024 + 101 << 57;
    QTest::newRow("scale 2: far corner") << 1024 + 639 << 479;
}

void WaylandOverlayTest::clickIsPicked() {
    QFETCH(int, x);
    QFETCH(int, y);
    Pick pick;
    QVERIFY(startAndWaitShown(pick));
    // One pick at a time.
    Pick second;
    QVERIFY(!picker_->start(second.done()));
    layer_->setCursorPos(x, y);
    layer_->mouseDown(platform::MouseButton::Left);
    layer_->mouseUp(platform::MouseButton::Left);
    QVERIFY(pick.ended());
    const auto [outcome, point] = pick.result.get();
    QCOMPARE(describe(outcome, point), describe(platform::PickOutcome::Picked, {x, y}));
}

void WaylandOverlayTest::onlyTheLeftButtonPicks() {
    Pick pick;
    QVERIFY(startAndWaitShown(pick));
    layer_->setCursorPos(200, 100);
    layer_->mouseDown(platform::MouseButton::Right);
    layer_->mouseUp(platform::MouseButton::Right);
    layer_->setCursorPos(1024 + 300, 200);
    layer_->mouseDown(platform::MouseButton::Left);
    layer_->mouseUp(platform::MouseButton::Left);
    QVERIFY(pick.ended());
    const auto [outcome, point] = pick.result.get();
    QCOMPARE(describe(outcome, point), describe(platform::PickOutcome::Picked, {1024 + 300, 200}));
}

void WaylandOverlayTest::clickWithoutAMove() {
    // The pointer is already where the user wants it when the layer comes up.
    layer_->setCursorPos(1024 + 20, 30);
    Pick pick;
    QVERIFY(startAndWaitShown(pick));
    layer_->mouseDown(platform::MouseButton::Left);
    layer_->mouseUp(platform::MouseButton::Left);
    QVERIFY(pick.ended());
    const auto [outcome, point] = pick.result.get();
    QCOMPARE(describe(outcome, point), describe(platform::PickOutcome::Picked, {1024 + 20, 30}));
}

void WaylandOverlayTest::escapeCancels() {
    Pick pick;
    QVERIFY(startAndWaitShown(pick));
    layer_->setCursorPos(600, 300);
    layer_->keyDown(kVkEscape);
    layer_->keyUp(kVkEscape);
    QVERIFY(pick.ended());
    QCOMPARE(int(pick.result.get().first), int(platform::PickOutcome::Cancelled));
    // The overlay is gone: the next pick comes up and takes its click.
    Pick next;
    QVERIFY(startAndWaitShown(next));
    layer_->setCursorPos(40, 30);
    layer_->mouseDown(platform::MouseButton::Left);
    layer_->mouseUp(platform::MouseButton::Left);
    QVERIFY(next.ended());
    const auto [outcome, point] = next.result.get();
    QCOMPARE(describe(outcome, point), describe(platform::PickOutcome::Picked, {40, 30}));
}

void WaylandOverlayTest::cancelEndsThePick() {
    Pick pick;
    QVERIFY(startAndWaitShown(pick));
    picker_->cancel();
    // cancel() returns once `done` has run.
    QVERIFY(pick.result.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready);
    QCOMPARE(int(pick.result.get().first), int(platform::PickOutcome::Cancelled));
    QVERIFY(!shown());
}

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    WaylandOverlayTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "wayland_overlay.moc"
