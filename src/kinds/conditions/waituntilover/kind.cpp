#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &waitUntilOver() {
    static const QString stored = QStringLiteral("終わるまで待つ");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::waitUntilOver {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        conditionKind(name::waitUntilOver(), "Wait until over", 2,
                      [](const QTime &) -> QStringList {
                          return {name::waitUntilOver(), QStringLiteral("0.1")};
                      },
                      {u"終わるまで待つ:操作が終わるまで待ってから、次の操作に進みます。",
                       u"Wait until over: Wait until the current command finishes before "
                       u"proceeding to the next command."});
    return row;
}

} // namespace kinds::condition::waitUntilOver
