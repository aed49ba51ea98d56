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

Spec fromRecord(const QStringList &record) {
    Spec spec;
    spec.title = record.value(1);
    spec.mode = modeFromStored(record.value(2));
    spec.program = record.value(3);
    return spec;
}

void toRecord(QStringList &record, const Spec &spec) {
    while (record.size() < 4)
        record.append(QString());
    record[1] = spec.title;
    record[2] = storedMode(spec.mode);
    record[3] = spec.program;
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

Matcher::Matcher(const Spec &spec) : spec_(spec) {
    if (spec_.mode == Mode::RegularExpression) {
        expression_.setPattern(spec_.title);
        valid_ = expression_.isValid();
    }
}

bool Matcher::matches(const Candidate &window) const {
    if (!valid_)
        return false;
    if (!spec_.program.isEmpty() && !sameProgram(spec_.program, window.program))
        return false;
    switch (spec_.mode) {
    case Mode::Exact:
        return window.title == spec_.title;
    case Mode::RegularExpression:
        return expression_.match(window.title).hasMatch();
    default:
        return window.title.contains(spec_.title);
    }
}

int best(const Spec &spec, const QList<Candidate> &windows) {
    const Matcher matcher(spec);
    for (int i = 0; i < windows.size(); ++i) {
        if (matcher.matches(windows.at(i)))
            return i;
    }
    return -1;
}

int count(const Spec &spec, const QList<Candidate> &windows) {
    const Matcher matcher(spec);
    int n = 0;
    for (const Candidate &window : windows) {
        if (matcher.matches(window))
            ++n;
    }
    return n;
}

QString describe(const Spec &spec, bool japanese) {
    QString text = (japanese ? QStringLiteral("「%1」") : QStringLiteral("\"%1\"")).arg(spec.title);
    if (!spec.program.isEmpty())
        text += QStringLiteral(" (%1)").arg(spec.program);
    return text;
}

} // namespace windowmatch
