#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &mousePointer() {
    static const QString stored = QStringLiteral("マウスポインター");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::mousePointer {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        commandKind(name::mousePointer(), "Mouse Pointer", "Mouse Pointer", 3,
                    [](const QTime &) -> QStringList {
                        return {name::mousePointer(), QStringLiteral("0"), QStringLiteral("0")};
                    },
                    {u"マウスポインター:マウスポインターを指定の座標に移動します。",
                     u"Mouse Pointer: Moves the mouse pointer to the specified coordinates."});
    return row;
}

} // namespace kinds::command::mousePointer
