#include "manualtext.h"

#include <QRegularExpression>

namespace manualtext {

namespace {

// A fence line as CommonMark reads it: up to three spaces, then three or more
// backticks or tildes. `closing` asks for a fence that may end an open one
// (nothing after the marks).
struct Fence {
    QChar mark;
    int length = 0;
};

Fence fenceOf(const QString &line, bool closing) {
    int i = 0;
    while (i < line.size() && i < 4 && line.at(i) == QLatin1Char(' '))
        ++i;
    if (i > 3 || i >= line.size())
        return {};
    const QChar mark = line.at(i);
    if (mark != QLatin1Char('`') && mark != QLatin1Char('~'))
        return {};
    int end = i;
    while (end < line.size() && line.at(end) == mark)
        ++end;
    if (end - i < 3)
        return {};
    const QString rest = line.mid(end);
    // An info string may not hold a backtick after a backtick fence.
    if (closing ? !rest.trimmed().isEmpty()
                : (mark == QLatin1Char('`') && rest.contains(QLatin1Char('`'))))
        return {};
    return {mark, end - i};
}

// Walks the lines, telling apart prose and fenced code; `openAt` gets the
// 1-based line of a fence left open at the end, else 0.
QStringList proseLines(const QString &markdown, int *openAt = nullptr) {
    QStringList out;
    Fence open;
    int openLine = 0;
    const QStringList lines = markdown.split(QLatin1Char('\n'));
    for (int n = 0; n < lines.size(); ++n) {
        const QString &line = lines.at(n);
        if (open.length == 0) {
            const Fence f = fenceOf(line, false);
            if (f.length > 0) {
                open = f;
                openLine = n + 1;
                continue;
            }
            out << line;
        } else {
            const Fence f = fenceOf(line, true);
            if (f.mark == open.mark && f.length >= open.length)
                open = {};
        }
    }
    if (openAt)
        *openAt = open.length > 0 ? openLine : 0;
    return out;
}

} // namespace

QList<Heading> headings(const QString &markdown) {
    static const QRegularExpression atx(QStringLiteral("^(#{1,6})\\s+(.*?)\\s*#*\\s*$"));
    QList<Heading> list;
    for (const QString &line : proseLines(markdown)) {
        const QRegularExpressionMatch m = atx.match(line);
        if (m.hasMatch())
            list.append({int(m.capturedLength(1)), m.captured(2)});
    }
    return list;
}

QString slug(const QString &headingText) {
    QString out;
    for (const QChar c : headingText.toLower()) {
        if (c == QLatin1Char(' '))
            out += QLatin1Char('-');
        else if (c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_') ||
                 c.isMark())
            out += c;
    }
    return out;
}

int find(const QList<Heading> &list, const QStringList &path) {
    if (path.isEmpty())
        return -1;
    // Walks down: each part must be found below the one before, before a
    // heading of the outer part's level ends its section.
    int from = 0;
    int outerLevel = 0;
    for (int part = 0; part < path.size(); ++part) {
        int found = -1;
        for (int i = from; i < list.size(); ++i) {
            if (part > 0 && list.at(i).level <= outerLevel)
                break;
            if (list.at(i).text == path.at(part)) {
                found = i;
                break;
            }
        }
        if (found < 0)
            return -1;
        outerLevel = list.at(found).level;
        from = found + 1;
        if (part == path.size() - 1)
            return found;
    }
    return -1;
}

QList<Link> links(const QString &markdown) {
    // [text](target) and ![alt](target); inline code spans are left out.
    static const QRegularExpression code(QStringLiteral("`[^`]*`"));
    static const QRegularExpression link(QStringLiteral("(!?)\\[[^\\]]*\\]\\(([^)\\s]+)\\)"));
    QList<Link> list;
    for (QString line : proseLines(markdown)) {
        line.remove(code);
        auto it = link.globalMatch(line);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            list.append({!m.captured(1).isEmpty(), m.captured(2)});
        }
    }
    return list;
}

int unclosedFence(const QString &markdown) {
    int line = 0;
    proseLines(markdown, &line);
    return line;
}

QString fileName(bool japanese) {
    return japanese ? QStringLiteral("manual.ja.md") : QStringLiteral("manual.md");
}

} // namespace manualtext
