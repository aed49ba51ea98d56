#include "core/projectfile.h"

#include "core/keycombination.h"
#include "core/localfilename.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QTemporaryDir>
#include <QtTest>
#include <tuple>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <cstdio>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

using projectfile::LoadStatus;
using projectfile::Pages;
using projectfile::SaveStatus;

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeAll(const QString &path, const QByteArray &data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

// JSON written with single quotes, to keep the tables readable.
QByteArray j(const char *text) {
    return QByteArray(text).replace('\'', '"');
}

// A project file object with the two lists given as JSON text.
QByteArray withLists(const QByteArray &commands, const QByteArray &conditions) {
    return "{\"list_command\": " + commands + ", \"list_condition\": " + conditions + "}";
}

Pages everyKindCommands() {
    return {{"なし"},
            {"クリック", "右", "0.01"},
            {"マウスポインター", "-250", "1000"},
            {"スムーズムーブ", "9999999", "99999999", "2.5"},
            {"キー", "83,3", "0.5"},
            {"入力", "こんにちは \"world\"\\\n\ttab", "3"}};
}

Pages everyKindConditions() {
    return {{"終わるまで待つ", "0.1"}, {"時間", "1000"}, {"即時"},
            {"クリック", "左"},        {"キー", ""},     {"時刻", "9", "5"}};
}

} // namespace

Q_DECLARE_METATYPE(LoadStatus)
Q_DECLARE_METATYPE(pagekinds::Side)

class ProjectFileTest : public QObject {
    Q_OBJECT

private slots:
    void writerBytes_data() {
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::addColumn<QString>("expectedFile");
        QTest::newRow("new project") << Pages{{"なし"}} << Pages{{"終わるまで待つ", "0.1"}}
                                     << QStringLiteral("new_project.cmdat");
        QTest::newRow("every kind")
            << everyKindCommands() << everyKindConditions() << QStringLiteral("every_kind.cmdat");
    }

    void writerBytes() {
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        QFETCH(QString, expectedFile);
        const QByteArray expected = readAll(QStringLiteral(TARNWICK_TEST_DATA "/") + expectedFile);
        QVERIFY(!expected.isEmpty());
        QCOMPARE(projectfile::serialize(commands, conditions), expected);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.cmdat"));
        QCOMPARE(projectfile::save(path, commands, conditions), SaveStatus::Ok);
        QCOMPARE(readAll(path), expected);
    }

    void writeAndReadBack() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("three.cmdat"));
        // An existing longer file is fully replaced, not overwritten in part.
        QVERIFY(writeAll(path, QByteArray(4096, ' ')));
        const Pages commands{{"キー", "65,6", "0.2"}, {"入力", "行1\n行2", "3"}, {"なし"}};
        const Pages conditions{{"キー", "13,0"}, {"時刻", "24", "59"}, {"即時"}};
        QCOMPARE(projectfile::save(path, commands, conditions), SaveStatus::Ok);
        const projectfile::LoadResult r = projectfile::load(path);
        QCOMPARE(r.status, LoadStatus::Ok);
        QCOMPARE(r.commands, commands);
        QCOMPARE(r.conditions, conditions);
    }

    // What the reader accepts beyond what the writer produces.
    void tolerance_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Pages>("commands");
        QTest::addColumn<Pages>("conditions");
        QTest::newRow("numbers as decimal text")
            << withLists(j("[['クリック', '左', 5], ['スムーズムーブ', -250, 1000, 0.5]]"),
                         j("[['時間', 2.5], ['時刻', 9, 0]]"))
            << Pages{{"クリック", "左", "5"}, {"スムーズムーブ", "-250", "1000", "0.5"}}
            << Pages{{"時間", "2.5"}, {"時刻", "9", "0"}};
        QTest::newRow("booleans, null, arrays, objects")
            << withLists(j("[['なし', true, false, null, [1], {'a': 1}]]"), j("[['即時']]"))
            << Pages{{"なし", "true", "false", "", "", ""}} << Pages{{"即時"}};
        QTest::newRow("further members ignored")
            << j("{'version': 3, 'list_condition': [['即時']], "
                 "'list_command': [['なし']], 'extra': {'x': [1]}}")
            << Pages{{"なし"}} << Pages{{"即時"}};
        QTest::newRow("non-array entries skipped in each list")
            << withLists(j("[['なし'], 'x', 7, ['なし']]"), j("[null, ['即時'], ['即時']]"))
            << Pages{{"なし"}, {"なし"}} << Pages{{"即時"}, {"即時"}};
        QTest::newRow("known kinds may carry more elements")
            << withLists(j("[['なし', 'x']]"), j("[['即時', 'y', 'z']]")) << Pages{{"なし", "x"}}
            << Pages{{"即時", "y", "z"}};
    }

    void tolerance() {
        QFETCH(QByteArray, json);
        QFETCH(Pages, commands);
        QFETCH(Pages, conditions);
        const projectfile::LoadResult r = projectfile::parse(json);
        QCOMPARE(r.status, LoadStatus::Ok);
        QCOMPARE(r.commands, commands);
        QCOMPARE(r.conditions, conditions);
    }

    // Files that parse but could not be shown, and files that do not parse.
    void refused_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<LoadStatus>("status");
        const auto shape = LoadStatus::BadShape;
        QTest::newRow("empty object") << QByteArray("{}") << shape;
        QTest::newRow("list_condition missing") << j("{'list_command': [['なし']]}") << shape;
        QTest::newRow("list_command not an array")
            << withLists(j("{'0': ['なし']}"), j("[['即時']]")) << shape;
        QTest::newRow("no pages") << withLists("[]", "[]") << shape;
        QTest::newRow("lengths differ")
            << withLists(j("[['なし'], ['なし']]"), j("[['即時']]")) << shape;
        QTest::newRow("skipped entry makes lengths differ")
            << withLists(j("[['なし'], 1]"), j("[['即時'], ['即時']]")) << shape;
        QTest::newRow("command without kind") << withLists("[[]]", j("[['即時']]")) << shape;
        QTest::newRow("condition without kind") << withLists(j("[['なし']]"), "[[]]") << shape;
        QTest::newRow("click command too short")
            << withLists(j("[['クリック', '左']]"), j("[['即時']]")) << shape;
        QTest::newRow("smooth move too short")
            << withLists(j("[['スムーズムーブ', '0', '0']]"), j("[['即時']]")) << shape;
        QTest::newRow("clock time too short")
            << withLists(j("[['なし']]"), j("[['時刻', '9']]")) << shape;
        QTest::newRow("key condition too short")
            << withLists(j("[['なし']]"), j("[['キー']]")) << shape;
        QTest::newRow("unknown command kind")
            << withLists(j("[['未来の種類']]"), j("[['即時']]")) << LoadStatus::UnknownKind;
        QTest::newRow("empty condition kind")
            << withLists(j("[['なし']]"), j("[['']]")) << LoadStatus::UnknownKind;
        QTest::newRow("top-level array") << j("[['なし']]") << LoadStatus::NotObject;
        QTest::newRow("not JSON") << QByteArray("list_command = 1") << LoadStatus::ParseError;
        QTest::newRow("truncated") << j("{'list_command': [['な") << LoadStatus::ParseError;
        QTest::newRow("empty file") << QByteArray() << LoadStatus::ParseError;
    }

    void refused() {
        QFETCH(QByteArray, json);
        QFETCH(LoadStatus, status);
        const projectfile::LoadResult r = projectfile::parse(json);
        QCOMPARE(r.status, status);
        QVERIFY(r.commands.isEmpty() && r.conditions.isEmpty());
        const QString text = projectfile::loadErrorText(r, QStringLiteral("/x/p.cmdat"), true);
        if (status == LoadStatus::ParseError) {
            QJsonParseError error;
            QJsonDocument::fromJson(json, &error);
            QVERIFY(!error.errorString().isEmpty());
            QCOMPARE(text, QStringLiteral("JSON 解析エラー: ") + error.errorString());
        } else if (status == LoadStatus::UnknownKind) {
            QVERIFY(text.endsWith(QStringLiteral("はこのバージョンでは使えません。")));
        } else {
            QCOMPARE(text, QStringLiteral("ファイルの形式が正しくありません。"));
        }
    }

    // A kind this version does not know refuses the whole project, naming
    // the first page (command before condition) that holds one.
    void unknownKind_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("command");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("command on page 3")
            << withLists(j("[['なし'], ['キー', '13,0', '1'], ['ウィンドウ', 'x'], ['なし']]"),
                         j("[['即時'], ['即時'], ['即時'], ['謎']]"))
            << 3 << true << "ウィンドウ"
            << "ページ 3 のコマンド「ウィンドウ」はこのバージョンでは使えません。";
        QTest::newRow("condition on page 1")
            << withLists(j("[['なし']]"), j("[['音声', 'a.wav']]")) << 1 << false << "音声"
            << "ページ 1 の条件「音声」はこのバージョンでは使えません。";
        // A condition name is no command kind, and the other way round.
        QTest::newRow("condition kind as command")
            << withLists(j("[['なし'], ['時刻', '9', '0']]"), j("[['即時'], ['即時']]")) << 2
            << true << "時刻"
            << "ページ 2 のコマンド「時刻」はこのバージョンでは使えません。";
        QTest::newRow("command kind as condition")
            << withLists(j("[['なし']]"), j("[['入力', 'a', '3']]")) << 1 << false << "入力"
            << "ページ 1 の条件「入力」はこのバージョンでは使えません。";
        QTest::newRow("English name")
            << withLists(j("[['Click', 'left', '1']]"), j("[['即時']]")) << 1 << true << "Click"
            << "ページ 1 のコマンド「Click」はこのバージョンでは使えません。";
        QTest::newRow("placeholder-like kind")
            << withLists(j("[['%1%2']]"), j("[['即時']]")) << 1 << true << "%1%2"
            << "ページ 1 のコマンド「%1%2」はこのバージョンでは使えません。";
    }

    void unknownKind() {
        QFETCH(QByteArray, json);
        QFETCH(int, page);
        QFETCH(bool, command);
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("future.cmdat"));
        QVERIFY(writeAll(path, json));
        const projectfile::LoadResult r = projectfile::load(path);
        QCOMPARE(r.status, LoadStatus::UnknownKind);
        QVERIFY(r.commands.isEmpty() && r.conditions.isEmpty());
        QCOMPARE(r.unknown.page, page);
        QCOMPARE(r.unknown.side, command ? pagekinds::Side::Command : pagekinds::Side::Condition);
        QCOMPARE(r.unknown.kind, kind);
        QCOMPARE(projectfile::loadErrorText(r, path, true), text);
    }

    // Problems are reported in page order: a short record before an unknown
    // kind makes the file badly shaped, an unknown kind first names it.
    void firstProblemWins() {
        const Pages shortFirst{{"クリック", "左"}, {"謎"}};
        const Pages unknown{{"謎"}, {"クリック", "左"}};
        const Pages conditions{{"即時"}, {"即時"}};
        projectfile::UnknownKind where;
        QCOMPARE(projectfile::checkPages(shortFirst, conditions, &where), LoadStatus::BadShape);
        QCOMPARE(where.page, 0);
        QCOMPARE(projectfile::checkPages(unknown, conditions, &where), LoadStatus::UnknownKind);
        QCOMPARE(where.page, 1);
        QVERIFY(!projectfile::isShowable(unknown, conditions));
        QCOMPARE(projectfile::checkPages(everyKindCommands(), everyKindConditions()),
                 LoadStatus::Ok);
    }

    // The shipped sample projects open, and are exactly what the writer makes.
    void examplesAreWriterOutput_data() {
        QTest::addColumn<QString>("path");
        const QDir examples(QStringLiteral(TARNWICK_TEST_DATA "/../../examples"));
        const QStringList names = examples.entryList({QStringLiteral("*.cmdat")}, QDir::Files);
        QVERIFY(!names.isEmpty());
        for (const QString &name : names)
            QTest::newRow(qPrintable(name)) << examples.filePath(name);
    }

    void examplesAreWriterOutput() {
        QFETCH(QString, path);
        const projectfile::LoadResult r = projectfile::load(path);
        QCOMPARE(r.status, LoadStatus::Ok);
        QCOMPARE(projectfile::serialize(r.commands, r.conditions, r.names), readAll(path));
    }

    // The samples behave the same on Linux and Windows and never type into
    // whatever happens to have the focus: no Win key (it opens other things
    // on each system), and keys and text only once a Window page has brought
    // up the window they are meant for.
    void examplesArePortable_data() { examplesAreWriterOutput_data(); }
    void examplesArePortable() {
        QFETCH(QString, path);
        const projectfile::LoadResult r = projectfile::load(path);
        QCOMPARE(r.status, LoadStatus::Ok);
        bool windowChosen = false;
        for (int i = 0; i < r.commands.size(); ++i) {
            const QStringList &page = r.commands.at(i);
            const QString where = QStringLiteral("page %1: %2").arg(i + 1).arg(page.join(u','));
            if (page.first() == pagekinds::name::window())
                windowChosen = true;
            if (page.first() == pagekinds::name::key()) {
                const int modifiers = page.value(1).section(u',', 1, 1).toInt();
                QVERIFY2(!(modifiers & storedmask::Win),
                         qPrintable(where + QStringLiteral(" holds Win")));
            }
            if (page.first() == pagekinds::name::key() ||
                page.first() == pagekinds::name::enterText())
                QVERIFY2(windowChosen, qPrintable(where + QStringLiteral(" before any window")));
        }
    }

    void loadErrors() {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("nothing.cmdat"));
        const projectfile::LoadResult r = projectfile::load(missing);
        QCOMPARE(r.status, LoadStatus::OpenFailed);
        QCOMPARE(projectfile::loadErrorText(r, missing, true),
                 QStringLiteral("ファイルを開けませんでした：") + missing +
                     QStringLiteral("（ファイルがありません）"));
        const projectfile::LoadResult none = projectfile::load(QString());
        QCOMPARE(none.status, LoadStatus::NoPath);
        QCOMPARE(projectfile::loadErrorText(none, QString(), true),
                 QStringLiteral("読み込むファイルが設定されていません。"));
        QCOMPARE(projectfile::loadErrorTitle(true), QStringLiteral("読み込みエラー"));
    }

    // Every reason a project is not opened, in the language of the
    // interface (the Japanese texts as they always were), and the command
    // line's line, which names the file where the reason does not.
    void loadErrorsInBothLanguages_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("japanese");
        QTest::addColumn<QString>("text"); // %1: the file
        QTest::addColumn<bool>("lineNamesFile");
        const struct {
            const char *situation;
            const char *ja;
            const char *en;
            bool lineNamesFile;
        } rows[] = {
            {"missing", "ファイルを開けませんでした：%1（ファイルがありません）",
             "Could not open the file: %1 (there is no such file)", false},
            {"missing folder", "ファイルを開けませんでした：%1（ファイルがありません）",
             "Could not open the file: %1 (there is no such file)", false},
            {"folder", "ファイルを開けませんでした：%1（フォルダです）",
             "Could not open the file: %1 (it is a folder)", false},
            {"no permission", "ファイルを開けませんでした：%1（読み取りの権限がありません）",
             "Could not open the file: %1 (you have no permission to read it)", false},
            {"input closed", "ファイルを開けませんでした：%1（標準入力が閉じています）",
             "Could not open the file: %1 (standard input is closed)", false},
            {"no path", "読み込むファイルが設定されていません。", "No file to load has been set.",
             false},
            {"not json", "JSON 解析エラー: illegal number", "JSON parse error: illegal number",
             true},
            {"bad shape", "ファイルの形式が正しくありません。",
             "The file is not in the project format.", true},
            {"unknown command", "ページ 3 のコマンド「ジャンプ」はこのバージョンでは使えません。",
             "Page 3: the command \"ジャンプ\" cannot be used in this version.", true},
            {"unknown condition", "ページ 1 の条件「音声」はこのバージョンでは使えません。",
             "Page 1: the condition \"音声\" cannot be used in this version.", true},
        };
        for (const auto &row : rows) {
            for (const bool japanese : {true, false})
                QTest::addRow("%s, %s", row.situation, japanese ? "ja" : "en")
                    << QString::fromLatin1(row.situation) << japanese
                    << QString::fromUtf8(japanese ? row.ja : row.en) << row.lineNamesFile;
        }
    }
    void loadErrorsInBothLanguages() {
        QFETCH(QString, situation);
        QFETCH(bool, japanese);
        QFETCH(QString, text);
        QFETCH(bool, lineNamesFile);
        QTemporaryDir dir;
        QString path = dir.filePath(QStringLiteral("p.cmdat"));
        projectfile::LoadResult r;
        if (situation == QLatin1String("missing folder")) {
            path = dir.filePath(QStringLiteral("gone/p.cmdat"));
        } else if (situation == QLatin1String("folder")) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("p.cmdat")));
        } else if (situation == QLatin1String("no permission")) {
            QVERIFY(writeAll(path, projectfile::serialize({{"なし"}}, {{"即時"}})));
            QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
            QFile probe(path);
            if (probe.open(QIODevice::ReadOnly))
                QSKIP("file permissions do not bind this user (root)");
        } else if (situation == QLatin1String("no path")) {
            path.clear();
        } else if (situation == QLatin1String("not json")) {
            QVERIFY(writeAll(path, "{\"list_command\": x}"));
        } else if (situation == QLatin1String("bad shape")) {
            QVERIFY(writeAll(path, j("{'list_command': [['なし']], 'list_condition': []}")));
        } else if (situation == QLatin1String("unknown command")) {
            QVERIFY(writeAll(path, withLists(j("[['なし'], ['なし'], ['ジャンプ', '1']]"),
                                             j("[['即時'], ['即時'], ['即時']]"))));
        } else if (situation == QLatin1String("unknown condition")) {
            QVERIFY(writeAll(path, withLists(j("[['なし']]"), j("[['音声', 'a.wav']]"))));
        }
        if (situation == QLatin1String("input closed")) {
            path = QStringLiteral("-");
            r.status = LoadStatus::OpenFailed;
            r.openProblem = projectfile::OpenProblem::InputClosed;
        } else {
            r = projectfile::load(path);
        }
        QVERIFY(r.status != LoadStatus::Ok);
        const QString expected = text.contains(QLatin1String("%1")) ? text.arg(path) : text;
        QCOMPARE(projectfile::loadErrorText(r, path, japanese), expected);
        QCOMPARE(projectfile::loadErrorLine(r, path, japanese),
                 lineNamesFile
                     ? path + (japanese ? QStringLiteral("：") : QStringLiteral(": ")) + expected
                     : expected);
        QCOMPARE(projectfile::loadErrorTitle(japanese),
                 japanese ? QStringLiteral("読み込みエラー") : QStringLiteral("Load Error"));
    }

    void saveErrorsInBothLanguages() {
        const QString path = QStringLiteral("/x/p.cmdat");
        const QList<std::tuple<SaveStatus, QString, QString>> rows = {
            {SaveStatus::NoPath, "保存先が設定されていません。",
             "No file to save to has been set."},
            {SaveStatus::OpenFailed, "ファイルを開けませんでした:/x/p.cmdat",
             "Could not open the file: /x/p.cmdat"},
            {SaveStatus::WriteFailed, "ファイルへの書き込みに失敗しました：/x/p.cmdat",
             "Could not write to the file: /x/p.cmdat"},
        };
        for (const auto &[status, ja, en] : rows) {
            QCOMPARE(projectfile::saveErrorText(status, path, true), ja);
            QCOMPARE(projectfile::saveErrorText(status, path, false), en);
        }
        QCOMPARE(projectfile::saveErrorTitle(false), QStringLiteral("Save Error"));
    }

    // A read stops one byte past the cap and refuses, whatever the source: a
    // file padded with trailing blanks, a device without end, an open device.
    void sizeCap_data() {
        QTest::addColumn<QString>("source"); // "file" or a device path
        QTest::addColumn<qint64>("size");    // of the padded file
        QTest::addColumn<int>("status");
        const qint64 cap = projectfile::kMaxProjectBytes;
        QTest::newRow("at the cap") << "file" << cap << int(LoadStatus::Ok);
        QTest::newRow("one byte over") << "file" << cap + 1 << int(LoadStatus::TooLarge);
#if defined(Q_OS_UNIX)
        QTest::newRow("endless device") << "/dev/zero" << qint64(0) << int(LoadStatus::TooLarge);
#endif
    }
    void sizeCap() {
        QFETCH(QString, source);
        QFETCH(qint64, size);
        QFETCH(int, status);
        QTemporaryDir dir;
        QString path = source;
        if (source == QLatin1String("file")) {
            path = dir.filePath(QStringLiteral("padded.cmdat"));
            QByteArray data = projectfile::serialize({{"なし"}}, {{"即時"}});
            data.append(QByteArray(size - data.size(), ' '));
            QVERIFY(writeAll(path, data));
        }
        const projectfile::LoadResult r = projectfile::load(path);
        QCOMPARE(int(r.status), status);
        if (r.status == LoadStatus::TooLarge) {
            QVERIFY(r.commands.isEmpty());
            QCOMPARE(projectfile::loadErrorText(r, path, true),
                     QStringLiteral("ファイルが大きすぎます（64 MiB まで）：") + path);
        }
    }

    void readsADeviceToItsEnd() {
        const QByteArray data = projectfile::serialize({{"なし"}, {"なし"}}, {{"即時"}, {"即時"}});
        QBuffer buffer;
        buffer.setData(data);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        QCOMPARE(projectfile::read(buffer).commands.size(), 2);
        buffer.seek(0);
        QCOMPARE(projectfile::read(buffer, data.size() - 1).status, LoadStatus::TooLarge);
    }

    void saveWithoutPathOrFolder() {
        QCOMPARE(projectfile::save(QString(), {{"なし"}}, {{"即時"}}), SaveStatus::NoPath);
        QCOMPARE(projectfile::saveErrorText(SaveStatus::NoPath, QString(), true),
                 QStringLiteral("保存先が設定されていません。"));

        // A parent that is a regular file cannot hold the project, even for root.
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("plain"));
        QVERIFY(writeAll(blocker, "x"));
        const QString path = blocker + QStringLiteral("/p.cmdat");
        QCOMPARE(projectfile::save(path, {{"なし"}}, {{"即時"}}), SaveStatus::OpenFailed);
        QCOMPARE(projectfile::saveErrorText(SaveStatus::OpenFailed, path, true),
                 QStringLiteral("ファイルを開けませんでした:") + path);
        QCOMPARE(projectfile::saveErrorTitle(true), QStringLiteral("保存エラー"));
    }

    // A write that fails half-way leaves the previous project exactly as it was.
    void failedWriteKeepsOldFile() {
#if !defined(Q_OS_UNIX)
        QSKIP("a failing write is made with a POSIX file size limit");
#else
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.cmdat"));
        const QByteArray old = projectfile::serialize({{"なし"}}, {{"即時"}});
        QVERIFY(writeAll(path, old));

        Pages big;
        for (int i = 0; i < 2000; ++i)
            big.append({QStringLiteral("入力"), QStringLiteral("長い文章").repeated(10), "3"});
        const Pages bigConditions(big.size(), QStringList{"即時"});

        // The file size limit binds root too; the signal it raises is ignored so
        // the write returns an error instead.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto *previous = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 4096;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const SaveStatus status = projectfile::save(path, big, bigConditions);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);

        QCOMPARE(status, SaveStatus::WriteFailed);
        QCOMPARE(projectfile::saveErrorText(status, path, true),
                 QStringLiteral("ファイルへの書き込みに失敗しました：") + path);
        QCOMPARE(readAll(path), old);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"old.cmdat"});
#endif
    }

#if defined(Q_OS_UNIX)
    // A name that is not UTF-8 (written under a Latin-1 locale): read, and
    // saved back to the same name, never to a second, differently spelt
    // file; its permissions stay.
    void nameThatIsNotText_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("latin-1") << QByteArray("caf\xe9.cmdat");
        QTest::newRow("latin-1 folder") << QByteArray("d\xe9j\xe0/caf\xe9.cmdat");
    }
    void nameThatIsNotText() {
        QFETCH(QByteArray, name);
        QTemporaryDir dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + '/';
        if (name.contains('/'))
            QCOMPARE(::mkdir((folder + name.left(name.indexOf('/'))).constData(), 0755), 0);
        const QByteArray bytes = folder + name;
        const QByteArray old = projectfile::serialize({{ "なし" }}, {{ "即時" }});
        std::FILE *file = std::fopen(bytes.constData(), "wb");
        QVERIFY(file);
        QCOMPARE(std::fwrite(old.constData(), 1, size_t(old.size()), file), size_t(old.size()));
        std::fclose(file);
        QCOMPARE(::chmod(bytes.constData(), 0640), 0);

        const QString path = localfilename::decode(bytes);
        projectfile::LoadResult r = projectfile::load(path);
        QCOMPARE(r.status, LoadStatus::Ok);
        QCOMPARE(r.commands, Pages({{ "なし" }}));

        const Pages commands{{"入力", "x", "0.1"}, { "なし" }};
        const Pages conditions{{"即時"}, { "即時" }};
        QCOMPARE(projectfile::save(path, commands, conditions), SaveStatus::Ok);
        QCOMPARE(projectfile::save(path, commands, conditions), SaveStatus::Ok);
        r = projectfile::load(path);
        QCOMPARE(r.status, LoadStatus::Ok);
        QCOMPARE(r.commands, commands);

        const QByteArray inFolder = bytes.left(bytes.lastIndexOf('/'));
        QList<QByteArray> entries;
        if (DIR *listing = ::opendir(inFolder.constData())) {
            while (const dirent *entry = ::readdir(listing)) {
                const QByteArray entryName(entry->d_name);
                if (entryName != "." && entryName != "..")
                    entries << entryName;
            }
            ::closedir(listing);
        }
        QCOMPARE(entries, QList<QByteArray>{bytes.mid(bytes.lastIndexOf('/') + 1)});
        struct stat saved = {};
        QCOMPARE(::stat(bytes.constData(), &saved), 0);
        QCOMPARE(int(saved.st_mode & 0777), 0640);
        // Shown with U+FFFD where a byte is no text.
        projectfile::LoadResult unopened;
        unopened.status = LoadStatus::OpenFailed;
        const QString shown = projectfile::loadErrorText(unopened, path, true);
        QVERIFY2(shown.contains(QStringLiteral("caf\uFFFD.cmdat")), qPrintable(shown));
    }
#endif

    void readOnlyFolderKeepsOldFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("old.cmdat"));
        const QByteArray old = projectfile::serialize({{"なし"}}, {{"即時"}});
        QVERIFY(writeAll(path, old));
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
        const bool writable = writeAll(dir.filePath(QStringLiteral("probe")), "x");
        if (writable) {
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QSKIP("folder permissions do not bind this user (root)");
        }
        const SaveStatus status =
            projectfile::save(path, {{"なし"}, {"なし"}}, {{"即時"}, {"即時"}});
        QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(status != SaveStatus::Ok);
        QCOMPARE(readAll(path), old);
    }
};

QTEST_GUILESS_MAIN(ProjectFileTest)
#include "unit_projectfile.moc"
