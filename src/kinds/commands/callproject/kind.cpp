#include "core/pagekinds.h"

namespace pagekinds::name {
const QString &callProject() {
    static const QString stored = QStringLiteral("プロジェクト呼出");
    return stored;
}
} // namespace pagekinds::name

namespace kinds::command::callProject {

using namespace pagekinds;

// 1: the project's file, relative to the calling project's folder or absolute.
const Kind &kind() {
    static const Kind row = [] {
        Kind k = commandKind(
            name::callProject(), "Call Project", "Call Project", 2,
            [](const QTime &) -> QStringList {
                return {name::callProject(), QString()};
            },
            {u"プロジェクト呼出:別のプロジェクトのページをここで実行し、戻ってきます。",
             u"Call Project: Plays the pages of another project here, then comes back."});
        k.flow.callPath = 1;
        return k;
    }();
    return row;
}

} // namespace kinds::command::callProject
