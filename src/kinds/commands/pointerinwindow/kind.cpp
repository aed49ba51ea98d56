#include "core/pagekinds.h"
#include "core/windowmatch.h"

namespace pagekinds::name {
const QString &pointerInWindow() {
    static const QString stored = QStringLiteral("ウィンドウ座標");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::pointerInWindow {

using namespace pagekinds;

// The window in elements 1 to 3 (core/windowmatch.h), the position in its client area after it.
const Kind &kind() {
    static const Kind row =
        commandKind(name::pointerInWindow(), "Window Pointer", "Window Pointer", 6,
                    [](const QTime &) -> QStringList {
                        return {name::pointerInWindow(),   QString(),
                                windowmatch::containsName, QString(),
                                QStringLiteral("0"),       QStringLiteral("0")};
                    },
                    {u"ウィンドウ座標:マウスポインターを指定のウィンドウの中の座標に移動します。",
                     u"Window Pointer: Moves the mouse pointer to the specified coordinates within "
                     u"the chosen window."});
    return row;
}

} // namespace kinds::command::pointerInWindow
