#pragma once

// The capture layer's texts in both interface languages.

#include "core/uitext.h"

namespace capturetexts {

inline constexpr UiText coordinatePrompt{
    u"マウスポインターの座標を取得中\nCtrl+Alt+Gを押してください。",
    u"Getting mouse pointer coordinates\nPress Ctrl+Alt+G."};

// Over the frozen screen while a template is made.
inline constexpr UiText templatePrompt{
    u"探す画像をドラッグで囲んでください。Esc か右クリックで中止します。",
    u"Drag around the picture to look for. Esc or a right click cancels."};

} // namespace capturetexts
