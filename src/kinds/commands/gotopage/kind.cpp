#include "core/pageflow.h"
#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &goToPage() {
    static const QString stored = QStringLiteral("ページへ");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::goToPage {

using namespace pagekinds;

// 1: the page to go to, by name; 2: how often, or every time.
const Kind &kind() {
    static const Kind row = [] {
        Kind k = commandKind(
            name::goToPage(), "Go to Page", "Go to Page", 3,
            [](const QTime &) -> QStringList {
                return {name::goToPage(), QString(), pageflow::everyTime};
            },
            {u"ページへ:条件を満たした後、名前で指定したページから続けます（回数を指定できます）。",
             u"Go to Page: After the condition, continues at the named page (a number of times, or "
             u"every time)."});
        k.flow.target = 1;
        k.flow.count = 2;
        return k;
    }();
    return row;
}

} // namespace kinds::command::goToPage
