#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &immediately() {
    static const QString stored = QStringLiteral("即時");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::immediately {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        conditionKind(name::immediately(), "Immediately", 1,
                      [](const QTime &) -> QStringList { return {name::immediately()}; },
                      {u"即時:何も待たずに次の操作に進みます。",
                       u"Immediate: Proceeds to the next action without waiting."});
    return row;
}

} // namespace kinds::condition::immediately
