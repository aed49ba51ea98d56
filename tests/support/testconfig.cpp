#include "testconfig.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QStandardPaths>

namespace testsupport {

QString testConfigPath() {
    QStandardPaths::setTestModeEnabled(true);
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(dir);
    return QDir::cleanPath(dir + QStringLiteral("/tarnwick_free.json"));
}

void writeTestConfig(const QJsonObject &settings) {
    QFile f(testConfigPath());
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(QJsonDocument(settings).toJson(QJsonDocument::Indented));
}

void removeTestConfig() {
    QFile::remove(testConfigPath());
}

} // namespace testsupport
