#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &none() {
    static const QString stored = QStringLiteral("なし");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::none {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        commandKind(name::none(), "None", "None", 1,
                    [](const QTime &) -> QStringList { return {name::none()}; },
                    {u"なし:何も行われません、条件のみを指定する場合に使用します。",
                     u"None: Does nothing. Use this when you want to specify only a condition."});
    return row;
}

} // namespace kinds::command::none
