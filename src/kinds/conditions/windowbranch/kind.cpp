#include "kinds/limited.h"

namespace pagekinds::name {
const QString &windowBranch() {
    static const QString stored = QStringLiteral("ウィンドウ分岐");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::windowBranch {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = limitedKind(
        conditionKind(
            name::windowBranch(), "Window Branch", 8,
            [](const QTime &now) {
                return limitedFresh(kinds::condition::windowState::kind(), name::windowBranch(),
                                    now);
            },
            {u"ウィンドウ分岐:"
             u"指定の秒数までウィンドウを待ち、間に合ったかどうかで進むページを選びます。",
             u"Window Branch: Waits up to the given seconds for the window, and goes on at the "
             u"page named for whether it came in time."}),
        kinds::condition::windowState::kind());
    return row;
}

} // namespace kinds::condition::windowBranch
