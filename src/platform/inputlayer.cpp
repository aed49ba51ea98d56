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
    void releaseAll() override {}
};

NullInput nullInput;
std::atomic<InputLayer *> current{&nullInput};

} // namespace

InputLayer &input() {
    return *current.load();
}

InputLayer *setInput(InputLayer *layer) {
    InputLayer *previous = current.exchange(layer ? layer : &nullInput);
    return previous == &nullInput ? nullptr : previous;
}

} // namespace platform
