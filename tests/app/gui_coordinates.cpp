#include "app/coordinatecapture.h"
#include "app/runlauncher.h"
#include "app/tarnwick.h"
#include "capture/hoverhidewindow.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <thread>

namespace {

const QString kMousePointer = QStringLiteral("マウスポインター");
const QString kSmoothMove = QStringLiteral("スムーズムーブ");

// The two page lists are parallel: every command gets a default condition.
void setPages(tarnwick &w, const PageList &commands, int current) {
    w.document->setPages(commands, PageList(commands.size(), QStringList{"終わるまで待つ", "0.1"}));
    w.document->setCurrentPage(current);
}

// A desktop like Wayland's: no shortcut can be heard, and the position is
// clicked on the backend's point picker, whose answer the test gives. The
// rest is the recording backend's.
class PickingBackend final : public platform::Backend, public platform::PointPicker {
public:
    explicit PickingBackend(testsupport::RecordingInput &input)
        : input_(input), previous_(platform::setBackend(this)) {}
    ~PickingBackend() override { platform::setBackend(previous_); }

    platform::Capabilities capabilities() const override {
        platform::Capabilities c = input_.capabilities();
        c.globalShortcuts = false;
        c.pointPicking = true;
        return c;
    }
    platform::InputLayer *synthesis() override { return input_.synthesis(); }
    platform::KeyEvents *keyEvents() override { return nullptr; }
    platform::GlobalShortcuts *shortcuts() override { return nullptr; }
    platform::WindowAccess *windowAccess() override { return input_.windowAccess(); }
    platform::PointPicker *pointPicker() override { return this; }
    std::unique_ptr<platform::InputRecorder> createRecorder() override { return nullptr; }

    bool start(Done done) override {
        if (done_)
            return false;
        done_ = std::move(done);
        ++starts;
        return true;
    }
    void cancel() override {
        ++cancels;
        answer(platform::PickOutcome::Cancelled, {});
    }
    // The user's click (or Escape), from a thread as the real picker's.
    void answer(platform::PickOutcome outcome, platform::Point p) {
        Done done = std::move(done_);
        done_ = nullptr;
        if (done)
            std::thread([&] { done(outcome, p); }).join();
    }
    bool picking() const { return bool(done_); }

    int starts = 0;
    int cancels = 0;

private:
    testsupport::RecordingInput &input_;
    platform::Backend *previous_;
    Done done_;
};

} // namespace

class CoordinatesTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::RecordingInput> input;
    std::unique_ptr<tarnwick> window;

private slots:
    void init() {
        testsupport::writeTestConfig();
        input = std::make_unique<testsupport::RecordingInput>();
        window = std::make_unique<tarnwick>();
        window->show();
    }
    void cleanup() {
        window.reset();
        input.reset();
    }

    void takePosition_data() {
        QTest::addColumn<QStringList>("before");
        QTest::addColumn<QPoint>("pointer");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("mouse pointer") << QStringList{kMousePointer, "5", "6"} << QPoint(123, 456)
                                       << QStringList{kMousePointer, "123", "456"};
        QTest::newRow("mouse pointer with stray texts")
            << QStringList{kMousePointer, "5", "6", "7"} << QPoint(0, 1)
            << QStringList{kMousePointer, "0", "1"};
        QTest::newRow("screen left of the primary")
            << QStringList{kMousePointer, "5", "6"} << QPoint(-1280, 20)
            << QStringList{kMousePointer, "-1280", "20"};
        QTest::newRow("smooth move keeps its duration")
            << QStringList{kSmoothMove, "1", "2", "1.5"} << QPoint(640, 480)
            << QStringList{kSmoothMove, "640", "480", "1.5"};
    }
    void takePosition() {
        QFETCH(QStringList, before);
        QFETCH(QPoint, pointer);
        QFETCH(QStringList, after);
        tarnwick &w = *window;
        setPages(w, {QStringList{"なし"}, before}, 2);
        input->setCursorPos(pointer.x(), pointer.y());
        w.getCoordinate2();
        QCOMPARE(w.document->listCommand().at(1), after);
        QCOMPARE(w.document->listCommand().at(0), QStringList{"なし"});
        QCOMPARE(w.coordXSpin->value(), pointer.x());
        QCOMPARE(w.coordYSpin->value(), pointer.y());
    }

    void hotKeyTakesThePositionFromTheEventLoop() {
        tarnwick &w = *window;
        setPages(w, {QStringList{kMousePointer, "0", "0"}}, 1);
        w.getCoordinate();
        QPointer<HoverHideWindow> prompt = w.capture->hoverWindow;
        QVERIFY(prompt);
        QVERIFY(prompt->isVisible());
        QVERIFY(!w.isVisible());
        QVERIFY(w.capture->hotkeyRegistered);
        QVERIFY(input->hotKeyRegistered());
        QCOMPARE(input->hotKeyChord(w.capture->hotkeyId).vk, int('G'));
        QCOMPARE(input->hotKeyChord(w.capture->hotkeyId).modifiers,
                 platform::kModControl | platform::kModAlt);

        input->setCursorPos(321, 654);
        QVERIFY(!input->fireShortcut(w.runs->startKeyId)); // another shortcut, not held
        QVERIFY(input->fireShortcut(w.capture->hotkeyId));
        // Queued: nothing is taken inside the shortcut's callback.
        QCOMPARE(w.document->listCommand().at(0), (QStringList{kMousePointer, "0", "0"}));
        QTRY_COMPARE(w.document->listCommand().at(0), (QStringList{kMousePointer, "321", "654"}));
        QVERIFY(w.isVisible());
        QVERIFY(!w.capture->hotkeyRegistered);
        QVERIFY(!input->hotKeyRegistered());
        QCOMPARE(w.capture->hotkeyFilter, nullptr);
        QTRY_VERIFY(!prompt);
        QCOMPARE(w.capture->hoverWindow, nullptr);
        // Released: the key no longer reaches the window.
        QVERIFY(!input->fireShortcut(w.capture->hotkeyId));
    }

    void hotKeyWhileThePromptStepsAside() {
        tarnwick &w = *window;
        setPages(w, {QStringList{kMousePointer, "0", "0"}}, 1);
        w.getCoordinate();
        QPointer<HoverHideWindow> prompt = w.capture->hoverWindow;
        QVERIFY(prompt);
        QTest::ignoreMessage(QtDebugMsg, "hidden (cursor near)");
        QCursor::setPos(prompt->frameGeometry().center());
        prompt->checkCursor();
        QVERIFY(!prompt->isVisible());

        input->setCursorPos(11, 22);
        QVERIFY(input->fireShortcut(w.capture->hotkeyId));
        QTRY_COMPARE(w.document->listCommand().at(0), (QStringList{kMousePointer, "11", "22"}));
        // Gone for good: it must not come back once the pointer moves away.
        QTRY_VERIFY(!prompt);
        QCOMPARE(w.capture->hoverWindow, nullptr);
        QVERIFY(w.isVisible());
    }

    void secondCaptureReusesThePrompt() {
        tarnwick &w = *window;
        w.settings.is_japanese = true;
        w.getCoordinate();
        HoverHideWindow *prompt = w.capture->hoverWindow;
        QVERIFY(prompt);
        QVERIFY(prompt->promptText().startsWith(kMousePointer));
        w.settings.is_japanese = false;
        w.getCoordinate();
        QCOMPARE(w.capture->hoverWindow, prompt);
        QVERIFY(prompt->promptText().startsWith(QStringLiteral("Getting mouse pointer")));
        QVERIFY(w.capture->hotkeyRegistered);
        w.capture->hoverWindow->close();
        QTRY_COMPARE(w.capture->hoverWindow, nullptr);
    }

    void hotKeyTakenElsewhere_data() {
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("text");
        QTest::newRow("japanese") << true << QStringLiteral("Ctrl+Alt+G を登録できませんでした。");
        QTest::newRow("english") << false << QStringLiteral("Ctrl+Alt+G could not be registered.");
    }
    void hotKeyTakenElsewhere() {
        QFETCH(bool, japanese);
        QFETCH(QString, text);
        tarnwick &w = *window;
        w.settings.is_japanese = japanese;
        input->setHotKeyAvailable(false);
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        QTest::ignoreMessage(QtWarningMsg, "RegisterHotKey failed.");
        w.getCoordinate();
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().icon, QMessageBox::Warning);
        QVERIFY2(answerer.last().text.startsWith(text), qPrintable(answerer.last().text));
        // The user keeps the window and gets no prompt that waits in vain.
        QVERIFY(w.isVisible());
        QCOMPARE(w.capture->hoverWindow, nullptr);
        QVERIFY(!w.capture->hotkeyRegistered);
        QCOMPARE(w.capture->hotkeyFilter, nullptr);

        // Once the key is free again a capture starts normally.
        input->setHotKeyAvailable(true);
        w.getCoordinate();
        QVERIFY(w.capture->hoverWindow);
        QVERIFY(!w.isVisible());
        QCOMPARE(answerer.count(), 1);
        w.capture->hoverWindow->close();
        QTRY_COMPARE(w.capture->hoverWindow, nullptr);
    }

    void promptClosedBeforeAPosition() {
        tarnwick &w = *window;
        setPages(w, {QStringList{kMousePointer, "7", "8"}}, 1);
        w.getCoordinate();
        QVERIFY(!w.isVisible());
        w.capture->hoverWindow->close(); // Alt+F4 on the prompt
        QTRY_COMPARE(w.capture->hoverWindow, nullptr);
        QVERIFY(w.isVisible());
        QVERIFY(!w.capture->hotkeyRegistered);
        QVERIFY(!input->hotKeyRegistered());
        QCOMPARE(w.document->listCommand().at(0), (QStringList{kMousePointer, "7", "8"}));
    }

    void windowDestroyedDuringACapture() {
        window->getCoordinate();
        QPointer<HoverHideWindow> prompt = window->capture->hoverWindow;
        QVERIFY(prompt);
        window.reset();
        QVERIFY(!prompt);
        QVERIFY(!input->hotKeyRegistered());
    }

    void pickedOnWayland_data() {
        QTest::addColumn<int>("outcome");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QStringList>("after");
        QTest::addColumn<QString>("warning"); // empty: none
        QTest::newRow("picked") << int(platform::PickOutcome::Picked) << true
                                << QStringList{kMousePointer, "1125", "57"} << QString();
        QTest::newRow("escape") << int(platform::PickOutcome::Cancelled) << true
                                << QStringList{kMousePointer, "7", "8"} << QString();
        QTest::newRow("failed, japanese")
            << int(platform::PickOutcome::Failed) << true << QStringList{kMousePointer, "7", "8"}
            << QStringLiteral("位置をクリックするための画面を表示できませんでした。");
        QTest::newRow("failed, english")
            << int(platform::PickOutcome::Failed) << false << QStringList{kMousePointer, "7", "8"}
            << QStringLiteral("The layer for clicking a position could not be shown.");
    }
    void pickedOnWayland() {
        QFETCH(int, outcome);
        QFETCH(bool, japanese);
        QFETCH(QStringList, after);
        QFETCH(QString, warning);
        PickingBackend backend(*input);
        tarnwick &w = *window;
        w.settings.is_japanese = japanese;
        setPages(w, {QStringList{kMousePointer, "7", "8"}}, 1);
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        w.getCoordinate();
        // No shortcut, no prompt that asks for one: the picker is up instead.
        QVERIFY(backend.picking());
        QCOMPARE(w.capture->hoverWindow, nullptr);
        QVERIFY(!w.capture->hotkeyRegistered);
        QVERIFY(!w.isVisible());
        // Asking again while it is up starts nothing more.
        w.getCoordinate();
        QCOMPARE(backend.starts, 1);

        // The pointer is elsewhere: the click's position is what counts.
        input->setCursorPos(5, 5);
        backend.answer(platform::PickOutcome(outcome), {1125, 57});
        QTRY_VERIFY(w.isVisible());
        QCOMPARE(w.document->listCommand().at(0), after);
        QCOMPARE(answerer.count(), warning.isEmpty() ? 0 : 1);
        if (!warning.isEmpty()) {
            QCOMPARE(answerer.last().icon, QMessageBox::Warning);
            QVERIFY2(answerer.last().text.startsWith(warning), qPrintable(answerer.last().text));
        }
        // And a capture can start again.
        w.getCoordinate();
        QCOMPARE(backend.starts, 2);
        backend.answer(platform::PickOutcome::Cancelled, {});
        QTRY_VERIFY(w.isVisible());
    }

    // The Colour page's Get with a pick: the click is for the colour, not
    // for the command's position (this desktop cannot read the screen).
    void colourGetWaitsForThePick() {
        PickingBackend backend(*input);
        tarnwick &w = *window;
        setPages(w, {QStringList{kMousePointer, "7", "8"}}, 1);
        w.document->setCurrentCondition(
            pagerecords::freshConditionRecord(pagekinds::name::colour(), QTime()));
        w.refreshPage();
        testsupport::ModalAnswerer answerer;
        answerer.answer(QMessageBox::Ok);
        w.colourGetButton->click();
        QVERIFY(backend.picking());
        backend.answer(platform::PickOutcome::Picked, {1125, 57});
        QTRY_VERIFY(w.isVisible());
        QCOMPARE(w.document->currentCommand(), (QStringList{kMousePointer, "7", "8"}));
        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().title, QStringLiteral("画面を読み取れません"));
    }

    void windowDestroyedDuringAPick() {
        PickingBackend backend(*input);
        window->getCoordinate();
        QVERIFY(backend.picking());
        window.reset();
        QCOMPARE(backend.cancels, 1);
        QVERIFY(!backend.picking());
        // The answer queued to the window went with it.
        QCoreApplication::processEvents();
    }

    void pointerTest_data() {
        QTest::addColumn<QStringList>("command");
        QTest::addColumn<QPoint>("target");
        QTest::newRow("position") << QStringList{kMousePointer, "300", "-40"} << QPoint(300, -40);
        QTest::newRow("unreadable texts") << QStringList{kMousePointer, "abc"} << QPoint(0, 0);
    }
    void pointerTest() {
        QFETCH(QStringList, command);
        QFETCH(QPoint, target);
        tarnwick &w = *window;
        setPages(w, {command}, 1);
        input->clearEvents();
        QElapsedTimer clock;
        clock.start();
        w.moveMousePointer();
        QVERIFY(!w.isVisible());
        QVERIFY(input->events().empty());
        QTRY_VERIFY_WITH_TIMEOUT(!input->events().empty(), 5000);
        const qint64 moved = clock.elapsed();
        const auto events = input->eventTexts();
        QCOMPARE(events.size(), size_t(1));
        QCOMPARE(events.front(),
                 "setCursorPos " + std::to_string(target.x()) + " " + std::to_string(target.y()));
        QVERIFY2(moved >= 900 && moved < 4000, qPrintable(QString::number(moved)));
        QVERIFY(!w.isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(w.isVisible(), 5000);
        const qint64 shown = clock.elapsed();
        QVERIFY2(shown - moved >= 900 && shown - moved < 4000,
                 qPrintable(QString::number(shown - moved)));
    }
};

QTEST_MAIN(CoordinatesTest)
#include "gui_coordinates.moc"
