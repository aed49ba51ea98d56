#pragma once

// Drives one Run against the recording input layer and notes its signals with
// the time they were emitted (from the run thread, under a lock).

#include "run/run.h"
#include "support/recordinginput.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace runtest {

using Clock = std::chrono::steady_clock;
using Pages = QList<QStringList>;

inline const QStringList kWaitOver{QStringLiteral("終わるまで待つ"), QStringLiteral("0")};
inline const QStringList kNow{QStringLiteral("即時")};
// A page whose only effect is a marker event, to see how far a run got.
inline const QStringList kMarker{QStringLiteral("マウスポインター"), QStringLiteral("7"),
                                 QStringLiteral("7")};
inline const std::string kMarkerText = "setCursorPos 7 7";

inline int countOf(const std::vector<std::string> &texts, const std::string &text) {
    return int(std::count(texts.begin(), texts.end(), text));
}

// Rows for a test of keys the user presses: heard as pushed key events, or
// polled from a backend that pushes none.
inline void addKeyModes() {
    QTest::addColumn<bool>("pushed");
    QTest::newRow("pushed key events") << true;
    QTest::newRow("polled") << false;
}

struct Signal {
    std::string name;
    Clock::time_point time;
};

class Harness {
public:
    testsupport::RecordingInput rec; // outlives the run
    std::unique_ptr<Run> run;
    Clock::time_point startedAt;
    // The backend pushes key events (as X11 and Win32 do); false: the run
    // must poll for keys.
    bool pushedKeys = true;
    // The settings the run starts from: begin() and prepare() set the start
    // delay, the run count and the stop command on them.
    RunSettings base;
    // The pages' names and the project's file, for jumps and called projects.
    QStringList names;
    QString projectPath;

    // The run goes first: a run still going (a failed check) notes its last
    // signals while being joined, and needs the log for that.
    ~Harness() { run.reset(); }

    void begin(const Pages &commands, const Pages &conditions, int runNumber = 1, int stertTime = 0,
               const QString &stopCommand = QStringLiteral("なし")) {
        prepare(commands, conditions, runNumber, stertTime, stopCommand);
        startedAt = Clock::now();
        run->start();
    }

    // Everything up to start(), which the test then calls itself.
    void prepare(const Pages &commands, const Pages &conditions, int runNumber = 1,
                 int stertTime = 0, const QString &stopCommand = QStringLiteral("なし")) {
        rec.offerKeyEvents(pushedKeys);
        run = std::make_unique<Run>();
        QObject::connect(
            run.get(), &Run::requestBeep, run.get(), [this] { note("beep"); },
            Qt::DirectConnection);
        QObject::connect(
            run.get(), &Run::finished, run.get(), [this] { note("finished"); },
            Qt::DirectConnection);
        RunSettings settings = base;
        settings.startDelay = stertTime;
        settings.runCount = runNumber;
        settings.stopCommand = stopCommand;
        run->setFlow(names, projectPath);
        runsteps::Refusal refusal;
        const bool prepared =
            run->prepare(settings, commands, conditions, QStringLiteral("test"), &refusal);
        QVERIFY2(prepared, qPrintable(runsteps::refusalText(refusal, false)));
    }

    std::vector<Signal> signalLog() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return signals_;
    }
    bool finished() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return !signals_.empty() && signals_.back().name == "finished";
    }
    std::vector<std::string> signalNames() const {
        std::vector<std::string> names;
        for (const Signal &s : signalLog())
            names.push_back(s.name);
        return names;
    }
    // What the run sent, without the final release of the layer.
    std::vector<std::string> sent() const {
        std::vector<std::string> texts;
        for (const std::string &t : rec.eventTexts())
            if (t.rfind("releaseAll", 0) != 0)
                texts.push_back(t);
        return texts;
    }
    std::vector<testsupport::InputEvent> sentEvents(const std::string &kind) const {
        std::vector<testsupport::InputEvent> out;
        for (const testsupport::InputEvent &e : rec.events())
            if (e.kind == kind)
                out.push_back(e);
        return out;
    }
    // The user pressing or releasing a key: pushed to the key listeners, or
    // only shown by "is down" when the backend pushes no key events.
    void key(int vk, bool down) {
        if (pushedKeys)
            rec.sendHookEvent(vk, down);
        else
            rec.setDown(vk, down);
    }
    // What a click on the run's tray icon does.
    void requestStop() { run->requestStop(); }

private:
    void note(const char *name) {
        std::lock_guard<std::mutex> lock(mutex_);
        signals_.push_back({name, Clock::now()});
    }
    mutable std::mutex mutex_;
    std::vector<Signal> signals_;
};

inline int liveThreadCount() {
    return int(QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

// Address space of the process: every thread that was started and not yet
// joined keeps its stack mapped, even after it ended.
inline long long virtualMemoryKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmSize:"))
            return line.mid(7).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline double msBetween(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

} // namespace runtest
