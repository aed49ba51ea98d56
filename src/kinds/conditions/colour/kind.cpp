#include "core/pagekinds.h"
#include "core/windowmatch.h"

namespace pagekinds::name {
const QString &colour() {
    static const QString stored = QStringLiteral("色");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::colour {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = conditionKind(
        name::colour(), "Colour", 10,
        [](const QTime &) -> QStringList {
            return {name::colour(),
                    QString(),
                    windowmatch::containsName,
                    QString(),
                    areaScreen,
                    QStringLiteral("0"),
                    QStringLiteral("0"),
                    QStringLiteral("#000000"),
                    QStringLiteral("16"),
                    colourBecomes};
        },
        {u"色:画面の指定の座標が指定の色になる、または指定の色でなくなるまで待ちます。",
         u"Colour: Waits until the pixel at the specified coordinates becomes, or stops being, the "
         u"specified colour."});
    return row;
}

} // namespace kinds::condition::colour
