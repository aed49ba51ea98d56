// Starting a run from the main window and coming back, offscreen with the
// recording input layer: what the dialog hands back, what the run receives,
// the window hidden during the run, and nothing left over afterwards.

#include "app/runlauncher.h"
#include "app/runtrayicon.h"
#include "app/tarnwick.h"
#include "run/run.h"
#include "run/rundialog.h"
#include "support/modalhelper.h"
#include "support/recordinginput.h"
#include "support/testconfig.h"

#include <QApplication>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

class RunCycleTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { testsupport::writeTestConfig(); }

    void closedDialogChangesNothing();
    void projectName_data();
    void projectName();
    void runHidesAndComesBack();
    void runDeletedWhenItsThreadEndsFirst();
    void unplayablePageIsRefused_data();
    void unplayablePageIsRefused();
    void endlessRunRefusedWhereNothingHearsItsStopKeys();
    void windowPageStopsTheRunAndSaysSo_data();
    void windowPageStopsTheRunAndSaysSo();
    void startKeyStartsWithoutTheDialog();
    void titleSaysPaused();

public:
    // The pages a run was given, kept private by the run.
    static PageList listCommandOf(const Run &run) { return run.listCommand_; }

private:
    testsupport::RecordingInput rec;
};

namespace {

// Catches the run while the window moves it to its thread (the only moment
// it passes through the GUI thread's event filters) and copies what it was
// given, since the window keeps no pointer to it.
class RunCatcher : public QObject {
public:
    RunCatcher() { qApp->installEventFilter(this); }
    ~RunCatcher() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override {
        if (event->type() == QEvent::ThreadChange) {
            if (Run *run = qobject_cast<Run *>(watched)) {
                ++runs;
                projectName = run->projectName();
                stertTime = run->settings().startDelay;
                runNumber = run->settings().runCount;
                stopCommand = run->settings().stopCommand;
                listCommand = RunCycleTest::listCommandOf(*run);
                runHasParent = run->parent() != nullptr;
                destroyed.store(false);
                // Direct: the run is deleted on its own thread.
                connect(
                    run, &QObject::destroyed, run, [this] { destroyed.store(true); },
                    Qt::DirectConnection);
                if (onRun)
                    onRun(run);
            }
        }
        return false;
    }

    // Called with each run caught, before the window connects it.
    std::function<void(Run *)> onRun;
    int runs = 0;
    QString projectName;
    int stertTime = 0;
    int runNumber = 0;
    QString stopCommand;
    PageList listCommand;
    bool runHasParent = true;
    std::atomic<bool> destroyed{false};
};

QString desktop() {
    return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
}

RunDialog *asRunDialog(QWidget *w) {
    return qobject_cast<RunDialog *>(w);
}

// Clicks once the answerer's current action has returned, so that it can
// answer the boxes the click opens.
void clickLater(QPushButton *button) {
    QTimer::singleShot(0, button, &QPushButton::click);
}

} // namespace

void RunCycleTest::closedDialogChangesNothing() {
    tarnwick window;
    window.show();
    window.settings.stertTime = 7;
    window.settings.runNumber = 114514;
    window.settings.stopCommand = QStringLiteral("65,2");
    window.settings.is_used_stert = false;

    RunCatcher catcher;
    testsupport::ModalAnswerer answerer;
    bool sawDialog = false;
    answerer.act([&sawDialog](QWidget *w) {
        RunDialog *dialog = asRunDialog(w);
        if (dialog) {
            sawDialog = true;
            dialog->secondsSpin->setValue(3); // edited, then closed
        }
        w->close();
    });
    window.stertRun();

    QVERIFY(sawDialog);
    QCOMPARE(window.settings.stertTime, 7);
    QCOMPARE(window.settings.runNumber, 114514);
    QCOMPARE(window.settings.stopCommand, QStringLiteral("65,2"));
    QVERIFY(!window.settings.is_used_stert);
    QVERIFY(window.isVisible());
    QCOMPARE(catcher.runs, 0);
    QVERIFY(window.findChildren<QThread *>().isEmpty());
    QCOMPARE(answerer.count(), 0);
    QVERIFY(!rec.hookInstalled());
}

void RunCycleTest::projectName_data() {
    QTest::addColumn<QString>("filePath");
    QTest::addColumn<QString>("name");
    QTest::newRow("never saved") << desktop() << "新規プロジェクト";
    // The same folder written another way is still no file (it used to give an empty name).
    QTest::newRow("never saved, trailing slash") << desktop() + "/"
                                                 << "新規プロジェクト";
    QTest::newRow("saved") << "/tmp/projects/a.cmdat"
                           << "a";
    QTest::newRow("up to the first dot") << "/tmp/projects/a.b.cmdat"
                                         << "a";
    QTest::newRow("inside the desktop") << desktop() + "/work.cmdat"
                                        << "work";
}

void RunCycleTest::projectName() {
    QFETCH(QString, filePath);
    QFETCH(QString, name);
    tarnwick window;
    window.document->setFilePath(filePath);
    QCOMPARE(window.runs->runProjectName(), name);
    // The run and the window title name the project alike.
    QCOMPARE(window.windowTitleForPath(), name);
}

void RunCycleTest::runHidesAndComesBack() {
    tarnwick window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.document->setFilePath(QStringLiteral("/tmp/projects/a.b.cmdat"));
    window.document->setPages(
        {{QStringLiteral("キー"), QStringLiteral("65,0"), QStringLiteral("0.01")}},
        {{QStringLiteral("終わるまで待つ"), QStringLiteral("0")}});
    window.settings.stertTime = 0; // shown as 1
    window.settings.runNumber = 1;
    window.settings.stopCommand = QStringLiteral("83,3");
    window.settings.is_used_stert = false;

    for (int pass = 0; pass < 2; ++pass) {
        RunCatcher catcher;
        testsupport::ModalAnswerer answerer;
        answerer.act([](QWidget *w) {
            RunDialog *dialog = asRunDialog(w);
            QVERIFY(dialog);
            dialog->runCountSpin->setValue(2);
            clickLater(dialog->startButton);
        });
        answerer.answer(QMessageBox::Ok); // the notice, on the first start only
        rec.clearEvents();

        window.stertRun();

        // The notice came with the first start and never again.
        QCOMPARE(answerer.count(), pass == 0 ? 1 : 0);
        QVERIFY(window.settings.is_used_stert);
        QCOMPARE(window.settings.stertTime, 1);
        QCOMPARE(window.settings.runNumber, 2);
        QCOMPARE(window.settings.stopCommand, QStringLiteral("83,3"));

        QCOMPARE(catcher.runs, 1);
        QVERIFY(!catcher.runHasParent);
        QCOMPARE(catcher.projectName, QStringLiteral("a"));
        QCOMPARE(catcher.stertTime, 1);
        QCOMPARE(catcher.runNumber, 2);
        QCOMPARE(catcher.stopCommand, QStringLiteral("83,3"));
        QCOMPARE(catcher.listCommand, window.document->listCommand());

        // The one-second start delay leaves time to see the window hidden,
        // and the dialog (with its hook) already gone: the one listener left
        // is the run's own, for its stop command.
        QVERIFY(window.isHidden());
        QVERIFY(!window.isMinimized());
        QCOMPARE(rec.hookCount(), 1);
        const QList<QThread *> threads = window.findChildren<QThread *>();
        QCOMPARE(threads.size(), 1);
        QPointer<QThread> thread = threads.first();
        QVERIFY(thread->isRunning());
        // The run's tray icon belongs to the window, on the GUI thread.
        QCOMPARE(window.findChildren<RunTrayIcon *>().size(), 1);

        QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 20000);
        QTRY_VERIFY(window.isActiveWindow());
        QTRY_VERIFY(thread.isNull());
        QTRY_VERIFY(catcher.destroyed.load());
        QVERIFY(window.findChildren<QThread *>().isEmpty());
        QTRY_VERIFY(window.findChildren<RunTrayIcon *>().isEmpty());

        // Two passes of the one key page, pressed and released each time.
        const std::vector<std::string> texts = rec.eventTexts();
        QCOMPARE(std::count(texts.begin(), texts.end(), std::string("keyDown 65")), 2);
        QCOMPARE(std::count(texts.begin(), texts.end(), std::string("keyUp 65")), 2);
    }
}

void RunCycleTest::runDeletedWhenItsThreadEndsFirst() {
    tarnwick window;
    window.show();
    window.document->setPages({{QStringLiteral("なし")}}, {{QStringLiteral("即時")}});
    window.settings.stertTime = 1;
    window.settings.runNumber = 1;
    window.settings.stopCommand = QStringLiteral("なし");

    // `finished` is emitted by the run's own worker, which can be pre-empted
    // between the calls it queues. Simulated: the run's thread is ended
    // before any of them is queued, so the run's deleteLater comes too late.
    RunCatcher catcher;
    std::atomic<bool> stalled{false};
    catcher.onRun = [&stalled](Run *run) {
        QObject::connect(
            run, &Run::finished, run,
            [run, &stalled] {
                run->thread()->quit();
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                stalled.store(true);
            },
            Qt::DirectConnection);
    };

    window.startRun();
    QCOMPARE(catcher.runs, 1);
    QTRY_VERIFY_WITH_TIMEOUT(stalled.load(), 20000);
    QTRY_VERIFY(window.isVisible());
    QTRY_VERIFY(window.findChildren<QThread *>().isEmpty());
    QTRY_VERIFY2(catcher.destroyed.load(), "the run outlived its thread");
    QTRY_VERIFY(window.findChildren<RunTrayIcon *>().isEmpty());
}

void RunCycleTest::unplayablePageIsRefused_data() {
    QTest::addColumn<PageList>("commands");
    QTest::addColumn<PageList>("conditions");
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QStringList>("named"); // what the warning must say
    const QStringList key{QStringLiteral("キー"), QStringLiteral("65,0"), QStringLiteral("0.01")};
    const QStringList now{QStringLiteral("即時")};
    // A project of a newer version, as the file reader would hand it over.
    QTest::newRow("unknown command")
        << PageList{key, {QStringLiteral("ジャンプ"), QStringLiteral("1")}} << PageList{now, now}
        << true << QStringList{QStringLiteral("2ページ目"), QStringLiteral("「ジャンプ」")};
    QTest::newRow("unknown condition, English")
        << PageList{key} << PageList{{QStringLiteral("いつか")}} << false
        << QStringList{QStringLiteral("page 1"), QStringLiteral("condition \"いつか\"")};
    QTest::newRow("short record") << PageList{{QStringLiteral("クリック")}} << PageList{now} << true
                                  << QStringList{QStringLiteral("1ページ目"),
                                                 QStringLiteral("「クリック」")};
}

void RunCycleTest::unplayablePageIsRefused() {
    QFETCH(PageList, commands);
    QFETCH(PageList, conditions);
    QFETCH(bool, japanese);
    QFETCH(QStringList, named);
    tarnwick window;
    window.show();
    window.settings.is_japanese = japanese;
    window.document->setPages(commands, conditions);
    window.settings.stertTime = 1;
    window.settings.runNumber = 1;
    window.settings.stopCommand = QStringLiteral("83,3");

    for (bool throughDialog : {true, false}) {
        RunCatcher catcher;
        testsupport::ModalAnswerer answerer;
        bool sawDialog = false;
        answerer.act([&sawDialog](QWidget *w) {
            if (asRunDialog(w))
                sawDialog = true;
            w->close();
        });
        rec.clearEvents();
        if (throughDialog)
            window.runButton->click(); // "実行"
        else
            window.startRun();

        QCOMPARE(answerer.count(), 1);
        QCOMPARE(answerer.last().icon, QMessageBox::Warning);
        QVERIFY(!sawDialog); // refused before the settings are asked for
        for (const QString &part : named)
            QVERIFY2(answerer.last().text.contains(part), qPrintable(answerer.last().text));
        QCOMPARE(window.runs->messageText, answerer.last().text);
        QCOMPARE(catcher.runs, 0);
        QVERIFY(window.isVisible());
        QVERIFY(window.findChildren<QThread *>().isEmpty());
        QVERIFY(rec.eventTexts().empty());
    }
}

// On Wayland without sway or the input devices the stop keys reach nothing:
// with no tray either, an endless run could not be stopped, so it is refused.
void RunCycleTest::endlessRunRefusedWhereNothingHearsItsStopKeys() {
    QVERIFY(!QSystemTrayIcon::isSystemTrayAvailable());
    rec.setName("wayland");
    rec.offerKeyEvents(false);
    rec.runKeys()->setAnswer({platform::RunKeyWay::Unheard, {}, {}});
    tarnwick window;
    window.show();
    window.document->setPages({{QStringLiteral("なし")}},
                              {{QStringLiteral("時間"), QStringLiteral("0.05")}});
    window.settings.stertTime = 0;
    window.settings.runNumber = kRepeatUntilStopped;
    window.settings.stopCommand = QStringLiteral("83,3");
    for (bool japanese : {true, false}) {
        window.settings.is_japanese = japanese;
        RunCatcher catcher;
        testsupport::ModalAnswerer answerer;
        window.startRun();
        QCOMPARE(answerer.count(), 1);
        QVERIFY2(answerer.last().text.contains(japanese ? QStringLiteral("実行回数を指定")
                                                        : QStringLiteral("Set a number of runs")),
                 qPrintable(answerer.last().text));
        QVERIFY(answerer.last().text.contains(QStringLiteral("Wayland")));
        QCOMPARE(catcher.runs, 0);
        QVERIFY(window.isVisible());
    }
    // Heard through the input devices, the same run starts.
    rec.offerKeyEvents(true);
    rec.runKeys()->setAnswer({platform::RunKeyWay::Devices, {}, {}});
    RunCatcher catcher;
    QPointer<Run> started;
    catcher.onRun = [&started](Run *run) { started = run; };
    testsupport::ModalAnswerer answerer;
    window.startRun();
    QCOMPARE(answerer.count(), 0);
    QCOMPARE(catcher.runs, 1);
    QVERIFY(!window.isVisible());
    QVERIFY(started);
    QMetaObject::invokeMethod(started.data(), &Run::requestStop, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 20000);
    QTRY_VERIFY(catcher.destroyed.load());
    rec.setName("recording");
    rec.runKeys()->setAnswer({platform::RunKeyWay::Heard, {}, {}});
}

void RunCycleTest::windowPageStopsTheRunAndSaysSo_data() {
    QTest::addColumn<bool>("japanese");
    QTest::addColumn<QString>("text");
    QTest::newRow("ja") << true
                        << QStringLiteral("1ページ目: ウィンドウ「ブラウザー」が見つかりません。\n"
                                          "実行を停止しました。");
    QTest::newRow("en") << false
                        << QStringLiteral(
                               "page 1: no window \"ブラウザー\" is open; the run was stopped");
}

// The window comes back and says which page stopped the run and why; the
// text after the page was never typed.
void RunCycleTest::windowPageStopsTheRunAndSaysSo() {
    QFETCH(bool, japanese);
    QFETCH(QString, text);
    tarnwick window;
    window.show();
    window.settings.is_japanese = japanese;
    window.document->setPages(
        {{QStringLiteral("ウィンドウ切替"), QStringLiteral("ブラウザー"), QStringLiteral("含む"),
          QString(), QStringLiteral("1")},
         {QStringLiteral("入力"), QStringLiteral("abc"), QStringLiteral("0.01")}},
        {{QStringLiteral("即時")}, {QStringLiteral("即時")}});
    window.settings.stertTime = 0;
    window.settings.runNumber = 1;
    window.settings.stopCommand = QStringLiteral("なし");
    rec.setWindows({});
    rec.clearEvents();

    testsupport::ModalAnswerer answerer;
    window.startRun();
    QTRY_COMPARE_WITH_TIMEOUT(answerer.count(), 1, 20000);
    QCOMPARE(answerer.last().icon, QMessageBox::Warning);
    QCOMPARE(answerer.last().title,
             japanese ? QStringLiteral("実行を停止しました") : QStringLiteral("Run stopped"));
    QCOMPARE(answerer.last().text, text);
    QVERIFY(window.isVisible());
    for (const std::string &event : rec.eventTexts())
        QVERIFY2(event.rfind("unicode", 0) != 0, event.c_str());
    QTRY_VERIFY(window.findChildren<QThread *>().isEmpty());
    // Told once: the next run's end says nothing of it.
    QVERIFY(window.runs->runStopText.isEmpty());
}

QTEST_MAIN(RunCycleTest)
#include "gui_runcycle.moc"

// The start key plays the loaded project with the saved settings and no
// dialog; pressed again while the run plays, it does nothing; without a
// start key nothing is held.
void RunCycleTest::startKeyStartsWithoutTheDialog() {
    tarnwick window;
    QVERIFY(!rec.fireShortcut(window.runs->startKeyId)); // off by default
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.editorOpen = true;
    window.document->setPages(
        {{QStringLiteral("キー"), QStringLiteral("65,0"), QStringLiteral("0.3")}},
        {{QStringLiteral("終わるまで待つ"), QStringLiteral("0")}});
    window.settings.stertTime = 0;
    window.settings.runNumber = 1;
    window.settings.stopCommand = QStringLiteral("83,3");
    window.settings.startCommand = QStringLiteral("120,3");
    window.runs->applyStartKey();

    RunCatcher catcher;
    testsupport::ModalAnswerer answerer;
    rec.clearEvents();
    QVERIFY(rec.fireShortcut(window.runs->startKeyId));
    QTRY_COMPARE(catcher.runs, 1);
    QCOMPARE(answerer.count(), 0); // no dialog, no notice
    QCOMPARE(catcher.stertTime, 0);
    QVERIFY(window.isHidden());
    QVERIFY(rec.fireShortcut(window.runs->startKeyId));
    QTest::qWait(100);
    QCOMPARE(catcher.runs, 1);
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 20000);
    QTRY_VERIFY(catcher.destroyed.load());
    const std::vector<std::string> texts = rec.eventTexts();
    QCOMPARE(std::count(texts.begin(), texts.end(), std::string("keyDown 65")), 1);

    // Given back once set to none.
    window.settings.startCommand = QStringLiteral("なし");
    window.runs->applyStartKey();
    QVERIFY(!rec.fireShortcut(window.runs->startKeyId));
}

// While the run is paused the window's title says so, in its language.
void RunCycleTest::titleSaysPaused() {
    tarnwick window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.settings.is_japanese = false;
    window.document->setFilePath(QStringLiteral("/tmp/projects/p.cmdat"));
    window.document->setPages(
        {{QStringLiteral("キー"), QStringLiteral("65,0"), QStringLiteral("0.01")}},
        {{QStringLiteral("時間"), QStringLiteral("0.01")}});
    window.settings.stertTime = 0;
    window.settings.runNumber = 114514;
    window.settings.stopCommand = QStringLiteral("83,3");
    RunCatcher catcher;
    QPointer<Run> caught;
    catcher.onRun = [&caught](Run *run) { caught = run; };
    window.startRun();
    QVERIFY(caught);
    QMetaObject::invokeMethod(caught, &Run::requestPause, Qt::QueuedConnection);
    QTRY_COMPARE(window.windowTitle(), QStringLiteral("p (paused)"));
    QMetaObject::invokeMethod(caught, &Run::requestResume, Qt::QueuedConnection);
    QTRY_COMPARE(window.windowTitle(), QStringLiteral("p"));
    QMetaObject::invokeMethod(caught, &Run::requestStop, Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(window.isVisible(), 20000);
    QCOMPARE(window.windowTitle(), QStringLiteral("p"));
    QTRY_VERIFY(catcher.destroyed.load());
}
