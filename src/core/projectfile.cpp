#include "projectfile.h"

#include "localfilename.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>
#include <QVariant>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace projectfile {

namespace {

const QString kCommandKey = QStringLiteral("list_command");
const QString kConditionKey = QStringLiteral("list_condition");

QJsonArray toJsonArray(const Pages &pages) {
    QJsonArray outer;
    for (const QStringList &record : pages)
        outer.append(QJsonArray::fromStringList(record));
    return outer;
}

#if defined(Q_OS_UNIX)
// QSaveFile names its files by text, so a name with bytes that are not text
// is saved the same way by hand: a new file beside it, synced, renamed over
// it (through a symbolic link to the file it points at), with the old file's
// permissions.
SaveStatus saveUnderBytes(QByteArray target, const QByteArray &data) {
    char resolved[PATH_MAX];
    if (::realpath(target.constData(), resolved))
        target = QByteArray(resolved);
    int fd = -1;
    QByteArray temporary;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = target + ".tarnwick-" + QByteArray::number(qint64(::getpid())) + '-' +
                    QByteArray::number(attempt);
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0)
        return SaveStatus::OpenFailed;
    struct stat old = {};
    if (::stat(target.constData(), &old) == 0)
        ::fchmod(fd, old.st_mode & 07777);
    bool written = true;
    for (qsizetype done = 0; written && done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        written = n > 0;
        done += written ? n : 0;
    }
    written = written && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.constData(), target.constData()) != 0) {
        ::unlink(temporary.constData());
        return SaveStatus::WriteFailed;
    }
    return SaveStatus::Ok;
}
#endif

} // namespace

QByteArray serialize(const Pages &commands, const Pages &conditions) {
    QJsonObject root;
    root.insert(kCommandKey, toJsonArray(commands));
    root.insert(kConditionKey, toJsonArray(conditions));
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

SaveStatus save(const QString &path, const Pages &commands, const Pages &conditions) {
    if (path.isEmpty())
        return SaveStatus::NoPath;
#if defined(Q_OS_UNIX)
    if (localfilename::hasRawBytes(path))
        return saveUnderBytes(localfilename::encode(path), serialize(commands, conditions));
#endif
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return SaveStatus::OpenFailed;
    const QByteArray data = serialize(commands, conditions);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return SaveStatus::WriteFailed;
    }
    return file.commit() ? SaveStatus::Ok : SaveStatus::WriteFailed;
}

QString saveErrorTitle() {
    return QStringLiteral("保存エラー");
}

QString saveErrorText(SaveStatus status, const QString &path) {
    switch (status) {
    case SaveStatus::Ok:
        return {};
    case SaveStatus::NoPath:
        return QStringLiteral("保存先が設定されていません。");
    case SaveStatus::OpenFailed:
        return QStringLiteral("ファイルを開けませんでした:%1").arg(localfilename::forDisplay(path));
    case SaveStatus::WriteFailed:
        return QStringLiteral("ファイルへの書き込みに失敗しました：%1")
            .arg(localfilename::forDisplay(path));
    }
    return {};
}

Pages readPageList(const QJsonValue &value) {
    Pages pages;
    if (!value.isArray())
        return pages;
    const QJsonArray outer = value.toArray();
    pages.reserve(outer.size());
    for (const QJsonValue &entry : outer) {
        if (!entry.isArray())
            continue;
        const QJsonArray inner = entry.toArray();
        QStringList record;
        record.reserve(inner.size());
        for (const QJsonValue &item : inner) {
            // Strings directly (the common case); anything else as QVariant
            // renders it: numbers as decimal text, booleans as true/false,
            // null, arrays and objects as the empty string.
            record.append(item.isString() ? item.toString() : item.toVariant().toString());
        }
        pages.append(record);
    }
    return pages;
}

LoadStatus checkPages(const Pages &commands, const Pages &conditions, UnknownKind *unknown) {
    if (commands.isEmpty() || commands.size() != conditions.size())
        return LoadStatus::BadShape;
    for (int i = 0; i < commands.size(); ++i) {
        for (const pagekinds::Side side : {pagekinds::Side::Command, pagekinds::Side::Condition}) {
            const QStringList &record =
                side == pagekinds::Side::Command ? commands.at(i) : conditions.at(i);
            switch (pagekinds::check(side, record)) {
            case pagekinds::RecordProblem::None:
                break;
            case pagekinds::RecordProblem::UnknownKind:
                if (unknown)
                    *unknown = UnknownKind{i + 1, side, record.first()};
                return LoadStatus::UnknownKind;
            case pagekinds::RecordProblem::Empty:
            case pagekinds::RecordProblem::TooShort:
                return LoadStatus::BadShape;
            }
        }
    }
    return LoadStatus::Ok;
}

bool isShowable(const Pages &commands, const Pages &conditions) {
    return checkPages(commands, conditions) == LoadStatus::Ok;
}

LoadResult parse(const QByteArray &data) {
    LoadResult result;
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError) {
        result.status = LoadStatus::ParseError;
        result.parseError = error.errorString();
        return result;
    }
    if (!doc.isObject()) {
        result.status = LoadStatus::NotObject;
        return result;
    }
    const QJsonObject root = doc.object();
    Pages commands = readPageList(root.value(kCommandKey));
    Pages conditions = readPageList(root.value(kConditionKey));
    result.status = checkPages(commands, conditions, &result.unknown);
    if (result.status != LoadStatus::Ok)
        return result;
    result.commands = std::move(commands);
    result.conditions = std::move(conditions);
    return result;
}

LoadResult read(QIODevice &device, qint64 maxBytes) {
    // Never readAll: a pipe or a device has no size to trust, so the content
    // grows a chunk at a time and one byte past the cap refuses it.
    constexpr qint64 kChunk = 64 * 1024;
    QByteArray data;
    for (;;) {
        const qint64 room = maxBytes + 1 - data.size();
        if (room <= 0)
            return LoadResult{LoadStatus::TooLarge, {}, {}, {}, {}};
        const qint64 want = qMin(kChunk, room);
        const qsizetype before = data.size();
        data.resize(before + want);
        const qint64 got = device.read(data.data() + before, want);
        if (got < 0)
            return LoadResult{LoadStatus::OpenFailed, {}, {}, {}, {}};
        if (got == 0) { // the end
            data.resize(before);
            break;
        }
        data.resize(before + got);
    }
    return parse(data);
}

LoadResult load(const QString &path) {
    if (path.isEmpty())
        return LoadResult{LoadStatus::NoPath, {}, {}, {}, {}};
    QFile file;
    if (!localfilename::open(file, path, QIODevice::ReadOnly))
        return LoadResult{LoadStatus::OpenFailed, {}, {}, {}, {}};
    return read(file);
}

QString loadErrorTitle() {
    return QStringLiteral("読み込みエラー");
}

QString loadErrorText(const LoadResult &result, const QString &path) {
    switch (result.status) {
    case LoadStatus::Ok:
        return {};
    case LoadStatus::NoPath:
        return QStringLiteral("読み込むファイルが設定されていません。");
    case LoadStatus::OpenFailed:
        return QStringLiteral("ファイルを開けませんでした：%1")
            .arg(localfilename::forDisplay(path));
    case LoadStatus::ParseError:
        return QStringLiteral("JSON 解析エラー: %1").arg(result.parseError);
    case LoadStatus::NotObject:
    case LoadStatus::BadShape:
        return QStringLiteral("ファイルの形式が正しくありません。");
    case LoadStatus::UnknownKind:
        return (result.unknown.side == pagekinds::Side::Command
                    ? QStringLiteral("ページ %1 のコマンド「%2」はこのバージョンでは使えません。")
                    : QStringLiteral("ページ %1 の条件「%2」はこのバージョンでは使えません。"))
            .arg(result.unknown.page)
            .arg(result.unknown.kind);
    case LoadStatus::TooLarge:
        return QStringLiteral("ファイルが大きすぎます（%1 MiB まで）：%2")
            .arg(kMaxProjectBytes / (1024 * 1024))
            .arg(localfilename::forDisplay(path));
    }
    return {};
}

} // namespace projectfile
