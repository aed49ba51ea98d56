#pragma once

// The rows and steps of the kinds that add a time limit to another kind: the
// record is the other kind's, then the seconds, then the page to go to when
// what it waits for does not come in time and the one when it does (empty:
// the next page).

#include "core/pagekinds.h"

namespace kinds {

// The other kind's fresh record under this kind's name, with 5 seconds and
// no pages named (`seconds` false: the other kind has its own seconds last).
inline QStringList limitedFresh(const pagekinds::Kind &base, const QString &stored,
                                const QTime &now, bool seconds = true) {
    QStringList record = base.fresh(now);
    record[0] = stored;
    if (seconds)
        record << QStringLiteral("5");
    return record << QString() << QString();
}

// The row: the other kind's elements and three more (two where the other
// kind has its seconds already).
inline pagekinds::Kind limitedKind(pagekinds::Kind row, const pagekinds::Kind &base,
                                   bool seconds = true) {
    row.base = base.stored;
    row.flow = pageflow::limitedAt(seconds ? base.elements : base.elements - 1);
    return row;
}

} // namespace kinds
