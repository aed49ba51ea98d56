#pragma once

// The .cmdat project file: an indented UTF-8 JSON object with the two page
// lists "list_command" and "list_condition", every value a string. The writer
// produces exactly what QJsonDocument::Indented gives; the reader is lenient
// about the JSON but refuses a project the editor could not show.

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

namespace projectfile {

using Pages = QList<QStringList>;

// ---- writing ----

QByteArray serialize(const Pages &commands, const Pages &conditions);

enum class SaveStatus {
    Ok,
    NoPath,      // "保存先が設定されていません。"
    OpenFailed,  // the file (or its temporary sibling) could not be created
    WriteFailed, // writing or replacing the target failed; the old file is intact
};

// Writes through a save file: the target is replaced only once the whole new
// content is on disk, so a failure never leaves a half-written project.
SaveStatus save(const QString &path, const Pages &commands, const Pages &conditions);

QString saveErrorTitle(); // "保存エラー"
QString saveErrorText(SaveStatus status, const QString &path);

// ---- reading ----

enum class LoadStatus {
    Ok,
    NoPath,     // "読み込むファイルが設定されていません。"
    OpenFailed, // "ファイルを開けませんでした：<path>"
    ParseError, // "JSON 解析エラー: <parser message>"
    NotObject,  // top level is not an object
    BadShape,   // parses, but the editor could not show it
};

struct LoadResult {
    LoadStatus status = LoadStatus::Ok;
    QString parseError; // QJsonParseError::errorString() for ParseError
    Pages commands;
    Pages conditions;
};

// Parses file content: JSON, the top-level object, the tolerant list reading
// and the shape check.
LoadResult parse(const QByteArray &data);
LoadResult load(const QString &path);

// The two lists as the reader's tolerance rules give them, without the
// shape check: non-array entries skipped, non-string values as text.
Pages readPageList(const QJsonValue &value);

// True when the editor and the run can use the pages: at least one page, both
// lists of one length, every record with a kind and a known kind with all the
// elements it needs. Unknown kind strings pass.
bool isShowable(const Pages &commands, const Pages &conditions);

QString loadErrorTitle(); // "読み込みエラー"
QString loadErrorText(const LoadResult &result, const QString &path);

} // namespace projectfile
