#include "core/pagekinds.h"

namespace kinds::condition::key {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = conditionKind(
        name::key(), "Key", 2,
        [](const QTime &) -> QStringList {
            return {name::key(), QString()};
        },
        {u"キー:単一または複数のキーを指定して、それが入力された時に次の操作に進みます。",
         u"Key: Specify one or more keys, and proceed to the next action when they are pressed."});
    return row;
}

} // namespace kinds::condition::key
