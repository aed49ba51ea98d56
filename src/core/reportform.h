#pragma once

// The body of a report sent to the feedback web form: three fields in a fixed
// order, URL-encoded so that whatever the user writes reaches the form intact.

#include <QByteArray>
#include <QList>
#include <QString>
#include <utility>

namespace reportform {

// Field keys of the receiving form.
inline const char applicationKey[] = "entry.793209462";
inline const char textKey[] = "entry.1751682220";
inline const char kindKey[] = "entry.1326656262";

// Value of the application field.
inline const char applicationLabel[] = "Tarnwick";

// What the user wrote, as it is sent: leading and trailing white space
// (blanks, tabs, line breaks, ideographic spaces) removed. Empty means there
// is nothing to send.
QString reportText(const QString &plainText);

// UTF-8 bytes of `value` with everything but the unreserved characters
// (A-Z a-z 0-9 - . _ ~) percent-encoded: a space becomes %20, and "&", "="
// and "+" are escaped so the form cannot split or alter the value.
QByteArray encodeComponent(const QString &value);

// key=value pairs joined by "&", each key and value encoded as above.
QByteArray encodeFormBody(const QList<std::pair<QString, QString>> &pairs);

// The whole body: application label, the user's text (trimmed), the kind.
QByteArray reportBody(const QString &plainText, const QString &kind);

} // namespace reportform
