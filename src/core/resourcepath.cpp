#include "resourcepath.h"

#include <QDir>
#include <QFileInfo>

namespace resourcepath {

QString shippedFile(const QString &relative, const QString &appDir) {
    QString name = relative;
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    const QDir dir(appDir);
    const QString beside = dir.filePath(name);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(
        dir.filePath(QString::fromLatin1(kInstalledDataDir) + QLatin1Char('/') + name));
    if (QFileInfo::exists(installed))
        return installed;
    return beside;
}

QString shippedDocument(const QString &name, const QString &appDir) {
    const QDir dir(appDir);
    const QString beside = dir.filePath(QStringLiteral("doc/") + name);
    if (QFileInfo::exists(beside))
        return beside;
    const QString installed = QDir::cleanPath(
        dir.filePath(QString::fromLatin1(kInstalledDocDir) + QLatin1Char('/') + name));
    if (QFileInfo::exists(installed))
        return installed;
    return beside;
}

QString runtimeFile(const QString &relative, const QString &appDir) {
    if (QDir::isRelativePath(relative) && QFileInfo::exists(relative))
        return relative;
    return shippedFile(relative, appDir);
}

} // namespace resourcepath
