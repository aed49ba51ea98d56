#include "manualtext.h"

#include <QRegularExpression>

namespace manualtext {

namespace {

// The lines outside fenced code blocks; code may hold "#" and "[x](y)" that
// are not Markdown.
QStringList proseLines(const QString &markdown) {
    QStringList out;
    bool inFence = false;
    for (const QString &line : markdown.split(QLatin1Char('\n'))) {
        if (line.trimmed().startsWith(QLatin1String("```"))) {
            inFence = !inFence;
            continue;
        }
        if (!inFence)
            out << line;
    }
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

QString fileName(bool japanese) {
    return japanese ? QStringLiteral("manual.ja.md") : QStringLiteral("manual.md");
}

} // namespace manualtext
