#include "run.h"

#include "capture/displayscale.h"
#include "core/runkeys.h"
#include "keywatch.h"
#include "platform/inputlayer.h"
#include "runlog.h"
#include "terminationguard.h"
#include "threadstart.h"

#include <QApplication>

#include <algorithm>
#include <chrono>

Q_LOGGING_CATEGORY(lcRun, "tarnwick.run")

Run::Run(QObject *parent) : QObject(parent) {
    qRegisterMetaType<RunFailure>();
    noteRunCreated();
}

Run::~Run() {
    // First: a key event from now on must not reach this run.
    stopListening();
    stopStopChecker();
    context_.requestStop();
    if (runThread_ && runThread_->joinable())
        runThread_->join();
    // Before the run stops counting as live, so a termination waiting for the
    // runs finds nothing held.
    context_.joinAllWorkers();
    context_.releaseHeld();
    noteRunDestroyed();
}

bool Run::prepare(const RunSettings &settings, const QList<QStringList> &listCommand,
                  const QList<QStringList> &listCondition, const QString &projectName,
                  runsteps::Refusal *refusal) {
    runsteps::Compiled compiled = runsteps::compile(listCommand, listCondition);
    if (refusal)
        *refusal = compiled.refusal;
    if (compiled.refusal.refused())
        return false;

    settings_ = settings;
    listCommand_ = listCommand;
    listCondition_ = listCondition;
    projectName_ = projectName;
    steps_ = std::move(compiled.steps);
    prepared_ = true;
    // Qt's screens belong to the GUI thread; the Image pages compare their
    // templates' scale with this one.
    context_.setDisplayScale(displayScale());

    if (settings_.hasStopCommand()) {
        const RunKeys keys = parseRunKeys(settings_.stopCommand);
        stopVk_ = keys.vk;
        stopMask_ = keys.mask;
    }
    const bool keyConditions = std::any_of(
        steps_.begin(), steps_.end(), [](const auto &step) { return step.condition->hearsKeys(); });
    const bool buttonConditions = std::any_of(steps_.begin(), steps_.end(), [](const auto &step) {
        return step.condition->hearsButtons();
    });
    if (stopVk_ != 0 || keyConditions || buttonConditions) {
        // Called on the GUI thread by the watch, until stopListening().
        auto onStop = [this] {
            context_.requestStop();
            qCDebug(lcRun) << "[Run] stop command detected: vk=" << stopVk_
                           << " mask=" << stopMask_;
        };
        context_.setKeyWatch(KeyWatch::attach(stopVk_, wantedModifiers(stopVk_, stopMask_),
                                              std::move(onStop), buttonConditions));
    }
    // Without key events the stop command is polled for.
    if (!context_.keyWatch())
        startStopChecker();
    connect(
        this, &Run::requestBeep, qApp, [] { QApplication::beep(); }, Qt::QueuedConnection);
    return true;
}

void Run::requestStop() {
    context_.requestStop();
}

void Run::start() {
    if (running_.exchange(true))
        return;
    if (runThread_ && runThread_->joinable())
        runThread_->join();
    runThread_.reset();
    context_.joinAllWorkers();

    if (!prepared_) {
        // Nothing was pressed and nothing is announced: the owner only needs
        // to hear that the run is over.
        qCWarning(lcRun) << "[Run] started without a playable project; ending it";
        context_.requestStop();
        running_.store(false);
        emit ended(true);
        emit finished();
        return;
    }
    auto thread = std::make_unique<std::thread>();
    if (!startThread(*thread, [this] { runLoop(); })) {
        qCWarning(lcRun) << "[Run] the run cannot start; ending it";
        context_.requestStop();
        endRun();
        return;
    }
    runThread_ = std::move(thread);
}

void Run::runLoop() {
    // The stop flag is not cleared here: it starts false, and a stop asked for
    // before this thread got going (the watcher, which then ends, a tray
    // click, or the destructor waiting to join us) must not be lost.
    context_.waitSeconds(settings_.startDelay);
    if (!stopping())
        emit requestBeep();

    const int runNumber = settings_.runCount;
    int pass = 0;
    int passNumber = 0; // for progress only: the loop count stands still when endless
    while (pass < runNumber && !stopping()) {
        ++passNumber;
        if (settings_.repeatsUntilStopped())
            --pass; // the count never advances: only a stop ends the passes
        // An Image Jump without an image goes where this pass found one.
        context_.forgetPlace();
        for (std::size_t p = 0; p < steps_.size() && !stopping(); ++p) {
            context_.setPage(int(p) + 1);
            emit pageStarted(passNumber, int(p) + 1);
            if (!steps_[p].action->start(context_)) {
                qCWarning(lcRun) << "[Run] no thread for an action; ending the run";
                context_.requestStop();
            }
            steps_[p].condition->wait(context_);
        }
        ++pass;
    }
    endRun();
}

void Run::endRun() {
    // Decided before the closing pause: a stop during it cuts nothing short.
    const bool stopped = stopping();
    context_.joinAllWorkers();
    context_.releaseHeld();
    // Also restores temporary key bindings the layer made for typing.
    platform::input().releaseAll();
    if (!stopping())
        std::this_thread::sleep_for(std::chrono::seconds(1));
    stopStopChecker();
    stopListening();
    emit requestBeep();
    running_.store(false);
    const RunFailure failure = context_.failure();
    if (failure.failed()) {
        qCWarning(lcRun).noquote() << "[Run]" << runsteps::failureText(failure, false);
        emit pageFailed(failure);
    }
    emit ended(stopped);
    emit finished();
}

void Run::stopListening() {
    if (KeyWatch *watch = context_.keyWatch())
        watch->detach();
}

void Run::startStopChecker() {
    if (checkerThread_ && checkerThread_->joinable())
        return;
    if (stopVk_ == 0)
        return;
    checkerRunning_.store(true);
    auto thread = std::make_unique<std::thread>();
    if (!startThread(*thread, [this] { stopCheckerLoop(); })) {
        // The run can still be stopped from the tray icon.
        checkerRunning_.store(false);
        return;
    }
    checkerThread_ = std::move(thread);
}

void Run::stopStopChecker() {
    checkerRunning_.store(false);
    if (checkerThread_ && checkerThread_->joinable())
        checkerThread_->join();
    checkerThread_.reset();
}

void Run::stopCheckerLoop() {
    const int wanted = wantedModifiers(stopVk_, stopMask_);
    while (checkerRunning_.load()) {
        if (context_.heldModifiers() == wanted && context_.isDown(stopVk_)) {
            context_.requestStop();
            qCDebug(lcRun) << "[Run] stop command detected: vk=" << stopVk_
                           << " mask=" << stopMask_;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    checkerRunning_.store(false);
}
