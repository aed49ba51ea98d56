#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &smoothMove() {
    static const QString stored = QStringLiteral("スムーズムーブ");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::smoothMove {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = commandKind(
        name::smoothMove(), "Smooth Move", "Smooth Move", 4,
        [](const QTime &) -> QStringList {
            return {name::smoothMove(), QStringLiteral("0"), QStringLiteral("0"),
                    QStringLiteral("1")};
        },
        {u"スムーズムーブ:"
         u"実行時のマウスポインターから指定の座標に時間を指定してスムーズに移動します。",
         u"Smooth Move: Smoothly moves the mouse pointer from its current position at runtime to "
         u"the specified coordinates over the specified amount of time."},
        {u"スムーズムーブ:マウスポインターが指定した座標に着くまでにかかる時間を指定します。",
         u"Smooth Move: Specifies the time it takes for the mouse pointer to reach the specified "
         u"coordinates."});
    return row;
}

} // namespace kinds::command::smoothMove
