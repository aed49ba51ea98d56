#include "kinds/limited.h"

namespace pagekinds::name {
const QString &imageBranch() {
    static const QString stored = QStringLiteral("画像分岐");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::condition::imageBranch {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = limitedKind(
        conditionKind(
            name::imageBranch(), "Image Branch", 15,
            [](const QTime &now) {
                return limitedFresh(kinds::condition::image::kind(), name::imageBranch(), now);
            },
            {u"画像分岐:指定の秒数まで画像を待ち、見つかったかどうかで進むページを選びます。",
             u"Image Branch: Waits up to the given seconds for the image, and goes on at the page "
             u"named for whether it was found."}),
        kinds::condition::image::kind());
    return row;
}

} // namespace kinds::condition::imageBranch
