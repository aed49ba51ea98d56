#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &time() {
    static const QString stored = QStringLiteral("時間");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::time {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        conditionKind(name::time(), "Time", 2,
                      [](const QTime &) -> QStringList {
                          return {name::time(), QStringLiteral("0.1")};
                      },
                      {u"時間:次の操作に進むまでの時間を指定します。",
                       u"Time: Specifies how long to wait before proceeding to the next action."});
    return row;
}

} // namespace kinds::condition::time
