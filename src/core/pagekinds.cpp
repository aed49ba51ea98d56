#include "pagekinds.h"

namespace pagekinds {

Kind commandKind(const QString &stored, const char *english, const char *englishInList,
                 int elements, QStringList (*fresh)(const QTime &), UiText help,
                 UiText secondsHelp) {
    Kind k;
    k.side = Side::Command;
    k.stored = stored;
    k.japanese = k.stored;
    k.english = QString::fromLatin1(english);
    k.englishInList = QString::fromLatin1(englishInList);
    k.elements = elements;
    k.fresh = fresh;
    k.help = help;
    k.secondsHelp = secondsHelp;
    return k;
}

Kind conditionKind(const QString &stored, const char *english, int elements,
                   QStringList (*fresh)(const QTime &), UiText help) {
    Kind k = commandKind(stored, english, english, elements, fresh, help);
    k.side = Side::Condition;
    return k;
}

const QList<Kind> &commands() {
#define TARNWICK_COMMAND_ROW(id) kinds::command::id::kind(),
    static const QList<Kind> rows{TARNWICK_COMMANDS(TARNWICK_COMMAND_ROW)};
#undef TARNWICK_COMMAND_ROW
    return rows;
}

const QList<Kind> &conditions() {
#define TARNWICK_CONDITION_ROW(id) kinds::condition::id::kind(),
    static const QList<Kind> rows{TARNWICK_CONDITIONS(TARNWICK_CONDITION_ROW)};
#undef TARNWICK_CONDITION_ROW
    return rows;
}

const QList<Kind> &all(Side side) {
    return side == Side::Command ? commands() : conditions();
}

const Kind *find(Side side, const QString &stored) {
    for (const Kind &k : all(side)) {
        if (k.stored == stored)
            return &k;
    }
    return nullptr;
}

QString menuText(const Kind &kind, bool japanese) {
    return japanese ? kind.japanese : kind.english;
}

const Kind *findByMenuText(Side side, const QString &text, bool japanese) {
    for (const Kind &k : all(side)) {
        if (menuText(k, japanese) == text)
            return &k;
    }
    return nullptr;
}

RecordProblem check(Side side, const QStringList &record) {
    if (record.isEmpty())
        return RecordProblem::Empty;
    const Kind *kind = find(side, record.first());
    if (!kind)
        return RecordProblem::UnknownKind;
    if (record.size() < kind->elements)
        return RecordProblem::TooShort;
    return RecordProblem::None;
}

} // namespace pagekinds
