#include "run.h"

#include "capture/displayscale.h"
#include "core/projectfile.h"
#include "core/runkeys.h"
#include "keywatch.h"
#include "platform/backend.h"
#include "platform/inputlayer.h"
#include "platform/screenreader.h"
#include "runlog.h"
#include "terminationguard.h"
#include "threadstart.h"

#include <QApplication>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <random>

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
    pageflow::Project project;
    project.path = projectPath_;
    project.commands = listCommand;
    project.conditions = listCondition;
    project.names = names_;
    flowsteps::Prepared compiled = flowsteps::prepare(project, projectfile::loadCalled);
    if (refusal)
        *refusal = compiled.refusal;
    if (compiled.refusal.refused())
        return false;

    settings_ = settings;
    listCommand_ = listCommand;
    listCondition_ = listCondition;
    projectName_ = projectName;
    steps_ = std::move(compiled.top.steps);
    called_ = std::move(compiled.called);
    prepared_ = true;
    // Qt's screens belong to the GUI thread; the Image pages compare their
    // templates' scale with this one.
    context_.setDisplayScale(displayScale());
    context_.setScreenArea(screenArea());
    context_.setPace(settings_.pace, settings_.seed ? *settings_.seed : std::random_device{}());

    if (settings_.hasStopCommand()) {
        const RunKeys keys = parseRunKeys(settings_.stopCommand);
        stopVk_ = keys.vk;
        stopMask_ = keys.mask;
    }
    if (settings_.hasPauseCommand()) {
        const RunKeys keys = parseRunKeys(settings_.pauseCommand);
        pauseVk_ = keys.vk;
        pauseMask_ = keys.mask;
    }
    // The called projects' pages listen as the run's own do.
    bool keyConditions = false;
    bool buttonConditions = false;
    const auto listens = [&](const std::vector<runsteps::Step> &steps) {
        for (const runsteps::Step &step : steps) {
            keyConditions = keyConditions || step.condition->hearsKeys();
            buttonConditions = buttonConditions || step.condition->hearsButtons();
        }
    };
    listens(steps_);
    for (const auto &program : std::as_const(called_))
        listens(program->steps);
    if (stopVk_ != 0 || pauseVk_ != 0 || keyConditions || buttonConditions) {
        // Called on the GUI thread by the watch, until stopListening().
        auto onStop = [this] {
            context_.requestStop();
            qCDebug(lcRun) << "[Run] stop command detected: vk=" << stopVk_
                           << " mask=" << stopMask_;
        };
        // Queued: the keys may be heard inside the system's keyboard hook
        // (Windows), and a pause sends input (the releases), which must not
        // wait there for an input layer that is itself waiting for the hook.
        auto onPause = [this] {
            QMetaObject::invokeMethod(this, &Run::togglePause, Qt::QueuedConnection);
        };
        context_.setKeyWatch(KeyWatch::attach(
            stopVk_, wantedModifiers(stopVk_, stopMask_), std::move(onStop), pauseVk_,
            wantedModifiers(pauseVk_, pauseMask_), std::move(onPause), buttonConditions));
        if (KeyWatch *watch = context_.keyWatch())
            watch->setOwnModifiers(context_.ownModifiers());
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

void Run::requestPause() {
    if (context_.requestPause()) {
        qCDebug(lcRun) << "[Run] paused";
        emit pausedChanged(true);
    }
}

void Run::requestResume() {
    if (context_.requestResume()) {
        qCDebug(lcRun) << "[Run] resumed";
        emit pausedChanged(false);
    }
}

void Run::togglePause() {
    if (context_.paused())
        requestResume();
    else
        requestPause();
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
    std::chrono::steady_clock::time_point lastTold;
    while (pass < runNumber && !stopping()) {
        ++passNumber;
        if (settings_.repeatsUntilStopped())
            --pass; // the count never advances: only a stop ends the passes
        // An Image Jump without an image goes where this pass found one.
        context_.forgetPlace();
        // Each pass plays anew, its Go to pages' counts from 0.
        flowsteps::Player(context_, called_)
            .play(projectPath_, names_, steps_, [&](int page, bool jumped) {
                context_.setPage(page);
                // A loop of pages that never wait would flood whoever hears
                // the pages: once it has jumped, a page is told at most every
                // 20 ms.
                const auto now = std::chrono::steady_clock::now();
                if (jumped && now - lastTold < std::chrono::milliseconds(20))
                    return;
                lastTold = now;
                emit pageStarted(passNumber, page);
            });
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
        // A debug line: whoever started the run shows the failure to the user,
        // and a warning would print it twice on the command line.
        qCDebug(lcRun).noquote() << "[Run]" << runsteps::failureText(failure, false);
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
    if (stopVk_ == 0 && pauseVk_ == 0)
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
    const int pauseWanted = wantedModifiers(pauseVk_, pauseMask_);
    // A pause chord held as the run starts does not pause it.
    bool pauseHeld = pauseVk_ != 0 && context_.isDown(pauseVk_);
    while (checkerRunning_.load()) {
        const int held = context_.heldModifiers();
        if (stopVk_ != 0 && held == wanted && context_.isDown(stopVk_)) {
            context_.requestStop();
            qCDebug(lcRun) << "[Run] stop command detected: vk=" << stopVk_
                           << " mask=" << stopMask_;
            break;
        }
        if (pauseVk_ != 0) {
            // Modifiers the run holds itself may be down or not.
            const int own = context_.ownModifiers()->load();
            const bool now = ((held ^ pauseWanted) & ~own) == 0 && context_.isDown(pauseVk_);
            if (now && !pauseHeld)
                togglePause();
            pauseHeld = now;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseVk_ != 0 ? 20 : 50));
    }
    checkerRunning_.store(false);
}

RunContext::Area Run::screenArea() {
    // The backend's own reading is in the coordinates the input layer takes
    // (physical pixels on Windows); Qt's is the fallback.
    if (platform::ScreenReader *screen = platform::backend().screenReader()) {
        platform::Rect rect;
        if (screen->bounds(rect) && rect.width > 0 && rect.height > 0)
            return {rect.x, rect.y, rect.width, rect.height};
    }
    if (const QScreen *primary = QGuiApplication::primaryScreen()) {
        const QRect rect = primary->virtualGeometry();
        return {rect.x(), rect.y(), rect.width(), rect.height()};
    }
    return {};
}
