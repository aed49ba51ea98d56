#include "reportform.h"

namespace reportform {

QString reportText(const QString &plainText) {
    return plainText.trimmed();
}

QByteArray encodeComponent(const QString &value) {
    // The default exclusions of toPercentEncoding are exactly the unreserved
    // set; a plain "+" must be escaped too, since form decoders read it as a
    // space.
    return value.toUtf8().toPercentEncoding();
}

QByteArray encodeFormBody(const QList<std::pair<QString, QString>> &pairs) {
    QByteArray body;
    for (const auto &[key, value] : pairs) {
        if (!body.isEmpty())
            body += '&';
        body += encodeComponent(key);
        body += '=';
        body += encodeComponent(value);
    }
    return body;
}

QByteArray reportBody(const QString &plainText, const QString &kind) {
    return encodeFormBody({
        {QString::fromLatin1(applicationKey), QString::fromLatin1(applicationLabel)},
        {QString::fromLatin1(textKey), reportText(plainText)},
        {QString::fromLatin1(kindKey), kind},
    });
}

} // namespace reportform
