#pragma once

// The settings file tarnwick_free.json: seventeen keys in one JSON object, read
// once at start and written once at a normal close. Every outcome is logged
// to the "tarnwick.config" category; nothing is shown to the user.

#include "keycombination.h"
#include "runsettings.h"

#include <QJsonValue>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcConfig)

namespace configstore {

inline constexpr char kFileName[] = "tarnwick_free.json";

// How one kind of value is read from and written to its JSON key. A value of
// another JSON type leaves the target as it was.
struct Number {
    using Type = int;
    static void read(const QJsonValue &value, int &target); // 2.5 or "5" keep it
    static QJsonValue write(int value) { return value; }
};
struct Flag {
    using Type = bool;
    static void read(const QJsonValue &value, bool &target);
    static QJsonValue write(bool value) { return value; }
};
struct Text {
    using Type = QString;
    static void read(const QJsonValue &value, QString &target);
    static QJsonValue write(const QString &value) { return value; }
};
// A real number (the speed factor); NaN and infinities keep the target.
struct Real {
    using Type = double;
    static void read(const QJsonValue &value, double &target);
    static QJsonValue write(double value) { return value; }
};
// A path: an empty text keeps the target too; both ways it is normalised.
struct Path {
    using Type = QString;
    static void read(const QJsonValue &value, QString &target);
    static QJsonValue write(const QString &value);
};

// Every setting, once: how it is stored, its member name (the same in
// Settings and in the main window), its JSON key and its default. Reading,
// writing and copying are all driven from these rows.
#define TARNWICK_SETTINGS(X)                                                                       \
    X(Number, stertTime, "stert_time", kDefaultStartDelay)                                         \
    X(Number, runNumber, "run_number", kDefaultRunCount)                                           \
    X(Text, stopCommand, "stop_command", QString::fromUtf16(kDefaultStopCommand))                  \
    X(Path, filePath, "file_path", QString()) /* empty when the file holds none */                 \
    X(Flag, is_used_stert, "is_used_stert", false)                                                 \
    X(Flag, is_used_this, "is_used_this", false)                                                   \
    X(Flag, is_help, "is_help", false)                                                             \
    X(Flag, is_message_file, "is_message_file", true)                                              \
    X(Flag, is_message_paste, "is_message_paste", false)                                           \
    X(Flag, is_message_delete, "is_message_delete", true)                                          \
    X(Flag, is_message_record, "is_message_record", true) /* the notice before a recording */      \
    X(Flag, is_japanese, "is_japanese", true)                                                      \
    X(Text, pauseCommand, "pause_command", QString::fromUtf16(kDefaultPauseCommand))               \
    X(Text, startCommand, "start_command", QString::fromUtf16(kNoKeyCombination))                  \
    X(Real, runSpeed, "run_speed", runpace::kDefaultSpeed)                                         \
    X(Number, varyPercent, "vary_percent", 0)                                                      \
    X(Number, varyPixels, "vary_pixels", 0)

// The stored values.
struct Settings {
#define TARNWICK_SETTING_MEMBER(Codec, name, key, initial) Codec::Type name = initial;
    TARNWICK_SETTINGS(TARNWICK_SETTING_MEMBER)
#undef TARNWICK_SETTING_MEMBER
};

// Copies every setting between two objects that name them alike, such as
// Settings and the main window.
template <class From, class To> void copySettings(const From &from, To &to) {
#define TARNWICK_COPY_SETTING(Codec, name, key, initial) to.name = from.name;
    TARNWICK_SETTINGS(TARNWICK_COPY_SETTING)
#undef TARNWICK_COPY_SETTING
}

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

// The indented JSON with every key of the table.
QByteArray serialize(const Settings &settings);

// Writes through a save file, so an interrupted save keeps the old file.
bool save(const QString &path, const Settings &settings);

} // namespace configstore
