#include "core/pagekinds.h"
#include "core/windowmatch.h"

namespace pagekinds::name {
const QString &windowState() {
    static const QString stored = QStringLiteral("ウィンドウ");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::windowState {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = conditionKind(
        name::windowState(), "Window", 5,
        [](const QTime &) -> QStringList {
            return {name::windowState(), QString(), windowmatch::containsName, QString(),
                    windowActive};
        },
        {u"ウィンドウ:指定のウィンドウがアクティブになる、開いている、またはなくなるまで待ちます。",
         u"Window: Waits until the chosen window is active, is open, or is no longer open."});
    return row;
}

} // namespace kinds::condition::windowState
