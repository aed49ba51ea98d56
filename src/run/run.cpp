#include "run.h"

#include "core/keycombination.h"
#include "core/resourcepath.h"
#include "core/runcount.h"
#include "core/runkeys.h"
#include "platform/inputlayer.h"
#include "platform/virtualkeys.h"
#include "runlog.h"
#include "terminationguard.h"
#include "threadstart.h"

#include <QApplication>
#include <QCoreApplication>
#include <QIcon>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTime>

#include <chrono>

Q_LOGGING_CATEGORY(lcRun, "tarnwick.run")

namespace {

// A hand-edited file can hold entries shorter than their kind needs: a
// missing element reads as empty text, which the parsing turns into 0.
QString element(const QStringList &entry, int index) {
    return entry.value(index);
}

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Relative resource paths are looked up beside the executable (or in the
// installed data folder) when the working directory does not have them.
QString resourcePath(const QString &relative) {
    return resourcepath::runtimeFile(relative, QCoreApplication::applicationDirPath());
}

} // namespace

Run::Run(QObject *parent)
    : QObject(parent), stertTime(0), runNumber(0), stopRequested(false), stopVk(0), stopMask(0),
      checkerRunning(false), trayIcon(nullptr), running(false) {
    for (std::atomic<int> &count : heldKeys)
        count.store(0);
    for (std::atomic<int> &count : heldButtons)
        count.store(0);
    noteRunCreated();
}

Run::~Run() {
    stopStopChecker();
    stopRequested.store(true);
    if (runThread && runThread->joinable())
        runThread->join();
    joinAllWorkers();
    // Workers release what they press before they end; this covers any path
    // that left something down all the same.
    releaseHeldInput();
    if (trayIcon) {
        // The icon belongs to the GUI thread; from elsewhere only post its
        // deletion.
        if (trayIcon->thread() == QThread::currentThread())
            delete trayIcon;
        else
            trayIcon->deleteLater();
        trayIcon = nullptr;
    }
    noteRunDestroyed();
}

void Run::setParameters(int stertTime, int runNumber, const QString &stopCommand,
                        const QList<QStringList> &listCommand,
                        const QList<QStringList> &listCondition, const QString &projectName) {
    this->stertTime = stertTime;
    this->runNumber = runNumber;
    this->stopCommand = stopCommand;
    this->listCommand = listCommand;
    this->listCondition = listCondition;
    this->projectName = projectName;

    if (stopCommand != QStringView(kNoKeyCombination)) {
        parseStopCommand();
        startStopChecker();
    }

    if (!trayIcon) {
        // Not a child of the Run: the Run moves to its worker thread, while a
        // tray icon must stay on the GUI thread that created it.
        trayIcon =
            new QSystemTrayIcon(QIcon(resourcePath(QStringLiteral("image/SystemTrayIcon.png"))));
        trayIcon->setToolTip(QStringLiteral("「%1」を終了").arg(projectName));
        trayIcon->show();
        connect(trayIcon, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger)
                        stopRequested.store(true);
                });
    }
    connect(
        this, &Run::requestBeep, qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
}

bool Run::onlyTrayStops(int runNumber, const QString &stopCommand) {
    return runNumber == kRepeatUntilStopped && stopCommand == QStringLiteral("なし");
}

bool Run::stopping() const {
    return stopRequested.load() || terminationRequested();
}

void Run::start() {
    if (running.exchange(true))
        return;
    if (runThread && runThread->joinable())
        runThread->join();
    runThread.reset();
    joinAllWorkers();

    auto thread = std::make_unique<std::thread>();
    if (!startThread(*thread, [this] { runLoop(); })) {
        qCWarning(lcRun) << "[Run] the run cannot start; ending it";
        stopRequested.store(true);
        endRun();
        return;
    }
    runThread = std::move(thread);
}

void Run::runLoop() {
    // The stop flag is not cleared here: it starts false, and a stop asked for
    // before this thread got going (the watcher, which then ends, a tray
    // click, or the destructor waiting to join us) must not be lost.
    waitSeconds(stertTime);
    if (!stopping())
        emit requestBeep();

    int pass = 0;
    int passNumber = 0; // for progress only: the loop count stands still when endless
    while (pass < runNumber && !stopping()) {
        ++passNumber;
        if (runNumber == kRepeatUntilStopped)
            --pass; // the count never advances: only a stop ends the passes
        for (int p = 0; p < listCommand.size() && !stopping(); ++p) {
            emit pageStarted(passNumber, p + 1);
            dispatchAction(listCommand.at(p));
            waitForCondition(listCondition.value(p));
        }
        ++pass;
    }
    endRun();
}

void Run::endRun() {
    // Decided before the closing pause: a stop during it cuts nothing short.
    const bool stopped = stopping();
    joinAllWorkers();
    releaseHeldInput();
    // Also restores temporary key bindings the layer made for typing.
    platform::input().releaseAll();
    if (!stopping())
        std::this_thread::sleep_for(std::chrono::seconds(1));
    stopStopChecker();
    emit requestBeep();
    removeTrayIcon();
    running.store(false);
    emit ended(stopped);
    emit finished();
}

void Run::removeTrayIcon() {
    QPointer<QSystemTrayIcon> icon = trayIcon;
    trayIcon = nullptr;
    if (!icon)
        return;
    // Queued to the icon's own (GUI) thread; dropped if the icon is gone.
    QMetaObject::invokeMethod(
        icon,
        [icon] {
            if (icon) {
                icon->setVisible(false);
                icon->deleteLater();
            }
        },
        Qt::QueuedConnection);
}

void Run::dispatchAction(const QStringList &command) {
    const QString kind = element(command, 0);
    bool started = true;
    if (kind == QStringLiteral("クリック")) {
        const double hold = element(command, 2).toDouble();
        if (element(command, 1) == QStringLiteral("左"))
            started = startWorker([this, hold] { clickLeft(hold); });
        else
            started = startWorker([this, hold] { clickRight(hold); });
    } else if (kind == QStringLiteral("マウスポインター")) {
        platform::input().setCursorPos(element(command, 1).toInt(), element(command, 2).toInt());
    } else if (kind == QStringLiteral("スムーズムーブ")) {
        const int x = element(command, 1).toInt();
        const int y = element(command, 2).toInt();
        const double duration = element(command, 3).toDouble();
        started = startWorker([this, x, y, duration] { smoothMove(x, y, duration); });
    } else if (kind == QStringLiteral("キー")) {
        const QString spec = keyActionSpec(element(command, 1), element(command, 2));
        started = startWorker([this, spec] { pressKeys(spec); });
    } else if (kind == QStringLiteral("入力")) {
        const QString text = element(command, 1);
        const double duration = element(command, 2).toDouble();
        started = startWorker([this, text, duration] { typeText(text, duration); });
    }
    if (!started) {
        qCWarning(lcRun) << "[Run] no thread for an action; ending the run";
        stopRequested.store(true);
    }
}

void Run::waitForCondition(const QStringList &condition) {
    const QString kind = element(condition, 0);
    if (kind == QStringLiteral("時間")) {
        waitSeconds(element(condition, 1).toDouble());
    } else if (kind == QStringLiteral("終わるまで待つ")) {
        joinAllWorkers();
        waitSeconds(element(condition, 1).toDouble());
    } else if (kind == QStringLiteral("クリック")) {
        waitForClick(element(condition, 1) == QStringLiteral("右") ? platform::kVkRButton
                                                                   : platform::kVkLButton);
    } else if (kind == QStringLiteral("キー")) {
        waitForKeyCombination(element(condition, 1));
    } else if (kind == QStringLiteral("時刻")) {
        waitForClockTime(element(condition, 1).toInt(), element(condition, 2).toInt());
    }
    // "即時" and anything else: no wait.
}

void Run::waitForClick(int vk) {
    for (;;) {
        if (isKeyDown(vk))
            return;
        if (stopping())
            return;
        sleepMs(50);
    }
}

void Run::waitForClockTime(int hour, int minute) {
    QTime now = QTime::currentTime();
    for (;;) {
        if (now.hour() == hour && now.minute() == minute)
            return;
        if (stopping())
            return;
        now = QTime::currentTime();
        sleepMs(50);
    }
}

void Run::waitForKeyCombination(const QString &text) {
    const RunKeys keys = parseRunKeys(text);
    if (keys.vk == 0)
        return;
    const int wanted = wantedModifiers(keys.vk, keys.mask);

    // A key already held must be released and pressed again.
    if (isKeyDown(keys.vk)) {
        while (isKeyDown(keys.vk)) {
            if (stopping())
                return;
            sleepMs(20);
        }
        sleepMs(20);
    }
    while (!stopping()) {
        if (readModifiers() == wanted && isKeyDown(keys.vk)) {
            // Met when the key comes up after the matching press.
            while (isKeyDown(keys.vk)) {
                if (stopping())
                    return;
                sleepMs(10);
            }
            return;
        }
        sleepMs(30);
    }
}

int Run::readModifiers() {
    int mask = 0;
    if (isKeyDown(vk::Control) || isKeyDown(vk::LControl) || isKeyDown(vk::RControl))
        mask |= storedmask::Ctrl;
    if (isKeyDown(vk::Menu) || isKeyDown(vk::LMenu) || isKeyDown(vk::RMenu))
        mask |= storedmask::Alt;
    if (isKeyDown(vk::Shift) || isKeyDown(vk::LShift) || isKeyDown(vk::RShift))
        mask |= storedmask::Shift;
    if (isKeyDown(vk::LWin) || isKeyDown(vk::RWin))
        mask |= storedmask::Win;
    return mask;
}

void Run::parseStopCommand() {
    stopVk = 0;
    stopMask = 0;
    const RunKeys keys = parseRunKeys(stopCommand);
    stopVk = keys.vk;
    stopMask = keys.mask;
}

void Run::startStopChecker() {
    if (checkerThread && checkerThread->joinable())
        return;
    if (stopVk == 0)
        return;
    checkerRunning.store(true);
    auto thread = std::make_unique<std::thread>();
    if (!startThread(*thread, [this] { stopCheckerLoop(); })) {
        // The run can still be stopped from the tray icon.
        checkerRunning.store(false);
        return;
    }
    checkerThread = std::move(thread);
}

void Run::stopStopChecker() {
    checkerRunning.store(false);
    if (checkerThread && checkerThread->joinable())
        checkerThread->join();
    checkerThread.reset();
}

void Run::stopCheckerLoop() {
    while (checkerRunning.load()) {
        if (stopVk != 0) {
            const int wanted = wantedModifiers(stopVk, stopMask);
            if (readModifiers() == wanted && isKeyDown(stopVk)) {
                stopRequested.store(true);
                qCDebug(lcRun) << "[Run] stop command detected: vk=" << stopVk
                               << " mask=" << stopMask;
                break;
            }
        }
        sleepMs(50);
    }
    checkerRunning.store(false);
}
