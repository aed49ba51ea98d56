#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &key() {
    static const QString stored = QStringLiteral("キー");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::key {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        commandKind(name::key(), "Key", "key", 3,
                    [](const QTime &) -> QStringList {
                        return {name::key(), QString(), QStringLiteral("0.01")};
                    },
                    {u"キー:時間を指定して単一または複数のキーを入力します。",
                     u"Key: Presses one or more keys for the specified amount of time."},
                    {u"キー:キーを入力する時間を指定します。",
                     u"Key: Specifies the duration for pressing the key(s)."});
    return row;
}

} // namespace kinds::command::key
