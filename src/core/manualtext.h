#pragma once

// Reading the user manual's Markdown: its headings, the sections the editor's
// panes open it at, and the links and pictures it names. The manual comes in
// one file per language with the same sections in the same order, so a
// section found in one is at the same place in the other.

#include <QList>
#include <QString>
#include <QStringList>

namespace manualtext {

// The English manual's headings over the sections of each kind; a kind's own
// section is headed with its English name.
inline const QString commandsHeading = QStringLiteral("Commands");
inline const QString conditionsHeading = QStringLiteral("Conditions");

struct Heading {
    int level = 0; // 1 for "#"
    QString text;
};

// ATX headings ("## Text") outside fenced code blocks, in order.
QList<Heading> headings(const QString &markdown);

// The anchor a heading gets on the usual Markdown hosts: lower case, spaces
// as "-", punctuation dropped, letters of every script kept.
QString slug(const QString &headingText);

// The index in `list` of the heading `path` names from the outside in (a
// heading, then one below it), or -1.
int find(const QList<Heading> &list, const QStringList &path);

struct Link {
    bool image = false;
    QString target; // as written: "images/a.png", "#pages", "https://…"
};

// Inline links and images outside code, in order.
QList<Link> links(const QString &markdown);

// The line (1-based) of a code fence that is never closed, else 0: all
// that follows it would show as code.
int unclosedFence(const QString &markdown);

// The manual's file name in one language: "manual.ja.md" or "manual.md".
QString fileName(bool japanese);

} // namespace manualtext
