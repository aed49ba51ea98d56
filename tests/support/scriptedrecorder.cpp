#include "scriptedrecorder.h"

#include "platform/backend.h"

namespace testsupport {
namespace {

ScriptedRecorder *installed = nullptr;

} // namespace

class ScriptedRecorder::Recorder final : public platform::InputRecorder {
public:
    ~Recorder() override { stop(); }

    bool start(platform::RawInputListener *listener, std::string &error) override {
        std::lock_guard<std::mutex> lock(installed->mutex_);
        ++installed->starts_;
        if (!installed->failure_.empty()) {
            error = installed->failure_;
            installed->failure_.clear();
            return false;
        }
        installed->listener_ = listener;
        listening_ = true;
        return true;
    }

    void stop() override {
        if (!listening_ || !installed)
            return;
        std::lock_guard<std::mutex> lock(installed->mutex_);
        installed->listener_ = nullptr;
        listening_ = false;
    }

    std::int64_t now() const override {
        std::lock_guard<std::mutex> lock(installed->mutex_);
        return installed->now_;
    }

private:
    bool listening_ = false;
};

ScriptedRecorder::ScriptedRecorder() {
    installed = this;
    platform::setRecorderFactory(
        []() -> std::unique_ptr<platform::InputRecorder> { return std::make_unique<Recorder>(); });
}

ScriptedRecorder::~ScriptedRecorder() {
    platform::setRecorderFactory(nullptr);
    installed = nullptr;
}

bool ScriptedRecorder::send(const platform::RawInputEvent &event) {
    // Held across the call, as a recorder's stop waits for its thread.
    std::lock_guard<std::mutex> lock(mutex_);
    if (!listener_)
        return false;
    listener_->onRawInput(event);
    return true;
}

bool ScriptedRecorder::withhold(std::int64_t timeMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!listener_)
        return false;
    listener_->onInputWithheld(timeMs);
    return true;
}

void ScriptedRecorder::setNow(std::int64_t timeMs) {
    std::lock_guard<std::mutex> lock(mutex_);
    now_ = timeMs;
}

bool ScriptedRecorder::listening() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return listener_ != nullptr;
}

int ScriptedRecorder::starts() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return starts_;
}

void ScriptedRecorder::failNextStart(const std::string &error) {
    std::lock_guard<std::mutex> lock(mutex_);
    failure_ = error;
}

} // namespace testsupport
