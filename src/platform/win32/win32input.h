#pragma once

#include "platform/inputlayer.h"

#include <memory>

namespace platform {

std::unique_ptr<InputLayer> createWin32Input();

} // namespace platform
