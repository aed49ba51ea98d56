#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &clockTime() {
    static const QString stored = QStringLiteral("時刻");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::clockTime {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = conditionKind(
        name::clockTime(), "Clock Time", 3,
        [](const QTime &now) -> QStringList {
            return {name::clockTime(), QString::number(now.hour()), QString::number(now.minute())};
        },
        {u"時刻:次の操作に進む時刻を設定します。",
         u"Clock Time:Set the time to proceed to the next command."});
    return row;
}

} // namespace kinds::condition::clockTime
