#include "core/pagekinds.h"
#include "core/windowmatch.h"

namespace pagekinds::name {
const QString &window() {
    static const QString stored = QStringLiteral("ウィンドウ切替");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::window {

using namespace pagekinds;

// The window pages keep the window in elements 1 to 3 (core/windowmatch.h).
const Kind &kind() {
    static const Kind row = commandKind(
        name::window(), "Window", "Window", 5,
        [](const QTime &) -> QStringList {
            return {name::window(), QString(), windowmatch::containsName, QString(),
                    QStringLiteral("5")};
        },
        {u"ウィンドウ切替:"
         u"指定のウィンドウを前面に出し、アクティブになるまで最大で指定の時間待ちます。",
         u"Window: Brings the chosen window to the front and waits up to the specified "
         u"time until it is active."},
        {u"ウィンドウ切替:ウィンドウがアクティブになるまで待つ最大の時間を指定します。",
         u"Window: Specifies the longest time to wait for the window to become active."});
    return row;
}

} // namespace kinds::command::window
