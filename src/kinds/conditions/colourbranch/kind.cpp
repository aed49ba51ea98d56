#include "kinds/limited.h"

namespace pagekinds::name {
const QString &colourBranch() {
    static const QString stored = QStringLiteral("色分岐");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::colourBranch {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = limitedKind(
        conditionKind(name::colourBranch(), "Colour Branch", 13,
                      [](const QTime &now) {
                          return limitedFresh(kinds::condition::colour::kind(),
                                              name::colourBranch(), now);
                      },
                      {u"色分岐:指定の秒数まで色を待ち、間に合ったかどうかで進むページを選びます。",
                       u"Colour Branch: Waits up to the given seconds for the colour, and goes on "
                       u"at the page named for whether it came in time."}),
        kinds::condition::colour::kind());
    return row;
}

} // namespace kinds::condition::colourBranch
