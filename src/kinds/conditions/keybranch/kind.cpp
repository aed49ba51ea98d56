#include "kinds/limited.h"

namespace pagekinds::name {
const QString &keyBranch() {
    static const QString stored = QStringLiteral("キー分岐");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::keyBranch {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = limitedKind(
        conditionKind(
            name::keyBranch(), "Key Branch", 5,
            [](const QTime &now) {
                return limitedFresh(kinds::condition::key::kind(), name::keyBranch(), now);
            },
            {u"キー分岐:指定の秒数までキーを待ち、来たか来なかったかで進むページを選びます。",
             u"Key Branch: Waits up to the given seconds for the keys, and goes on at the page "
             u"named for whether they came."}),
        kinds::condition::key::kind());
    return row;
}

} // namespace kinds::condition::keyBranch
