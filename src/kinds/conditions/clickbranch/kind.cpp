#include "kinds/limited.h"

namespace pagekinds::name {
const QString &clickBranch() {
    static const QString stored = QStringLiteral("クリック分岐");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::clickBranch {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = limitedKind(
        conditionKind(name::clickBranch(), "Click Branch", 5,
                      [](const QTime &now) {
                          return limitedFresh(kinds::condition::click::kind(), name::clickBranch(),
                                              now);
                      },
                      {u"クリック分岐:"
                       u"指定の秒数までクリックを待ち、来たか来なかったかで進むページを選びます。",
                       u"Click Branch: Waits up to the given seconds for a click, and goes on at "
                       u"the page named for whether it came."}),
        kinds::condition::click::kind());
    return row;
}

} // namespace kinds::condition::clickBranch
