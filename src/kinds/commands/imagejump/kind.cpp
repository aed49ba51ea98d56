#include "core/pagekinds.h"
#include "core/windowmatch.h"

namespace pagekinds::name {
const QString &imageJump() {
    static const QString stored = QStringLiteral("画像ジャンプ");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::imageJump {

using namespace pagekinds;

// The screen pages keep the window in elements 1 to 3, used when element 4
// says the window; the template (PNG in base64) comes last but for the
// jump's offset and time, so long text ends the record (core/screenpages.h).
const Kind &kind() {
    static const Kind row = commandKind(
        name::imageJump(), "Image Jump", "Image Jump", 15,
        [](const QTime &) -> QStringList {
            return {name::imageJump(),
                    QString(),
                    windowmatch::containsName,
                    QString(),
                    areaScreen,
                    QStringLiteral("0"),
                    QStringLiteral("0"),
                    QStringLiteral("0"),
                    QStringLiteral("0"),
                    QStringLiteral("90"),
                    QStringLiteral("1"),
                    QString(),
                    QStringLiteral("0"),
                    QStringLiteral("0"),
                    QStringLiteral("5")};
        },
        {u"画像ジャンプ:画面の中の画像を探し、見つかった場所にマウスポインターを移動します。",
         u"Image Jump: Looks for an image on the screen and moves the mouse pointer to where it is "
         u"found."});
    return row;
}

} // namespace kinds::command::imageJump
