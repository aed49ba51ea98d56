// The whole cycle on Windows with the real Win32 layer: "実行", Start, the run
// jumps the pointer onto a Win32 window of the test's own, clicks, types
// Japanese and ASCII text with Enter and right-clicks, and the window
// receives exactly that; the main window comes back. Then a run repeated
// until stopped ends on the stop key combination, and a paused run holds
// nothing until it is resumed.

#include "app/tarnwick.h"
#include "platform/inputlayer.h"
#include "run/rundialog.h"
#include "support/modalhelper.h"
#include "support/systeminput.h"
#include "support/testconfig.h"
#include "support/win32targetwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "platform/win32/leanwindows.h"

using testsupport::TargetMessage;

namespace {

const QString kTyped = QStringLiteral("日本語の入力 and ASCII 42");

void clickLater(QPushButton *button) {
    QTimer::singleShot(0, button, &QPushButton::click);
}

// Index of the first message of a kind, or -1.
int indexOf(const std::vector<TargetMessage> &messages, unsigned message) {
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].message == message)
            return int(i);
    }
    return -1;
}

} // namespace

class WineRunCycleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void jumpsClicksTypesIntoAWin32Window();
    void repeatStoppedByTheStopCommand();
    void pausedRunHoldsNothing();

private:
    void startRun(bool repeat);
    void press(const std::vector<int> &chord);

    testsupport::SystemInput layer;
    std::unique_ptr<tarnwick> window;
    testsupport::Win32TargetWindow target;
};

void WineRunCycleTest::initTestCase() {
    testsupport::writeTestConfig();
    std::string error;
    QVERIFY2(layer.install(error), error.c_str());
    QVERIFY(target.open(650, 120, 500, 300));
}

void WineRunCycleTest::cleanupTestCase() {
    target.close();
    layer.reset();
}

void WineRunCycleTest::init() {
    window = std::make_unique<tarnwick>();
    window->move(20, 20);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    target.clear();
}

void WineRunCycleTest::cleanup() {
    if (window)
        QTRY_VERIFY_WITH_TIMEOUT(window->findChildren<QThread *>().isEmpty(), 20000);
    window.reset();
    layer->releaseAll();
}

// Through the run settings dialog, as a user starts a run.
void WineRunCycleTest::startRun(bool repeat) {
    window->settings.stertTime = 1;
    window->settings.runNumber = 1;
    window->settings.is_used_stert = true; // no first-start notice
    testsupport::ModalAnswerer answerer;
    answerer.act([repeat](QWidget *w) {
        RunDialog *dialog = qobject_cast<RunDialog *>(w);
        QVERIFY(dialog);
        dialog->secondsSpin->setValue(2);
        dialog->repeatCheck->setChecked(repeat);
        clickLater(dialog->startButton);
    });
    window->runButton->click();
    QCOMPARE(answerer.count(), 0);
    QVERIFY(window->isHidden());
    // The start delay leaves time to give the other window the keyboard (a
    // click would on Windows; Wine without a window manager may not).
    QVERIFY(target.activate());
}

void WineRunCycleTest::jumpsClicksTypesIntoAWin32Window() {
    int x = 210;
    int y = 130;
    target.clientToScreen(x, y);
    window->document->setFilePath(QStringLiteral("C:/projects/typing.cmdat"));
    window->document->setPages(
        {{QStringLiteral("マウスポインター"), QString::number(x), QString::number(y)},
         {QStringLiteral("クリック"), QStringLiteral("左"), QStringLiteral("0.05")},
         {QStringLiteral("入力"), kTyped, QStringLiteral("0.5")},
         {QStringLiteral("キー"), QStringLiteral("13,0"), QStringLiteral("0.01")},
         {QStringLiteral("クリック"), QStringLiteral("右"), QStringLiteral("0.05")}},
        {{QStringLiteral("時間"), QStringLiteral("0.2")},
         {QStringLiteral("終わるまで待つ"), QStringLiteral("0.2")},
         {QStringLiteral("終わるまで待つ"), QStringLiteral("0.1")},
         {QStringLiteral("終わるまで待つ"), QStringLiteral("0.1")},
         {QStringLiteral("終わるまで待つ"), QStringLiteral("0")}});
    window->settings.stopCommand = QStringLiteral("83,3");
    startRun(false);

    QTRY_COMPARE_WITH_TIMEOUT(target.messagesOf(WM_RBUTTONUP).size(), size_t(1), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QTRY_VERIFY(window->findChildren<QThread *>().isEmpty());

    QCOMPARE(QString::fromStdU16String(target.text()), kTyped + QChar('\r'));
    const std::vector<TargetMessage> messages = target.messages();
    const unsigned buttons[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP};
    for (unsigned button : buttons) {
        const std::vector<TargetMessage> found = target.messagesOf(button);
        QCOMPARE(found.size(), size_t(1));
        QCOMPARE(found.front().x, 210);
        QCOMPARE(found.front().y, 130);
    }
    // In the order of the pages.
    const int leftUp = indexOf(messages, WM_LBUTTONUP);
    const int firstChar = indexOf(messages, WM_CHAR);
    const int rightDown = indexOf(messages, WM_RBUTTONDOWN);
    QVERIFY(indexOf(messages, WM_LBUTTONDOWN) < leftUp);
    QVERIFY(leftUp < firstChar);
    int lastChar = -1;
    for (size_t i = 0; i < messages.size(); ++i) {
        if (messages[i].message == WM_CHAR)
            lastChar = int(i);
    }
    QVERIFY(lastChar < rightDown);
    QCOMPARE(messages[size_t(lastChar)].wParam, std::uintptr_t('\r'));
}

void WineRunCycleTest::repeatStoppedByTheStopCommand() {
    window->document->setFilePath(QStringLiteral("C:/projects/repeat.cmdat"));
    window->document->setPages(
        {{QStringLiteral("キー"), QStringLiteral("65,0"), QStringLiteral("0.01")}},
        {{QStringLiteral("時間"), QStringLiteral("0.05")}});
    window->settings.stopCommand = QStringLiteral("83,3"); // Ctrl+Alt+S
    startRun(true);
    QCOMPARE(window->settings.runNumber, 114514);

    QTRY_VERIFY_WITH_TIMEOUT(target.text().size() >= 5, 20000);
    QVERIFY(window->isHidden()); // repeating until stopped

    layer->keyDown(VK_CONTROL);
    layer->keyDown(VK_MENU);
    layer->keyDown('S');
    QTest::qWait(150); // longer than the 50 ms poll that watches for it
    layer->keyUp('S');
    layer->keyUp(VK_MENU);
    layer->keyUp(VK_CONTROL);
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QTRY_VERIFY(window->findChildren<QThread *>().isEmpty());
    QVERIFY(QString::fromStdU16String(target.text()).startsWith(QStringLiteral("aaaaa")));

    // Nothing types on after the stop, and nothing stays held.
    const size_t after = target.text().size();
    QTest::qWait(400);
    QCOMPARE(target.text().size(), after);
    for (int vk : {int(VK_CONTROL), int(VK_MENU), int('S'), int('A')})
        QVERIFY2(!layer->isDown(vk), qPrintable(QString::number(vk)));
}

// A chord typed on the system's keyboard, held longer than the 50 ms poll
// that watches for it where no key events come.
void WineRunCycleTest::press(const std::vector<int> &chord) {
    for (int vk : chord)
        layer->keyDown(vk);
    QTest::qWait(150);
    for (auto it = chord.rbegin(); it != chord.rend(); ++it)
        layer->keyUp(*it);
}

// The pause keys let go of the key a page holds and nothing is typed while
// paused; they resume it, held again; the stop keys end it with nothing held.
void WineRunCycleTest::pausedRunHoldsNothing() {
    window->document->setFilePath(QStringLiteral("C:/projects/pause.cmdat"));
    window->document->setPages(
        {{QStringLiteral("キー"), QStringLiteral("66,0"), QStringLiteral("30")}},
        {{QStringLiteral("終わるまで待つ"), QStringLiteral("0")}});
    window->settings.stopCommand = QStringLiteral("83,3");  // Ctrl+Alt+S
    window->settings.pauseCommand = QStringLiteral("80,3"); // Ctrl+Alt+P
    startRun(true);
    QTRY_VERIFY_WITH_TIMEOUT(layer->isDown('B'), 20000);

    press({VK_CONTROL, VK_MENU, 'P'});
    QTRY_VERIFY_WITH_TIMEOUT(!layer->isDown('B'), 5000);
    const size_t typed = target.text().size();
    QTest::qWait(400);
    QVERIFY(!layer->isDown('B'));
    QCOMPARE(target.text().size(), typed);
    QVERIFY(window->isHidden());

    press({VK_CONTROL, VK_MENU, 'P'});
    QTRY_VERIFY_WITH_TIMEOUT(layer->isDown('B'), 5000);

    press({VK_CONTROL, VK_MENU, 'S'});
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QTRY_VERIFY(window->findChildren<QThread *>().isEmpty());
    for (int vk : {int(VK_CONTROL), int(VK_MENU), int('P'), int('S'), int('B')})
        QVERIFY2(!layer->isDown(vk), qPrintable(QString::number(vk)));
}

QTEST_MAIN(WineRunCycleTest)
#include "wine_runcycle.moc"
