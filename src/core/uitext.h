#pragma once

// One text the user sees, in both interface languages. There is no
// translation catalogue: each layer keeps a table of these and picks a column
// by the interface language.

#include <QString>

struct UiText {
    const char16_t *ja;
    const char16_t *en;

    QString in(bool japanese) const { return QString::fromUtf16(japanese ? ja : en); }
    QString japanese() const { return QString::fromUtf16(ja); }
};
