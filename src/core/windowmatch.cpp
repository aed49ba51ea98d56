#include "windowmatch.h"

namespace windowmatch {

QString storedMode(Mode mode) {
    switch (mode) {
    case Mode::Exact:
        return exactName;
    case Mode::RegularExpression:
        return regularExpressionName;
    default:
        return containsName;
    }
}

Mode modeFromStored(const QString &stored) {
    if (stored == exactName)
        return Mode::Exact;
    if (stored == regularExpressionName)
        return Mode::RegularExpression;
    return Mode::Contains;
}

int modeIndex(Mode mode) {
    switch (mode) {
    case Mode::Exact:
        return 1;
    case Mode::RegularExpression:
        return 2;
    default:
        return 0;
    }
}

Mode modeAt(int index) {
    switch (index) {
    case 1:
        return Mode::Exact;
    case 2:
        return Mode::RegularExpression;
    default:
        return Mode::Contains;
    }
}

Choice fromRecord(const QStringList &record) {
    Choice choice;
    choice.title = record.value(1);
    choice.mode = modeFromStored(record.value(2));
    choice.program = record.value(3);
    return choice;
}

void toRecord(QStringList &record, const Choice &choice) {
    while (record.size() < 4)
        record.append(QString());
    record[1] = choice.title;
    record[2] = storedMode(choice.mode);
    record[3] = choice.program;
}

namespace {

// Windows reports "notepad.exe", people write "notepad" as often.
bool sameProgram(const QString &wanted, const QString &program) {
    if (wanted.compare(program, Qt::CaseInsensitive) == 0)
        return true;
    const QLatin1String exe(".exe");
    return program.endsWith(exe, Qt::CaseInsensitive) &&
           !wanted.endsWith(exe, Qt::CaseInsensitive) &&
           wanted.compare(program.left(program.size() - exe.size()), Qt::CaseInsensitive) == 0;
}

} // namespace

Matcher::Matcher(const Choice &choice) : choice_(choice) {
    if (choice_.mode == Mode::RegularExpression) {
        expression_.setPattern(choice_.title);
        valid_ = expression_.isValid();
    }
}

bool Matcher::matches(const Candidate &window) const {
    if (!valid_)
        return false;
    if (!choice_.program.isEmpty() && !sameProgram(choice_.program, window.program))
        return false;
    switch (choice_.mode) {
    case Mode::Exact:
        return window.title == choice_.title;
    case Mode::RegularExpression: {
        const QRegularExpressionMatch match = expression_.match(window.title);
        // An invalid match from a valid expression is PCRE's error, its
        // match or depth limit: not an answer either way.
        if (!match.isValid())
            tooCostly_ = true;
        return match.hasMatch();
    }
    default:
        return window.title.contains(choice_.title);
    }
}

int best(const Choice &choice, const QList<Candidate> &windows, bool *tooCostly) {
    const Matcher matcher(choice);
    int found = -1;
    for (int i = 0; i < windows.size() && found < 0 && !matcher.tooCostly(); ++i) {
        if (matcher.matches(windows.at(i)))
            found = i;
    }
    if (tooCostly)
        *tooCostly = matcher.tooCostly();
    return matcher.tooCostly() ? -1 : found;
}

int count(const Choice &choice, const QList<Candidate> &windows, bool *tooCostly) {
    const Matcher matcher(choice);
    int n = 0;
    for (const Candidate &window : windows) {
        if (matcher.matches(window))
            ++n;
    }
    if (tooCostly)
        *tooCostly = matcher.tooCostly();
    return n;
}

QString describe(const Choice &choice, bool japanese) {
    QString text =
        (japanese ? QStringLiteral("「%1」") : QStringLiteral("\"%1\"")).arg(choice.title);
    if (!choice.program.isEmpty())
        text += QStringLiteral(" (%1)").arg(choice.program);
    return text;
}

} // namespace windowmatch
