// Recording rhythm: key taps and clicks at uneven pauses are performed
// through XTest while the X11 recorder listens; the recorded pages are then
// replayed by a Run while the recorder listens again. Each action's start in
// the replay (counted from the first action) is compared with the original.
// Goal: |error| within 10 ms per page, with no drift over the sequence.

#include "core/actionrecording.h"
#include "runbench.h"

#include <QApplication>

#include <cmath>
#include <thread>

using namespace runbench;

namespace {

class Collector final : public platform::RawInputListener {
public:
    void onRawInput(const platform::RawInputEvent &event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
    }
    std::vector<platform::RawInputEvent> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    // Times of the presses (keys and buttons), in order.
    std::vector<double> pressTimes() const {
        std::vector<double> out;
        for (const platform::RawInputEvent &e : events())
            if (e.type == platform::RawInputEvent::Type::KeyDown ||
                e.type == platform::RawInputEvent::Type::ButtonDown)
                out.push_back(double(e.timeMs));
        return out;
    }

private:
    mutable std::mutex mutex_;
    std::vector<platform::RawInputEvent> events_;
};

void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// The original performance: arrow keys (harmless on a bare display) and
// clicks on the root window, held and spaced unevenly.
void perform(int actions) {
    for (int i = 0; i < actions; ++i) {
        const int hold = 20 + (i * 7) % 60;
        if (i % 3 == 0) {
            platform::input().setCursorPos(5 + i, 5);
            sleepMs(20);
            platform::input().mouseDown(platform::MouseButton::Left);
            sleepMs(hold);
            platform::input().mouseUp(platform::MouseButton::Left);
        } else {
            const int vk = i % 2 ? 39 : 37;
            platform::input().keyDown(vk);
            sleepMs(hold);
            platform::input().keyUp(vk);
        }
        sleepMs(80 + (i * 37) % 300);
    }
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    Input input;
    if (!input.install())
        return 1;
    const int actions = argc > 1 ? std::atoi(argv[1]) : 60;

    std::unique_ptr<platform::InputRecorder> recorder = platform::createRecorder();
    std::string error;
    Collector original;
    if (!recorder->start(&original, error)) {
        std::fprintf(stderr, "cannot record: %s\n", error.c_str());
        return 1;
    }
    perform(actions);
    sleepMs(300);
    recorder->stop();
    const actionrecording::RecordedPages pages = actionrecording::pagesFor(original.events());

    Collector replay;
    if (!recorder->start(&replay, error))
        return 1;
    Run run;
    std::atomic<bool> done{false};
    Clock::time_point finishedAt;
    watchFinished(run, done, finishedAt);
    run.prepare(RunSettings{0, 1, QStringLiteral("なし")}, pages.commands, pages.conditions,
                QStringLiteral("bench"));
    run.start();
    if (!waitFor([&done] { return done.load(); }, actions * 1000 + 10000))
        return 1;
    recorder->stop();

    const std::vector<double> a = original.pressTimes();
    const std::vector<double> b = replay.pressTimes();
    std::printf("pages %lld, actions performed %d, recorded %zu, replayed %zu\n",
                static_cast<long long>(pages.commands.size()), actions, a.size(), b.size());
    if (a.size() != b.size() || a.empty())
        return 1;
    std::vector<double> fromStart, perPage;
    for (size_t i = 1; i < a.size(); ++i) {
        fromStart.push_back(std::fabs((b[i] - b[0]) - (a[i] - a[0])));
        perPage.push_back(std::fabs((b[i] - b[i - 1]) - (a[i] - a[i - 1])));
        if (std::getenv("RHYTHM_DETAIL"))
            std::printf("%3zu  original %6.0f  replay %6.0f\n", i, a[i] - a[i - 1],
                        b[i] - b[i - 1]);
    }
    printStats("|start error| counted from the first action", fromStart, "ms");
    printStats("|interval error| between neighbouring actions", perPage, "ms");
    std::printf("worst interval error against the 10 ms goal: %.2f\n",
                percentile(perPage, 100) / 10.0);
    return 0;
}
