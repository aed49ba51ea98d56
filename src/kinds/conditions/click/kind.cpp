#include "core/pagekinds.h"

namespace kinds::condition::click {

using namespace pagekinds;

const Kind &kind() {
    static const Kind row = conditionKind(name::click(), "Click", 2,
                                          [](const QTime &) -> QStringList {
                                              return {name::click(), leftSide};
                                          },
                                          {u"クリック:クリックされた時に次の操作に進みます。",
                                           u"Click: Clicking will proceed to the next command."});
    return row;
}

} // namespace kinds::condition::click
