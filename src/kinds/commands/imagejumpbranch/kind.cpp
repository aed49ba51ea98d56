#include "kinds/limited.h"

namespace pagekinds::name {
const QString &imageJumpBranch() {
    static const QString stored = QStringLiteral("画像ジャンプ分岐");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::imageJumpBranch {

using namespace pagekinds;

// An Image Jump (which has its seconds already), then the page to go to when
// the picture is not found and the one when it is.
const Kind &kind() {
    static const Kind row = limitedKind(
        commandKind(
            name::imageJumpBranch(), "Try Image Jump", "Try Image Jump", 17,
            [](const QTime &now) {
                return limitedFresh(kinds::command::imageJump::kind(), name::imageJumpBranch(), now,
                                    false);
            },
            {u"画像ジャンプ分岐:"
             u"画像ジャンプと同じですが、見つからないときは停止せずに指定のページへ進みます。",
             u"Try Image Jump: As Image Jump, but when the image is not found the run goes on "
             u"at "
             u"the named page instead of stopping."}),
        kinds::command::imageJump::kind(), false);
    return row;
}

} // namespace kinds::command::imageJumpBranch
