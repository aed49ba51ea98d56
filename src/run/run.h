#pragma once

// The run engine: replays a project's pages by synthesising input through the
// input layer. The owner creates one Run per run, prepares it with the
// settings and pages (GUI thread), moves it to a QThread with an event loop
// and connects that thread's started() to start(). A project with a page this
// version cannot play is refused by prepare(), and the run never starts.
//
// Threads of a run: the owner's QThread (start, stop requests, deletion), the
// run thread (runLoop) and one thread per timed action. They share only
// atomic flags (see RunContext). The stop command and the Key condition hear
// keys, and the Click condition buttons, through a KeyWatch, a listener
// called on the GUI thread; where the backend pushes no key events, a watcher
// thread polls for the stop command instead.

#include "core/runsettings.h"
#include "flowsteps.h"
#include "runcontext.h"
#include "runsteps.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

Q_DECLARE_METATYPE(RunFailure)

class Run : public QObject {
    Q_OBJECT

public:
    explicit Run(QObject *parent = nullptr);
    ~Run() override;

    // GUI thread. Takes copies of the settings and pages and makes the pages
    // into steps; listening for the stop command (and for Key conditions)
    // starts here. False, with `refusal` naming the
    // first page that cannot be played, when the project must not run: then
    // nothing was set up, and start() ends the run at once.
    bool prepare(const RunSettings &settings, const QList<QStringList> &listCommand,
                 const QList<QStringList> &listCondition, const QString &projectName,
                 runsteps::Refusal *refusal = nullptr);

    // Before prepare(): the pages' names, one a page (the jumps name them),
    // and the project's file (called projects are found from its folder;
    // empty: from the working folder).
    void setFlow(const QStringList &names, const QString &projectPath) {
        names_ = names;
        projectPath_ = projectPath;
    }

    const RunSettings &settings() const { return settings_; }
    QString projectName() const { return projectName_; }
    // True once a stop was requested (or the process is being terminated).
    bool stopping() const { return context_.stopping(); }
    bool paused() const { return context_.paused(); }

signals:
    void finished();
    void requestBeep();
    // From the run thread: a page is about to be played (both counted from 1).
    void pageStarted(int pass, int page);
    // Emitted just before finished(): whether a stop (stop command, tray,
    // termination) ended the run rather than the last pass.
    void ended(bool stopped);
    // Emitted before ended() when a page stopped the run (its window could
    // not be found or brought up); runsteps::failureText says why.
    void pageFailed(const RunFailure &failure);
    // From whichever thread paused or resumed the run (the pause keys, the
    // tray icon, tarnwick --pause): whether it is paused now.
    void pausedChanged(bool paused);

public slots:
    void start();
    // Ends the run as soon as it can; from any thread (the tray icon's click
    // comes queued to the run's thread).
    void requestStop();
    // From any thread; within a few milliseconds nothing is held and the
    // run's clock stands still until the resume. The stop keys still stop.
    void requestPause();
    void requestResume();
    void togglePause();

private:
    friend class RunTest;      // tests/run/gui_run.cpp
    friend class RunCycleTest; // tests/app/gui_runcycle.cpp
    friend class X11RunTest;   // tests/run/x11_run.cpp

    void runLoop();
    void endRun();
    // Any thread: the key watch calls nothing of the run's after it returns.
    void stopListening();
    void startStopChecker();
    void stopStopChecker();
    void stopCheckerLoop();
    // GUI thread: where varied positions are kept.
    static RunContext::Area screenArea();

    // ---- members, in declaration order ----
    RunSettings settings_;
    QList<QStringList> listCommand_;
    QList<QStringList> listCondition_;
    QString projectName_;
    std::vector<runsteps::Step> steps_;
    QStringList names_;
    QString projectPath_;
    flowsteps::Programs called_;
    bool prepared_ = false;
    RunContext context_;
    int stopVk_ = 0;
    int stopMask_ = 0;
    int pauseVk_ = 0;
    int pauseMask_ = 0;
    std::unique_ptr<std::thread> checkerThread_;
    std::atomic<bool> checkerRunning_{false};
    std::unique_ptr<std::thread> runThread_;
    std::atomic<bool> running_{false};
};
