#pragma once

// The run engine: replays a project's pages by synthesising input through the
// input layer. The owner creates one Run per run, hands it copies of the
// settings and pages with setParameters (GUI thread), moves it to a QThread
// with an event loop and connects that thread's started() to start().
//
// Threads of a run: the owner's QThread (start, tray click, deletion), the
// run thread (runLoop), the stop-command watcher and one thread per timed
// action. They share only the three atomic flags below; there are no locks.
//
// Members are public so tests can reach them, as in the main window class.

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class QSystemTrayIcon;

class Run : public QObject {
    Q_OBJECT

public:
    explicit Run(QObject *parent = nullptr);
    ~Run() override;

    // True for a run that nothing but a click on its tray icon can end:
    // repeated until stopped, with no stop command.
    static bool onlyTrayStops(int runNumber, const QString &stopCommand);

    void setParameters(int stertTime, int runNumber, const QString &stopCommand,
                       const QList<QStringList> &listCommand,
                       const QList<QStringList> &listCondition, const QString &projectName);

signals:
    void finished();
    void requestBeep();
    // From the run thread: a page is about to be played (both counted from 1).
    void pageStarted(int pass, int page);
    // Emitted just before finished(): whether a stop (stop command, tray,
    // termination) ended the run rather than the last pass.
    void ended(bool stopped);

public slots:
    void start();

public:
    // ---- run loop, conditions and stop watcher ----
    void runLoop();
    void dispatchAction(const QStringList &command);
    void waitForCondition(const QStringList &condition);
    void waitForClick(int vk);
    void waitForClockTime(int hour, int minute);
    void waitForKeyCombination(const QString &text);
    // Held modifiers as a stored mask (Alt 1, Ctrl 2, Shift 4, Win 8).
    int readModifiers();
    void parseStopCommand();
    void startStopChecker();
    void stopStopChecker();
    void stopCheckerLoop();

    // ---- action workers (each the body of one thread) ----
    void clickLeft(double hold);
    void clickRight(double hold);
    void smoothMove(int x, int y, double duration);
    void pressKeys(const QString &spec);
    void typeText(const QString &text, double duration);

    // ---- input primitives ----
    bool isKeyDown(int vk);
    void sendKeyDown(int vk);
    void sendKeyUp(int vk);
    void waitSeconds(double seconds);

    // True once a stop was requested (or the process is being terminated).
    bool stopping() const;

    // ---- members, in declaration order ----
    int stertTime;
    int runNumber;
    QString stopCommand;
    QList<QStringList> listCommand;
    QList<QStringList> listCondition;
    QString projectName;
    std::atomic<bool> stopRequested;
    int stopVk;
    int stopMask;
    std::unique_ptr<std::thread> checkerThread;
    std::atomic<bool> checkerRunning;
    QSystemTrayIcon *trayIcon;
    std::unique_ptr<std::thread> runThread;
    std::vector<std::thread> actionThreads;
    std::atomic<bool> running;

    // One "done" flag per entry of actionThreads (same order), set by the
    // worker as its last step, so finished workers can be joined at once.
    std::vector<std::unique_ptr<std::atomic<bool>>> actionDone;
    // Keys (by virtual-key code) and mouse buttons the workers hold down now,
    // so whatever ends the run can release what is still pressed.
    std::atomic<int> heldKeys[256];
    std::atomic<int> heldButtons[2]; // left, right

private:
    bool startWorker(std::function<void()> body);
    void joinFinishedWorkers();
    void joinAllWorkers();
    void releaseHeldInput();
    void endRun();
    void removeTrayIcon();
    void pressButton(bool left);
    void releaseButton(bool left);
};
