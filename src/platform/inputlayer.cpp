#include "inputlayer.h"

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
    HookHandle installKeyboardHook(KeyboardHookProc) override { return nullptr; }
    std::intptr_t callNextHook(HookHandle, int, std::uintptr_t, std::intptr_t) override {
        return 0;
    }
    void uninstallKeyboardHook(HookHandle) override {}
    void setCaptureGrab(HookHandle, bool) override {}
    unsigned long lastError() override { return 0; }
    bool registerHotKey(int, unsigned, unsigned) override { return false; }
    void unregisterHotKey(int) override {}
    bool isHotKeyEvent(const char *, void *, int *) override { return false; }
    void releaseAll() override {}
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
    return factory ? factory() : createSystemRecorder();
}

void setRecorderFactory(RecorderFactory factory) {
    recorderFactory.store(factory);
}

} // namespace platform
