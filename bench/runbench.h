#pragma once

// Shared pieces of the run benchmarks: the real input layer of this system
// wrapped in a proxy that notes the steady-clock time of each call, and
// medians and percentiles. Run them on an X display (Xvfb: see README.md).

#include "platform/backend.h"
#include "run/run.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace runbench {

using Clock = std::chrono::steady_clock;

// Forwards everything to the system layer; remembers when synthesis calls
// were made.
class TimingProxy final : public platform::InputLayer {
public:
    explicit TimingProxy(platform::InputLayer &real) : real_(real) {}

    struct Call {
        char kind; // 'k' key down, 'K' key up, 'u' unicode down, 'm' mouse down, 'M' mouse up
        int value;
        Clock::time_point time;
    };

    void keyDown(int vk) override { note('k', vk), real_.keyDown(vk); }
    void keyUp(int vk) override { note('K', vk), real_.keyUp(vk); }
    void unicodeDown(char16_t unit) override { note('u', unit), real_.unicodeDown(unit); }
    void unicodeUp(char16_t unit) override { real_.unicodeUp(unit); }
    void mouseDown(platform::MouseButton b) override { note('m', int(b)), real_.mouseDown(b); }
    void mouseUp(platform::MouseButton b) override { note('M', int(b)), real_.mouseUp(b); }
    platform::Point cursorPos() override { return real_.cursorPos(); }
    void setCursorPos(int x, int y) override { real_.setCursorPos(x, y); }
    bool isDown(int vk) override { return real_.isDown(vk); }
    void releaseAll() override { real_.releaseAll(); }

    // Only calls are kept while recording; counting always goes on.
    void setRecording(bool on) { recording_ = on; }
    long long count(char kind) const { return counts_[static_cast<unsigned char>(kind)].load(); }
    std::vector<Call> calls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
    }

private:
    void note(char kind, int value) {
        counts_[static_cast<unsigned char>(kind)].fetch_add(1);
        if (!recording_.load())
            return;
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back({kind, value, Clock::now()});
    }
    platform::InputLayer &real_;
    mutable std::mutex mutex_;
    std::vector<Call> calls_;
    std::atomic<bool> recording_{true};
    std::atomic<long long> counts_[128] = {};
};

// The system's backend, its synthesis behind a timing proxy, installed for
// the process.
struct Input {
    std::unique_ptr<platform::Backend> backend;
    platform::InputLayer *real = nullptr;
    std::unique_ptr<TimingProxy> proxy;

    bool install() {
        std::string error;
        backend = platform::createBackend(QGuiApplication::platformName().toStdString(), error);
        real = backend->synthesis();
        if (!real) {
            std::fprintf(stderr, "no input layer: %s (is DISPLAY an X server?)\n", error.c_str());
            return false;
        }
        platform::setBackend(backend.get());
        proxy = std::make_unique<TimingProxy>(*real);
        platform::setInput(proxy.get());
        return true;
    }
    ~Input() {
        if (real)
            real->releaseAll();
        platform::setBackend(nullptr);
    }
};

inline double ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// Nearest-rank percentile of `values` (0 < p <= 100).
inline double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    std::size_t rank = static_cast<std::size_t>(std::ceil(p / 100.0 * double(values.size())));
    rank = std::max<std::size_t>(rank, 1);
    return values[std::min(rank, values.size()) - 1];
}

inline void printStats(const char *what, const std::vector<double> &values, const char *unit) {
    std::printf("%-44s n=%zu  median %.3f %s  p99 %.3f %s  max %.3f %s\n", what, values.size(),
                percentile(values, 50), unit, percentile(values, 99), unit, percentile(values, 100),
                unit);
}

// Keeps the GUI thread's events flowing while waiting.
template <class Pred> bool waitFor(Pred pred, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!pred()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::usleep(200);
    }
    return true;
}

// Notes when `run` emits finished (directly, on the run thread).
inline void watchFinished(Run &run, std::atomic<bool> &done, Clock::time_point &at) {
    QObject::connect(
        &run, &Run::finished, &run,
        [&done, &at] {
            at = Clock::now();
            done = true;
        },
        Qt::DirectConnection);
}

inline int liveThreads() {
    return int(QDir(QStringLiteral("/proc/self/task"))
                   .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                   .size());
}

} // namespace runbench
