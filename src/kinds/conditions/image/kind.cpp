#include "core/pagekinds.h"
#include "core/windowmatch.h"

namespace pagekinds::name {
const QString &image() {
    static const QString stored = QStringLiteral("画像");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::image {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row =
        conditionKind(name::image(), "Image", 12,
                      [](const QTime &) -> QStringList {
                          return {name::image(),
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
                                  QString()};
                      },
                      {u"画像:指定の画像が画面に見つかるまで待ちます。",
                       u"Image: Waits until the specified image is found on the screen."});
    return row;
}

} // namespace kinds::condition::image
