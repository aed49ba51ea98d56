#include "core/pagekinds.h"
#include "core/windowmatch.h"

namespace pagekinds::name {
const QString &smoothMoveInWindow() {
    static const QString stored = QStringLiteral("ウィンドウムーブ");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::smoothMoveInWindow {

using namespace pagekinds;

// The window in elements 1 to 3 (core/windowmatch.h), the position in its client area after it.
const Kind &kind() {
    static const Kind row = commandKind(
        name::smoothMoveInWindow(), "Window Move", "Window Move", 7,
        [](const QTime &) -> QStringList {
            return {name::smoothMoveInWindow(), QString(),
                    windowmatch::containsName,  QString(),
                    QStringLiteral("0"),        QStringLiteral("0"),
                    QStringLiteral("1")};
        },
        {u"ウィンドウムーブ:指定のウィンドウの中の座標に時間を指定してスムーズに移動します。",
         u"Window Move: Smoothly moves the mouse pointer to the specified coordinates within the "
         u"chosen window over the specified amount of time."},
        {u"ウィンドウムーブ:マウスポインターが指定した座標に着くまでにかかる時間を指定します。",
         u"Window Move: Specifies the time it takes for the mouse pointer to reach the specified "
         u"coordinates."});
    return row;
}

} // namespace kinds::command::smoothMoveInWindow
