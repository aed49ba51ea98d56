#pragma once

// The capture layer's texts in both interface languages.

#include "core/uitext.h"

namespace capturetexts {

inline constexpr UiText coordinatePrompt{
    u"マウスポインターの座標を取得中\nCtrl+Alt+Gを押してください。",
    u"Getting mouse pointer coordinates\nPress Ctrl+Alt+G."};

} // namespace capturetexts
