#include "app/tarnwick.h"
#include "capture/hoverhidewindow.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QPointer>
#include <QSpinBox>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

const QString kMousePointer = QStringLiteral("マウスポインター");
const QString kSmoothMove = QStringLiteral("スムーズムーブ");

// The two page lists are parallel: every command gets a default condition.
void setPages(tarnwick &w, const PageList &commands, int current) {
    w.listCommand = commands;
    w.listCondition = PageList(commands.size(), QStringList{"終わるまで待つ", "0.1"});
    w.currentPage = current;
}

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
        QCOMPARE(w.listCommand.at(1), after);
        QCOMPARE(w.listCommand.at(0), QStringList{"なし"});
        QCOMPARE(w.coordXSpin->value(), pointer.x());
        QCOMPARE(w.coordYSpin->value(), pointer.y());
    }

    void hotKeyTakesThePositionFromTheEventLoop() {
        tarnwick &w = *window;
        setPages(w, {QStringList{kMousePointer, "0", "0"}}, 1);
        w.getCoordinate();
        QPointer<HoverHideWindow> prompt = w.hoverWindow;
        QVERIFY(prompt);
        QVERIFY(prompt->isVisible());
        QVERIFY(!w.isVisible());
        QVERIFY(w.hotkeyRegistered);
        QVERIFY(input->hotKeyRegistered());
        QCOMPARE(input->hotKeyChord(w.hotkeyId).vk, int('G'));
        QCOMPARE(input->hotKeyChord(w.hotkeyId).modifiers,
                 platform::kModControl | platform::kModAlt);

        input->setCursorPos(321, 654);
        QVERIFY(!input->fireShortcut(w.hotkeyId + 1)); // someone else's hot key
        QVERIFY(input->fireShortcut(w.hotkeyId));
        // Queued: nothing is taken inside the shortcut's callback.
        QCOMPARE(w.listCommand.at(0), (QStringList{kMousePointer, "0", "0"}));
        QTRY_COMPARE(w.listCommand.at(0), (QStringList{kMousePointer, "321", "654"}));
        QVERIFY(w.isVisible());
        QVERIFY(!w.hotkeyRegistered);
        QVERIFY(!input->hotKeyRegistered());
        QCOMPARE(w.hotkeyFilter, nullptr);
        QTRY_VERIFY(!prompt);
        QCOMPARE(w.hoverWindow, nullptr);
        // Released: the key no longer reaches the window.
        QVERIFY(!input->fireShortcut(w.hotkeyId));
    }

    void hotKeyWhileThePromptStepsAside() {
        tarnwick &w = *window;
        setPages(w, {QStringList{kMousePointer, "0", "0"}}, 1);
        w.getCoordinate();
        QPointer<HoverHideWindow> prompt = w.hoverWindow;
        QVERIFY(prompt);
        QTest::ignoreMessage(QtDebugMsg, "hidden (cursor near)");
        QCursor::setPos(prompt->frameGeometry().center());
        prompt->checkCursor();
        QVERIFY(!prompt->isVisible());

        input->setCursorPos(11, 22);
        QVERIFY(input->fireShortcut(w.hotkeyId));
        QTRY_COMPARE(w.listCommand.at(0), (QStringList{kMousePointer, "11", "22"}));
        // Gone for good: it must not come back once the pointer moves away.
        QTRY_VERIFY(!prompt);
        QCOMPARE(w.hoverWindow, nullptr);
        QVERIFY(w.isVisible());
    }

    void secondCaptureReusesThePrompt() {
        tarnwick &w = *window;
        w.is_japanese = true;
        w.getCoordinate();
        HoverHideWindow *prompt = w.hoverWindow;
        QVERIFY(prompt);
        QVERIFY(prompt->promptText().startsWith(kMousePointer));
        w.is_japanese = false;
        w.getCoordinate();
        QCOMPARE(w.hoverWindow, prompt);
        QVERIFY(prompt->promptText().startsWith(QStringLiteral("Getting mouse pointer")));
        QVERIFY(w.hotkeyRegistered);
        w.hoverWindow->close();
        QTRY_COMPARE(w.hoverWindow, nullptr);
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
        w.is_japanese = japanese;
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
        QCOMPARE(w.hoverWindow, nullptr);
        QVERIFY(!w.hotkeyRegistered);
        QCOMPARE(w.hotkeyFilter, nullptr);

        // Once the key is free again a capture starts normally.
        input->setHotKeyAvailable(true);
        w.getCoordinate();
        QVERIFY(w.hoverWindow);
        QVERIFY(!w.isVisible());
        QCOMPARE(answerer.count(), 1);
        w.hoverWindow->close();
        QTRY_COMPARE(w.hoverWindow, nullptr);
    }

    void promptClosedBeforeAPosition() {
        tarnwick &w = *window;
        setPages(w, {QStringList{kMousePointer, "7", "8"}}, 1);
        w.getCoordinate();
        QVERIFY(!w.isVisible());
        w.hoverWindow->close(); // Alt+F4 on the prompt
        QTRY_COMPARE(w.hoverWindow, nullptr);
        QVERIFY(w.isVisible());
        QVERIFY(!w.hotkeyRegistered);
        QVERIFY(!input->hotKeyRegistered());
        QCOMPARE(w.listCommand.at(0), (QStringList{kMousePointer, "7", "8"}));
    }

    void windowDestroyedDuringACapture() {
        window->getCoordinate();
        QPointer<HoverHideWindow> prompt = window->hoverWindow;
        QVERIFY(prompt);
        window.reset();
        QVERIFY(!prompt);
        QVERIFY(!input->hotKeyRegistered());
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
