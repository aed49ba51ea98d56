#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &enterText() {
    static const QString stored = QStringLiteral("入力");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::enterText {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        commandKind(name::enterText(), "Enter Text", "Enter Text", 3,
                    [](const QTime &) -> QStringList {
                        return {name::enterText(), QString(), QStringLiteral("3")};
                    },
                    {u"入力:指定の時間をかけて文章全体を入力します。（日本語対応）",
                     u"Input: Types text, spreading the specified time over the whole text. "
                     u"(Supports Japanese)"},
                    {u"入力:文章全体を入力するのにかかる時間を指定します。",
                     u"Input: Specifies the time it takes to type the whole text."});
    return row;
}

} // namespace kinds::command::enterText
