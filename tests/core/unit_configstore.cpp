#include "core/configstore.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using configstore::LoadStatus;
using configstore::Settings;

namespace {

// Collects what the settings store logs, as "D text" / "W text" lines.
class LogCapture {
public:
    LogCapture() {
        lines().clear();
        previous_ = qInstallMessageHandler(&LogCapture::handler);
    }
    ~LogCapture() { qInstallMessageHandler(previous_); }
    static QStringList &lines() {
        static QStringList l;
        return l;
    }

private:
    static void handler(QtMsgType type, const QMessageLogContext &context, const QString &msg) {
        if (QLatin1String(context.category) != QLatin1String("tarnwick.config"))
            return;
        lines().append((type == QtWarningMsg ? QStringLiteral("W ") : QStringLiteral("D ")) + msg);
    }
    QtMessageHandler previous_ = nullptr;
};

// JSON written with single quotes, to keep the tables readable.
QByteArray j(const char *text) {
    return QByteArray(text).replace('\'', '"');
}

bool writeAll(const QString &path, const QByteArray &data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString quoted(const QString &s) {
    return QLatin1Char('"') + s + QLatin1Char('"');
}

bool sameSettings(const Settings &a, const Settings &b) {
    bool same = true;
#define SAME_SETTING(Codec, name, key, initial) same = same && a.name == b.name;
    TARNWICK_SETTINGS(SAME_SETTING)
#undef SAME_SETTING
    return same;
}

// Sets the member called `field` (its C++ name) to `value`; false when no
// setting has that name.
bool setField(Settings &s, const QString &field, const QVariant &value) {
#define SET_SETTING(Codec, name, key, initial)                                                     \
    if (field == QLatin1String(#name)) {                                                           \
        s.name = value.value<configstore::Codec::Type>();                                          \
        return true;                                                                               \
    }
    TARNWICK_SETTINGS(SET_SETTING)
#undef SET_SETTING
    return false;
}

} // namespace

class ConfigStoreTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartWithoutFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarnwick_free.json"));
        LogCapture log;
        Settings s;
        QCOMPARE(configstore::load(path, s), LoadStatus::Missing);
        QVERIFY(sameSettings(s, Settings{}));
        QCOMPARE(log.lines(), (QStringList{"D Loading config from: " + quoted(path),
                                           "D Config file does not exist. Using defaults."}));
    }

    // Each row: one file content, and what must differ from the defaults.
    void readValues_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("only is_japanese false")
            << j("{'is_japanese': false}") << "is_japanese" << QVariant(false);
        QTest::newRow("stert_time 2.5 keeps 5") << j("{'stert_time': 2.5}") << "" << QVariant();
        QTest::newRow("stert_time text keeps 5") << j("{'stert_time': '5'}") << "" << QVariant();
        QTest::newRow("stert_time whole number")
            << j("{'stert_time': 12}") << "stertTime" << QVariant(12);
        QTest::newRow("run_number endless")
            << j("{'run_number': 114514}") << "runNumber" << QVariant(114514);
        QTest::newRow("run_number bool keeps 1") << j("{'run_number': true}") << "" << QVariant();
        QTest::newRow("stop_command number keeps default")
            << j("{'stop_command': 83}") << "" << QVariant();
        QTest::newRow("stop_command none")
            << j("{'stop_command': 'なし'}") << "stopCommand" << QVariant("なし");
        QTest::newRow("bool as text keeps default")
            << j("{'is_message_file': 'false'}") << "" << QVariant();
        QTest::newRow("bool as number keeps default") << j("{'is_help': 1}") << "" << QVariant();
        QTest::newRow("is_message_paste on")
            << j("{'is_message_paste': true}") << "is_message_paste" << QVariant(true);
        QTest::newRow("empty file_path") << j("{'file_path': ''}") << "" << QVariant();
        QTest::newRow("file_path not a string") << j("{'file_path': 7}") << "" << QVariant();
        QTest::newRow("file_path backslashes")
            << j("{'file_path': 'C:\\\\Users\\\\me\\\\Desktop\\\\..\\\\work\\\\a.cmdat'}")
            << "filePath" << QVariant("C:/Users/me/work/a.cmdat");
        QTest::newRow("file_path cleaned") << j("{'file_path': '/home/me//p/./q.cmdat'}")
                                           << "filePath" << QVariant("/home/me/p/q.cmdat");
        QTest::newRow("unknown keys ignored")
            << j("{'theme': 'dark', 'is_used_this': true}") << "is_used_this" << QVariant(true);
        // Every setting alone, under its own key, with a value other than its default.
        QTest::newRow("own key: stert_time")
            << j("{'stert_time': 30}") << "stertTime" << QVariant(30);
        QTest::newRow("own key: run_number")
            << j("{'run_number': 7}") << "runNumber" << QVariant(7);
        QTest::newRow("own key: stop_command")
            << j("{'stop_command': '65,2'}") << "stopCommand" << QVariant("65,2");
        QTest::newRow("own key: file_path")
            << j("{'file_path': '/a/b.cmdat'}") << "filePath" << QVariant("/a/b.cmdat");
        QTest::newRow("own key: is_used_stert")
            << j("{'is_used_stert': true}") << "is_used_stert" << QVariant(true);
        QTest::newRow("own key: is_used_this")
            << j("{'is_used_this': true}") << "is_used_this" << QVariant(true);
        QTest::newRow("own key: is_help") << j("{'is_help': true}") << "is_help" << QVariant(true);
        QTest::newRow("own key: is_message_file")
            << j("{'is_message_file': false}") << "is_message_file" << QVariant(false);
        QTest::newRow("own key: is_message_paste")
            << j("{'is_message_paste': true}") << "is_message_paste" << QVariant(true);
        QTest::newRow("own key: is_message_delete")
            << j("{'is_message_delete': false}") << "is_message_delete" << QVariant(false);
        QTest::newRow("own key: is_japanese")
            << j("{'is_japanese': false}") << "is_japanese" << QVariant(false);
        QTest::newRow("own key: pause_command")
            << j("{'pause_command': 'なし'}") << "pauseCommand" << QVariant("なし");
        QTest::newRow("own key: start_command")
            << j("{'start_command': '120,3'}") << "startCommand" << QVariant("120,3");
        QTest::newRow("own key: run_speed")
            << j("{'run_speed': 2.5}") << "runSpeed" << QVariant(2.5);
        QTest::newRow("own key: vary_percent")
            << j("{'vary_percent': 20}") << "varyPercent" << QVariant(20);
        QTest::newRow("own key: vary_pixels")
            << j("{'vary_pixels': 4}") << "varyPixels" << QVariant(4);
        QTest::newRow("run_speed text keeps 1") << j("{'run_speed': '2'}") << "" << QVariant();
    }

    void readValues() {
        QFETCH(QByteArray, json);
        QFETCH(QString, field);
        QFETCH(QVariant, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarnwick_free.json"));
        QVERIFY(writeAll(path, json));
        Settings s;
        QCOMPARE(configstore::load(path, s), LoadStatus::Loaded);
        Settings want;
        if (!field.isEmpty())
            QVERIFY2(setField(want, field, expected), qPrintable(field));
        QVERIFY(sameSettings(s, want));
    }

    // The file a first start writes: the keys and defaults users' files hold,
    // spelled out here rather than taken from the table, so that a changed
    // key or default in the table shows.
    void defaultsAsWritten() {
        const QJsonObject expected =
            QJsonDocument::fromJson(j("{'stert_time': 5, 'run_number': 1, 'stop_command': '83,3',"
                                      " 'file_path': '', 'is_used_stert': false,"
                                      " 'is_used_this': false, 'is_help': false,"
                                      " 'is_message_file': true, 'is_message_paste': false,"
                                      " 'is_message_delete': true, 'is_message_record': true,"
                                      " 'is_japanese': true, 'pause_command': '80,3',"
                                      " 'start_command': 'なし', 'run_speed': 1,"
                                      " 'vary_percent': 0, 'vary_pixels': 0}"))
                .object();
        QCOMPARE(expected.size(), 17);
        QCOMPARE(QJsonDocument::fromJson(configstore::serialize(Settings{})).object(), expected);
    }

    // The member's current value is the fallback, not the table default.
    void fallbackIsCurrentValue() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarnwick_free.json"));
        QVERIFY(writeAll(path, j("{'stop_command': [], 'stert_time': 1.5, 'file_path': ''}")));
        Settings s;
        s.stopCommand = QStringLiteral("65,2");
        s.stertTime = 9;
        s.filePath = QStringLiteral("/kept");
        QCOMPARE(configstore::load(path, s), LoadStatus::Loaded);
        QCOMPARE(s.stopCommand, QStringLiteral("65,2"));
        QCOMPARE(s.stertTime, 9);
        QCOMPARE(s.filePath, QStringLiteral("/kept"));
    }

    void unusableFiles_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<LoadStatus>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << QByteArray() << LoadStatus::Empty
                               << "D Config file is empty. Using defaults.";
        QTest::newRow("not JSON") << QByteArray("{\"stert_time\": 3,") << LoadStatus::ParseError
                                  << "W Failed to parse config JSON: \"%1\"  offset: 17";
        QTest::newRow("array") << j("[{'stert_time': 3}]") << LoadStatus::NotObject
                               << "W Config JSON is not an object.";
    }

    void unusableFiles() {
        QFETCH(QByteArray, content);
        QFETCH(LoadStatus, status);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarnwick_free.json"));
        QVERIFY(writeAll(path, content));
        if (message.contains("%1")) {
            QJsonParseError error;
            QJsonDocument::fromJson(content, &error);
            message = message.arg(error.errorString());
        }
        LogCapture log;
        Settings s;
        QCOMPARE(configstore::load(path, s), status);
        QVERIFY(sameSettings(s, Settings{}));
        QCOMPARE(log.lines().size(), 2);
        QCOMPARE(log.lines().last(), message);
    }

    void saveWritesElevenKeysAndReadsBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarnwick_free.json"));
        Settings s;
        s.stertTime = 0;
        s.runNumber = 114514;
        s.stopCommand = QStringLiteral("なし");
        s.filePath = QStringLiteral("D:\\proj\\\\a.cmdat");
        s.is_used_stert = s.is_used_this = s.is_help = s.is_message_paste = true;
        s.is_message_file = s.is_message_delete = s.is_japanese = false;
        LogCapture log;
        QVERIFY(configstore::save(path, s));
        QCOMPARE(log.lines(), (QStringList{"D Trying to save config to: " + quoted(path),
                                           "D Config saved OK. path = " + quoted(path),
                                           "D is_japanese = false"}));

        const QJsonObject o = QJsonDocument::fromJson(readAll(path)).object();
        QCOMPARE(o.size(), 17);
        QCOMPARE(o.value("file_path").toString(), QStringLiteral("D:/proj/a.cmdat"));
        QVERIFY(o.value("stert_time").isDouble());
        QVERIFY(o.value("is_japanese").isBool());

        Settings back;
        QCOMPARE(configstore::load(path, back), LoadStatus::Loaded);
        s.filePath = QStringLiteral("D:/proj/a.cmdat");
        QVERIFY(sameSettings(back, s));
    }

    void emptyFilePathStaysEmpty() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tarnwick_free.json"));
        QVERIFY(configstore::save(path, Settings{}));
        const QJsonObject o = QJsonDocument::fromJson(readAll(path)).object();
        QVERIFY(o.value("file_path").isString());
        QCOMPARE(o.value("file_path").toString(), QString());
    }

    void failedSaveKeepsOldFile() {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("plain"));
        QVERIFY(writeAll(blocker, "x"));
        const QString path = blocker + QStringLiteral("/tarnwick_free.json");
        LogCapture log;
        QVERIFY(!configstore::save(path, Settings{}));
        QCOMPARE(log.lines().size(), 2);
        QVERIFY(log.lines().last().startsWith(
            "W Cannot open config file for writing: " + quoted(path) + "  error: "));
        QCOMPARE(readAll(blocker), QByteArray("x"));
    }

    void configFilePathCreatesFolder() {
        QTemporaryDir dir;
        const QString configDir = dir.filePath(QStringLiteral("a/b/c"));
        const QString path = configstore::configFilePath(configDir + "/", dir.filePath("app"));
        QCOMPARE(path, configDir + QStringLiteral("/tarnwick_free.json"));
        QVERIFY(QFileInfo(configDir).isDir());
    }

    void configFilePathFallsBackBesideExecutable() {
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath("plain"), "x"));
        const QString configDir = dir.filePath(QStringLiteral("plain/config"));
        const QString appDir = dir.filePath(QStringLiteral("app"));
        LogCapture log;
        QCOMPARE(configstore::configFilePath(configDir, appDir),
                 appDir + QStringLiteral("/tarnwick_free.json"));
        QCOMPARE(log.lines(), QStringList{"W Failed to create config dir: " + quoted(configDir)});
    }

    void migration_data() {
        QTest::addColumn<bool>("oldExists");
        QTest::addColumn<bool>("newExists");
        QTest::newRow("old only: copied") << true << false;
        QTest::newRow("both: new kept") << true << true;
        QTest::newRow("neither: nothing") << false << false;
        QTest::newRow("new only: nothing") << false << true;
    }

    void migration() {
        QFETCH(bool, oldExists);
        QFETCH(bool, newExists);
        QTemporaryDir dir;
        const QString appDir = dir.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(appDir));
        const QString oldPath = appDir + QStringLiteral("/tarnwick_free.json");
        const QString configDir = dir.filePath(QStringLiteral("config"));
        const QString newPath = configDir + QStringLiteral("/tarnwick_free.json");
        if (oldExists)
            QVERIFY(writeAll(oldPath, j("{'stert_time': 1}")));
        if (newExists)
            QVERIFY(QDir().mkpath(configDir) && writeAll(newPath, j("{'stert_time': 2}")));
        LogCapture log;
        configstore::migrate(appDir, configDir);
        if (oldExists) {
            QCOMPARE(log.lines(), QStringList{"D Migrated config from " + quoted(oldPath) + " to " +
                                              quoted(newPath)});
            QVERIFY(QFile::exists(oldPath));
        } else {
            QVERIFY(log.lines().isEmpty());
            // Nothing to migrate: the settings folder is not even looked for.
            QCOMPARE(QFileInfo::exists(configDir), newExists);
        }
        const QByteArray expectedNew = newExists   ? j("{'stert_time': 2}")
                                       : oldExists ? j("{'stert_time': 1}")
                                                   : QByteArray();
        QCOMPARE(readAll(newPath), expectedNew);
    }

    void migrationIgnoresFolderNamedLikeFile() {
        QTemporaryDir dir;
        const QString appDir = dir.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(appDir + QStringLiteral("/tarnwick_free.json")));
        const QString configDir = dir.filePath(QStringLiteral("config"));
        LogCapture log;
        configstore::migrate(appDir, configDir);
        QVERIFY(log.lines().isEmpty());
        QVERIFY(!QFileInfo::exists(configDir));
    }

    // A settings folder that cannot be created: the old file is both source and
    // target, so nothing is copied, and the failure is reported once.
    void migrationWithoutSettingsFolder() {
        QTemporaryDir dir;
        const QString appDir = dir.filePath(QStringLiteral("app"));
        QVERIFY(QDir().mkpath(appDir));
        const QString oldPath = appDir + QStringLiteral("/tarnwick_free.json");
        QVERIFY(writeAll(oldPath, j("{'stert_time': 1}")));
        QVERIFY(writeAll(dir.filePath("plain"), "x"));
        const QString configDir = dir.filePath(QStringLiteral("plain/config"));
        LogCapture log;
        configstore::migrate(appDir, configDir);
        QCOMPARE(log.lines(), (QStringList{"W Failed to create config dir: " + quoted(configDir),
                                           "D Migrated config from " + quoted(oldPath) + " to " +
                                               quoted(oldPath)}));
        QCOMPARE(readAll(oldPath), j("{'stert_time': 1}"));
    }
};

QTEST_GUILESS_MAIN(ConfigStoreTest)
#include "unit_configstore.moc"
