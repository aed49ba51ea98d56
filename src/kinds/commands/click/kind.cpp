#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &click() {
    static const QString stored = QStringLiteral("クリック");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::click {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        commandKind(name::click(), "Click", "Click", 3,
                    [](const QTime &) -> QStringList {
                        return {name::click(), leftSide, QStringLiteral("0.01")};
                    },
                    {u"クリック:時間を指定してクリックします。",
                     u"Click: Clicks for the specified amount of time."},
                    {u"クリック:クリックする時間を指定します。",
                     u"Click: Specifies the duration of the click."});
    return row;
}

} // namespace kinds::command::click
