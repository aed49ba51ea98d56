#pragma once

// The settings file tarnwick_free.json: eleven keys in one JSON object, read
// once at start and written once at a normal close. Every outcome is logged
// to the "tarnwick.config" category; nothing is shown to the user.

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcConfig)

namespace configstore {

inline constexpr char kFileName[] = "tarnwick_free.json";

// The stored values. filePath is the "file_path" key: empty when the file
// holds none.
struct Settings {
    int stertTime = 5;
    int runNumber = 1;
    QString stopCommand = QStringLiteral("83,3");
    QString filePath;
    bool is_used_stert = false;
    bool is_used_this = false;
    bool is_help = false;
    bool is_message_file = true;
    bool is_message_paste = false;
    bool is_message_delete = true;
    bool is_japanese = true;
};

// Backslashes (a path written on Windows) to "/", then QDir::cleanPath.
QString normalisePath(const QString &path);

// The settings file inside configDir, creating the folder when needed. When
// it cannot be created, the file beside the executable (appDir) is used.
QString configFilePath(const QString &configDir, const QString &appDir);

// Copies an older settings file from appDir to the settings file of
// configDir unless that exists already; logs "Migrated config from" whenever
// the old file exists. The new path (and its folder) is only worked out when
// there is something to migrate.
void migrate(const QString &appDir, const QString &configDir);

enum class LoadStatus { Loaded, Missing, OpenFailed, Empty, ParseError, NotObject };

// Reads path into `settings`. Keys that are missing or of another JSON type
// leave the member as it was; a "file_path" that is empty or not a string
// leaves settings.filePath as it was.
LoadStatus load(const QString &path, Settings &settings);
// The same for file content already read.
LoadStatus parse(const QByteArray &data, Settings &settings);

// The indented JSON with all eleven keys.
QByteArray serialize(const Settings &settings);

// Writes through a save file, so an interrupted save keeps the old file.
bool save(const QString &path, const Settings &settings);

} // namespace configstore
