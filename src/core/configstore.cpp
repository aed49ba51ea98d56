#include "configstore.h"

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

const QString kStertTime = QStringLiteral("stert_time");
const QString kRunNumber = QStringLiteral("run_number");
const QString kStopCommand = QStringLiteral("stop_command");
const QString kFilePath = QStringLiteral("file_path");
const QString kIsUsedStert = QStringLiteral("is_used_stert");
const QString kIsUsedThis = QStringLiteral("is_used_this");
const QString kIsHelp = QStringLiteral("is_help");
const QString kIsMessageFile = QStringLiteral("is_message_file");
const QString kIsMessagePaste = QStringLiteral("is_message_paste");
const QString kIsMessageDelete = QStringLiteral("is_message_delete");
const QString kIsJapanese = QStringLiteral("is_japanese");

// A value of another type (2.5 or "5" for an integer) keeps the fallback.
void readInt(const QJsonObject &o, const QString &key, int &target) {
    const auto it = o.constFind(key);
    if (it != o.constEnd())
        target = it->toInt(target);
}

void readBool(const QJsonObject &o, const QString &key, bool &target) {
    const auto it = o.constFind(key);
    if (it != o.constEnd())
        target = it->toBool(target);
}

void readString(const QJsonObject &o, const QString &key, QString &target) {
    const auto it = o.constFind(key);
    if (it != o.constEnd())
        target = it->toString(target);
}

} // namespace

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
    readInt(o, kStertTime, settings.stertTime);
    readInt(o, kRunNumber, settings.runNumber);
    readString(o, kStopCommand, settings.stopCommand);
    const auto fp = o.constFind(kFilePath);
    if (fp != o.constEnd() && fp->isString() && !fp->toString().isEmpty())
        settings.filePath = normalisePath(fp->toString());
    readBool(o, kIsUsedStert, settings.is_used_stert);
    readBool(o, kIsUsedThis, settings.is_used_this);
    readBool(o, kIsHelp, settings.is_help);
    readBool(o, kIsMessageFile, settings.is_message_file);
    readBool(o, kIsMessagePaste, settings.is_message_paste);
    readBool(o, kIsMessageDelete, settings.is_message_delete);
    readBool(o, kIsJapanese, settings.is_japanese);
    return LoadStatus::Loaded;
}

QByteArray serialize(const Settings &s) {
    QJsonObject o;
    o.insert(kStertTime, s.stertTime);
    o.insert(kRunNumber, s.runNumber);
    o.insert(kStopCommand, s.stopCommand);
    o.insert(kFilePath, normalisePath(s.filePath));
    o.insert(kIsUsedStert, s.is_used_stert);
    o.insert(kIsUsedThis, s.is_used_this);
    o.insert(kIsHelp, s.is_help);
    o.insert(kIsMessageFile, s.is_message_file);
    o.insert(kIsMessagePaste, s.is_message_paste);
    o.insert(kIsMessageDelete, s.is_message_delete);
    o.insert(kIsJapanese, s.is_japanese);
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
