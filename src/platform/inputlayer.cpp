#include "inputlayer.h"

#include "backend.h"

#include <atomic>

namespace platform {
namespace {

class NullInput final : public InputLayer {
public:
    void keyDown(int) override {}
    void keyUp(int) override {}
    void unicodeDown(char16_t) override {}
    void unicodeUp(char16_t) override {}
    void mouseDown(MouseButton) override {}
    void mouseUp(MouseButton) override {}
    Point cursorPos() override { return {}; }
    void setCursorPos(int, int) override {}
    bool isDown(int) override { return false; }
    void releaseAll() override {}
};

// Stands where the backend cannot record, so that the user learns why.
class UnavailableRecorder final : public InputRecorder {
public:
    explicit UnavailableRecorder(std::string backend) : backend_(std::move(backend)) {}
    bool start(RawInputListener *, std::string &error) override {
        error = "Recording is not available with the \"" + backend_ +
                "\" input backend: the program needs an X11 session or Windows.";
        return false;
    }
    void stop() override {}

private:
    std::string backend_;
};

NullInput nullInput;
std::atomic<InputLayer *> current{&nullInput};
std::atomic<RecorderFactory> recorderFactory{nullptr};

} // namespace

InputLayer &input() {
    return *current.load();
}

InputLayer *setInput(InputLayer *layer) {
    InputLayer *previous = current.exchange(layer ? layer : &nullInput);
    return previous == &nullInput ? nullptr : previous;
}

std::unique_ptr<InputRecorder> createRecorder() {
    const RecorderFactory factory = recorderFactory.load();
    if (factory)
        return factory();
    Backend &b = backend();
    std::unique_ptr<InputRecorder> recorder = b.createRecorder();
    if (!recorder)
        recorder = std::make_unique<UnavailableRecorder>(b.capabilities().name);
    return recorder;
}

void setRecorderFactory(RecorderFactory factory) {
    recorderFactory.store(factory);
}

} // namespace platform
