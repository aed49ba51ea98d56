#pragma once

// The .cmdat project file: an indented UTF-8 JSON object with the two page
// lists "list_command" and "list_condition", every value a string. The writer
// produces exactly what QJsonDocument::Indented gives; the reader is lenient
// about the JSON but refuses a project the editor could not show.

#include "pageflow.h"
#include "pagekinds.h"

#include <QByteArray>
#include <QIODevice>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

namespace projectfile {

using Pages = QList<QStringList>;

// ---- writing ----

// `names`, one a page (missing ones empty), are written only where a page
// has one: a project without names is written as it always was.
QByteArray serialize(const Pages &commands, const Pages &conditions, const QStringList &names = {});

enum class SaveStatus {
    Ok,
    NoPath,      // "保存先が設定されていません。"
    OpenFailed,  // the file (or its temporary sibling) could not be created
    WriteFailed, // writing or replacing the target failed; the old file is intact
};

// Writes through a save file: the target is replaced only once the whole new
// content is on disk, so a failure never leaves a half-written project.
SaveStatus save(const QString &path, const Pages &commands, const Pages &conditions,
                const QStringList &names = {});

// In the interface language: Japanese, or English.
QString saveErrorTitle(bool japanese); // "保存エラー"
QString saveErrorText(SaveStatus status, const QString &path, bool japanese);

// ---- reading ----

enum class LoadStatus {
    Ok,
    NoPath,     // "読み込むファイルが設定されていません。"
    OpenFailed, // "ファイルを開けませんでした：<path>"
    ParseError, // "JSON 解析エラー: <parser message>"
    NotObject,  // top level is not an object
    BadShape,   // parses, but the editor could not show it
    // A page holds a kind this version does not know: refused rather than
    // skipped, since running the project without it would do something else.
    UnknownKind, // "ページ <n> のコマンド「<kind>」はこのバージョンでは使えません。"
    // More than kMaxProjectBytes: refused before it is parsed, so that an
    // endless source (/dev/zero, a pipe that never closes) cannot exhaust memory.
    TooLarge, // "ファイルが大きすぎます（64 MiB まで）：<path>"
    // Two pages with one name, a jump to a name no page has, a count that
    // is not one: `flow` says which page.
    BadFlow,
};

// Why a project could not be opened or read, for OpenFailed.
enum class OpenProblem {
    Unknown,
    Missing,      // no such file (or folder on its way)
    Folder,       // the name is a folder
    NoPermission, // the file or a folder on its way may not be read
    InputClosed,  // standard input is not open
    ReadFailed,   // opened, but reading it failed
};

// The most a project read accepts; real projects are a few kilobytes.
inline constexpr qint64 kMaxProjectBytes = qint64(64) * 1024 * 1024;

// Where a project first holds a kind this version does not know.
struct UnknownKind {
    int page = 0; // 1-based; 0 when every kind is known
    pagekinds::Side side = pagekinds::Side::Command;
    QString kind;
};

struct LoadResult {
    LoadStatus status = LoadStatus::Ok;
    QString parseError; // QJsonParseError::errorString() for ParseError
    Pages commands;
    Pages conditions;
    QStringList names;                              // one a page, empty for a page without a name
    UnknownKind unknown;                            // for UnknownKind
    pageflow::Refusal flow;                         // for BadFlow
    OpenProblem openProblem = OpenProblem::Unknown; // for OpenFailed
};

// Parses file content: JSON, the top-level object, the tolerant list reading
// and the shape check.
LoadResult parse(const QByteArray &data);
LoadResult load(const QString &path);
// Reads an open device to its end (a file, a pipe, standard input) in chunks,
// at most `maxBytes`; more than that gives TooLarge and nothing else is read.
LoadResult read(QIODevice &device, qint64 maxBytes = kMaxProjectBytes);

// The two lists as the reader's tolerance rules give them, without the
// shape check: non-array entries skipped, non-string values as text.
Pages readPageList(const QJsonValue &value);

// What the reader makes of the pages: Ok when the editor and the run can use
// them (at least one page, both lists of one length, every record of a kind
// the registry knows with all the elements that kind needs), UnknownKind with
// `unknown` filled for the first page (command before condition) whose kind
// this version does not know, BadShape otherwise. Problems are taken in page
// order, so an earlier short record wins over a later unknown kind.
LoadStatus checkPages(const Pages &commands, const Pages &conditions,
                      UnknownKind *unknown = nullptr);
bool isShowable(const Pages &commands, const Pages &conditions);

// The names stored with the pages, one a page: missing (no page has a name)
// gives empty names; anything but an array of as many entries as pages is
// false.
bool readNames(const QJsonValue &value, int pages, QStringList &names);

// Why a project's flow is refused, naming the page (and the called project).
QString flowErrorText(const pageflow::Refusal &refusal, bool japanese);

// A called project read for a run: the pages and names, or why not.
pageflow::Loaded loadCalled(const QString &path);

QString loadErrorTitle(bool japanese); // "読み込みエラー"
QString loadErrorText(const LoadResult &result, const QString &path, bool japanese);
// The command line's line: the text above, with the file named first where
// the text does not name it.
QString loadErrorLine(const LoadResult &result, const QString &path, bool japanese);

} // namespace projectfile
