#pragma once

// Which window a page means: a title pattern (contains, exact, or a regular
// expression) and, optionally, the program. The window pages store the
// pattern, its mode and the program as elements 1, 2 and 3 of their record.
// Takes the windows as values (topmost first), so it knows nothing of how
// they were listed.

#include <QList>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace windowmatch {

enum class Mode { Contains, Exact, RegularExpression };

// The modes as records store them, in menu order.
inline const QString containsName = QStringLiteral("含む");
inline const QString exactName = QStringLiteral("一致");
inline const QString regularExpressionName = QStringLiteral("正規表現");

// The stored text of a mode; anything else is read as "contains".
QString storedMode(Mode mode);
Mode modeFromStored(const QString &stored);
// The menu position of a mode and back (0 contains, 1 exact, 2 expression).
int modeIndex(Mode mode);
Mode modeAt(int index);

struct Choice {
    QString title; // the pattern
    Mode mode = Mode::Contains;
    QString program; // empty: any program
};

// Elements 1 to 3 of a window page's record (missing ones read as empty).
Choice fromRecord(const QStringList &record);
// Writes elements 1 to 3, padding a short record.
void toRecord(QStringList &record, const Choice &choice);

// One open window as the platform reported it.
struct Candidate {
    quint64 id = 0;
    QString title;
    QString program;
};

// A choice made ready for many windows (the expression compiled once).
class Matcher {
public:
    explicit Matcher(const Choice &choice);
    // False for a regular expression that does not compile: it matches
    // nothing.
    bool valid() const { return valid_; }
    bool matches(const Candidate &window) const;
    // True once a title made the expression hit the engine's limits (it
    // backtracks too much): that title counted as no match, though it may
    // be one, so the answer is not to be trusted.
    bool tooCostly() const { return tooCostly_; }

private:
    Choice choice_;
    QRegularExpression expression_;
    bool valid_ = true;
    mutable bool tooCostly_ = false;
};

// The matching window highest in the stacking order (`windows` topmost
// first); -1 when none matches, or when `tooCostly` is set (the expression
// hit the engine's limits on a title before the match).
int best(const Choice &choice, const QList<Candidate> &windows, bool *tooCostly = nullptr);
// How many of `windows` match; `tooCostly` as for best().
int count(const Choice &choice, const QList<Candidate> &windows, bool *tooCostly = nullptr);

// The choice as a message names it: the title quoted as the language quotes,
// then the program in brackets when one is given.
QString describe(const Choice &choice, bool japanese);

} // namespace windowmatch
