// The whole cycle on a real X server with the real input layer: "実行",
// capture an exit command in the dialog, Start, the run types into another
// window, the main window comes back; then a run repeated until the exit
// command is stopped by pressing it.

#include "app/tarnwick.h"
#include "core/runcount.h"
#include "platform/inputlayer.h"
#include "run/rundialog.h"
#include "support/modalhelper.h"
#include "support/systeminput.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <memory>
#include <string>

namespace {

constexpr int kEsc = 27;
constexpr int kF12 = 123;

// Presses and releases one key through the real layer, as a user would.
void tapKey(int vk) {
    platform::input().keyDown(vk);
    QTest::qWait(120); // longer than the 50 ms polls that watch for it
    platform::input().keyUp(vk);
}

// Clicks once the answerer's current action has returned, so that it can
// answer the boxes the click opens.
void clickLater(QPushButton *button) {
    QTimer::singleShot(0, button, &QPushButton::click);
}

} // namespace

class X11RunCycleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void typesIntoAnotherWindowAndComesBack();
    void repeatStoppedByTheCapturedExitCommand();
    void noTrayNoEndlessRunWithoutExitCommand_data();
    void noTrayNoEndlessRunWithoutExitCommand();

private:
    void focusTarget();

    testsupport::SystemInput layer;
    std::unique_ptr<tarnwick> window;
    std::unique_ptr<QLineEdit> target;
};

void X11RunCycleTest::initTestCase() {
    testsupport::writeTestConfig();
    std::string error;
    QVERIFY2(layer.install(error), error.c_str());
}

void X11RunCycleTest::cleanupTestCase() {
    layer.reset();
}

void X11RunCycleTest::init() {
    target = std::make_unique<QLineEdit>();
    target->setWindowTitle(QStringLiteral("target"));
    target->setGeometry(700, 100, 400, 40);
    target->show();
    QVERIFY(QTest::qWaitForWindowExposed(target.get()));

    window = std::make_unique<tarnwick>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
}

void X11RunCycleTest::cleanup() {
    // Never destroy the window under a running run: wait for it to come back.
    if (window)
        QTRY_VERIFY_WITH_TIMEOUT(window->findChildren<QThread *>().isEmpty(), 20000);
    window.reset();
    target.reset();
    layer->releaseAll();
}

void X11RunCycleTest::focusTarget() {
    target->activateWindow();
    target->setFocus();
    QTRY_VERIFY(target->hasFocus() && target->isActiveWindow());
}

void X11RunCycleTest::typesIntoAnotherWindowAndComesBack() {
    QSignalSpy entered(target.get(), &QLineEdit::returnPressed);
    window->document->setFilePath(QStringLiteral("/tmp/projects/typing.cmdat"));
    window->document->setPages(
        {{QStringLiteral("入力"), QStringLiteral("Hello, run 42"), QStringLiteral("0.3")},
         {QStringLiteral("キー"), QStringLiteral("13,0"), QStringLiteral("0.01")}},
        {{QStringLiteral("終わるまで待つ"), QStringLiteral("0.1")},
         {QStringLiteral("終わるまで待つ"), QStringLiteral("0")}});
    window->settings.stertTime = 2;
    window->settings.runNumber = 1;
    window->settings.stopCommand = QStringLiteral("83,3");
    window->settings.is_used_stert = false;

    testsupport::ModalAnswerer answerer;
    QString capturedEsc;
    QString captured;
    answerer.act([&capturedEsc, &captured](QWidget *w) {
        RunDialog *dialog = qobject_cast<RunDialog *>(w);
        QVERIFY(dialog);
        // Esc goes to the capture, not to the dialog (which it would close).
        dialog->changeButton->click();
        tapKey(kEsc);
        QTRY_VERIFY(!dialog->capturing);
        QTest::qWait(100);
        QVERIFY(dialog->isVisible());
        capturedEsc = dialog->stopCommandLabel->text();

        // Capture F12 through the dialog's real keyboard hook.
        dialog->changeButton->click();
        QVERIFY(dialog->capturing);
        tapKey(kF12);
        QTRY_VERIFY(!dialog->capturing);
        captured = dialog->stopCommandLabel->text();
        clickLater(dialog->startButton);
    });
    answerer.answer(QMessageBox::Ok); // the notice of the first start

    window->runButton->click();

    QCOMPARE(capturedEsc, QStringLiteral("Esc"));
    QCOMPARE(captured, QStringLiteral("F12"));
    QCOMPARE(answerer.count(), 1);
    QVERIFY(answerer.last().text.contains(QStringLiteral("「F12」")));
    QCOMPARE(window->settings.stopCommand, QStringLiteral("123,0"));
    QVERIFY(window->settings.is_used_stert);
    QVERIFY(window->isHidden());

    // The start delay leaves time to give the other window the keyboard.
    focusTarget();
    QTRY_COMPARE_WITH_TIMEOUT(entered.count(), 1, 20000);
    QCOMPARE(target->text(), QStringLiteral("Hello, run 42"));
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QTRY_VERIFY(window->isActiveWindow());
    QTRY_VERIFY(window->findChildren<QThread *>().isEmpty());
}

void X11RunCycleTest::repeatStoppedByTheCapturedExitCommand() {
    window->document->setFilePath(QStringLiteral("/tmp/projects/repeat.cmdat"));
    window->document->setPages(
        {{QStringLiteral("キー"), QStringLiteral("65,0"), QStringLiteral("0.01")}},
        {{QStringLiteral("時間"), QStringLiteral("0.05")}});
    window->settings.stertTime = 1;
    window->settings.runNumber = 1;
    window->settings.stopCommand = QStringLiteral("123,0");
    window->settings.is_used_stert = true;

    testsupport::ModalAnswerer answerer;
    answerer.act([](QWidget *w) {
        RunDialog *dialog = qobject_cast<RunDialog *>(w);
        QVERIFY(dialog);
        dialog->secondsSpin->setValue(2);
        dialog->repeatCheck->setChecked(true);
        clickLater(dialog->startButton);
    });
    window->runButton->click();
    QCOMPARE(answerer.count(), 0);
    QCOMPARE(window->settings.runNumber, 114514);
    QVERIFY(window->isHidden());

    focusTarget();
    QTRY_VERIFY_WITH_TIMEOUT(target->text().size() >= 5, 20000);
    QVERIFY(window->isHidden()); // repeating until stopped

    tapKey(kF12);
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
    QTRY_VERIFY(window->findChildren<QThread *>().isEmpty());
    QVERIFY(target->text().contains(QStringLiteral("aaaaa")));

    // Nothing types on after the stop.
    const QString after = target->text();
    QTest::qWait(300);
    QCOMPARE(target->text(), after);
}

void X11RunCycleTest::noTrayNoEndlessRunWithoutExitCommand_data() {
    // No tray on the test display: only a run the tray alone could end is refused.
    QTest::addColumn<int>("runs");
    QTest::addColumn<QString>("exitCommand");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<bool>("refused");
    const int endless = kRepeatUntilStopped;
    QTest::newRow("endless, no exit command") << endless << "なし" << true << true;
    QTest::newRow("endless, no exit command, English") << endless << "なし" << false << true;
    QTest::newRow("endless, exit command") << endless << "123,0" << true << false;
    QTest::newRow("once, no exit command") << 1 << "なし" << true << false;
}

void X11RunCycleTest::noTrayNoEndlessRunWithoutExitCommand() {
    QFETCH(int, runs);
    QFETCH(QString, exitCommand);
    QFETCH(bool, japanese);
    QFETCH(bool, refused);
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    window->settings.is_japanese = japanese;
    window->document->setPages({{QStringLiteral("なし")}},
                               {{QStringLiteral("時間"), QStringLiteral("0.05")}});
    window->settings.stertTime = 0;
    window->settings.runNumber = runs;
    window->settings.stopCommand = exitCommand;
    testsupport::ModalAnswerer answerer;
    window->startRun();
    if (refused) {
        QCOMPARE(answerer.count(), 1);
        QVERIFY(answerer.last().text.contains(japanese ? QStringLiteral("システムトレイ")
                                                       : QStringLiteral("system tray")));
        QVERIFY(window->isVisible());
        QVERIFY(window->findChildren<QThread *>().isEmpty());
        return;
    }
    QCOMPARE(answerer.count(), 0);
    QVERIFY(!window->isVisible()); // the run goes on as before
    if (runs != 1) {
        QTest::qWait(200);
        tapKey(kF12); // its exit command
    }
    QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), 10000);
}

QTEST_MAIN(X11RunCycleTest)
#include "x11_runcycle.moc"
