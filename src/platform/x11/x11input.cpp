#include "platform/inputlayer.h"

// Placeholder until the X11 layer is built.
namespace platform {
std::unique_ptr<InputLayer> createSystemInput(std::string &error) {
    error = "the X11 input layer is not built yet";
    return nullptr;
}
} // namespace platform
