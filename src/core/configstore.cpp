#include "configstore.h"

#include <cmath>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcConfig, "tarnwick.config")

namespace configstore {

namespace {

// A missing key keeps the target as it was.
template <class Codec>
void readKey(const QJsonObject &o, QLatin1String key, typename Codec::Type &target) {
    const auto it = o.constFind(key);
    if (it != o.constEnd())
        Codec::read(*it, target);
}

} // namespace

void Number::read(const QJsonValue &value, int &target) {
    target = value.toInt(target);
}

void Flag::read(const QJsonValue &value, bool &target) {
    target = value.toBool(target);
}

void Real::read(const QJsonValue &value, double &target) {
    if (value.isDouble() && std::isfinite(value.toDouble()))
        target = value.toDouble();
}

void Text::read(const QJsonValue &value, QString &target) {
    target = value.toString(target);
}

void Path::read(const QJsonValue &value, QString &target) {
    if (value.isString() && !value.toString().isEmpty())
        target = normalisePath(value.toString());
}

QJsonValue Path::write(const QString &value) {
    return normalisePath(value);
}

QString normalisePath(const QString &path) {
    QString p = path;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::cleanPath(QDir::fromNativeSeparators(p));
}

QString configFilePath(const QString &configDir, const QString &appDir) {
    QDir dir(configDir);
    if (!dir.exists() && !dir.mkpath(QStringLiteral("."))) {
        qCWarning(lcConfig) << "Failed to create config dir:" << configDir;
        return appDir + QLatin1Char('/') + QLatin1String(kFileName);
    }
    return QDir::cleanPath(configDir + QLatin1Char('/') + QLatin1String(kFileName));
}

void migrate(const QString &appDir, const QString &configDir) {
    const QString oldPath = appDir + QLatin1Char('/') + QLatin1String(kFileName);
    const QFileInfo old(oldPath);
    if (!old.exists() || !old.isFile())
        return;
    const QString newPath = configFilePath(configDir, appDir);
    // QFile::copy refuses to overwrite, which is what keeps newer settings.
    QFile::copy(oldPath, newPath);
    qCDebug(lcConfig) << "Migrated config from" << oldPath << "to" << newPath;
}

LoadStatus load(const QString &path, Settings &settings) {
    qCDebug(lcConfig) << "Loading config from:" << path;
    if (!QFile::exists(path)) {
        qCDebug(lcConfig) << "Config file does not exist. Using defaults.";
        return LoadStatus::Missing;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcConfig) << "Failed to open config file for reading:" << path
                            << " error:" << file.errorString();
        return LoadStatus::OpenFailed;
    }
    const QByteArray data = file.readAll();
    file.close();
    return parse(data, settings);
}

LoadStatus parse(const QByteArray &data, Settings &settings) {
    if (data.isEmpty()) {
        qCDebug(lcConfig) << "Config file is empty. Using defaults.";
        return LoadStatus::Empty;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        qCWarning(lcConfig) << "Failed to parse config JSON:" << error.errorString()
                            << " offset:" << error.offset;
        return LoadStatus::ParseError;
    }
    if (!doc.isObject()) {
        qCWarning(lcConfig) << "Config JSON is not an object.";
        return LoadStatus::NotObject;
    }
    const QJsonObject o = doc.object();
#define TARNWICK_READ_SETTING(Codec, name, key, initial)                                           \
    readKey<Codec>(o, QLatin1String(key), settings.name);
    TARNWICK_SETTINGS(TARNWICK_READ_SETTING)
#undef TARNWICK_READ_SETTING
    return LoadStatus::Loaded;
}

QByteArray serialize(const Settings &s) {
    QJsonObject o;
#define TARNWICK_WRITE_SETTING(Codec, name, key, initial)                                          \
    o.insert(QLatin1String(key), Codec::write(s.name));
    TARNWICK_SETTINGS(TARNWICK_WRITE_SETTING)
#undef TARNWICK_WRITE_SETTING
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

bool save(const QString &path, const Settings &settings) {
    const QByteArray data = serialize(settings);
    qCDebug(lcConfig) << "Trying to save config to:" << path;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcConfig) << "Cannot open config file for writing:" << path
                            << " error:" << file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        qCWarning(lcConfig) << "Write failed:" << file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        qCWarning(lcConfig) << "Commit failed:" << file.errorString();
        return false;
    }
    qCDebug(lcConfig) << "Config saved OK. path =" << path;
    qCDebug(lcConfig) << "is_japanese =" << settings.is_japanese;
    return true;
}

} // namespace configstore
