#include "projectfile.h"

#include "localfilename.h"
#include "projecttexts.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QSaveFile>
#include <QVariant>

#include <algorithm>

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
// Page names: older versions ignore this member, and only the kinds that jump
// (which they refuse) read the names, so a project an older version opens
// plays there as here.
const QString kNameKey = QStringLiteral("list_name");

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

LoadResult failed(LoadStatus status, OpenProblem problem = OpenProblem::Unknown) {
    LoadResult result;
    result.status = status;
    result.openProblem = problem;
    return result;
}

// Asked after an open failed, so the message can say what is wrong.
OpenProblem whyNotOpened(const QString &path) {
#if defined(Q_OS_UNIX)
    const QByteArray name = localfilename::encode(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) != 0) {
        if (errno == EACCES)
            return OpenProblem::NoPermission;
        return errno == ENOENT || errno == ENOTDIR ? OpenProblem::Missing : OpenProblem::Unknown;
    }
    if (S_ISDIR(info.st_mode))
        return OpenProblem::Folder;
    if (::access(name.constData(), R_OK) != 0 && errno == EACCES)
        return OpenProblem::NoPermission;
    return OpenProblem::Unknown;
#else
    const QFileInfo info(path);
    if (!info.exists())
        return OpenProblem::Missing;
    if (info.isDir())
        return OpenProblem::Folder;
    return info.isReadable() ? OpenProblem::Unknown : OpenProblem::NoPermission;
#endif
}

const UiText *problemText(OpenProblem problem) {
    switch (problem) {
    case OpenProblem::Unknown:
        return nullptr;
    case OpenProblem::Missing:
        return &projecttexts::missing;
    case OpenProblem::Folder:
        return &projecttexts::folder;
    case OpenProblem::NoPermission:
        return &projecttexts::noPermission;
    case OpenProblem::InputClosed:
        return &projecttexts::inputClosed;
    case OpenProblem::ReadFailed:
        return &projecttexts::readFailed;
    }
    return nullptr;
}

} // namespace

QByteArray serialize(const Pages &commands, const Pages &conditions, const QStringList &names) {
    QJsonObject root;
    root.insert(kCommandKey, toJsonArray(commands));
    root.insert(kConditionKey, toJsonArray(conditions));
    const bool named =
        std::any_of(names.begin(), names.end(), [](const QString &n) { return !n.isEmpty(); });
    if (named) {
        QStringList all = names.mid(0, commands.size());
        while (all.size() < commands.size())
            all.append(QString());
        root.insert(kNameKey, QJsonArray::fromStringList(all));
    }
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

SaveStatus save(const QString &path, const Pages &commands, const Pages &conditions,
                const QStringList &names) {
    if (path.isEmpty())
        return SaveStatus::NoPath;
#if defined(Q_OS_UNIX)
    if (localfilename::hasRawBytes(path))
        return saveUnderBytes(localfilename::encode(path), serialize(commands, conditions, names));
#endif
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return SaveStatus::OpenFailed;
    const QByteArray data = serialize(commands, conditions, names);
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return SaveStatus::WriteFailed;
    }
    return file.commit() ? SaveStatus::Ok : SaveStatus::WriteFailed;
}

QString saveErrorTitle(bool japanese) {
    return projecttexts::saveErrorTitle.in(japanese);
}

QString saveErrorText(SaveStatus status, const QString &path, bool japanese) {
    switch (status) {
    case SaveStatus::Ok:
        return {};
    case SaveStatus::NoPath:
        return projecttexts::noSavePath.in(japanese);
    case SaveStatus::OpenFailed:
        return projecttexts::createFailed.in(japanese).arg(localfilename::forDisplay(path));
    case SaveStatus::WriteFailed:
        return projecttexts::writeFailed.in(japanese).arg(localfilename::forDisplay(path));
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
    if (!readNames(root.value(kNameKey), int(commands.size()), result.names)) {
        result.status = LoadStatus::BadShape;
        return result;
    }
    result.flow = pageflow::check(commands, conditions, result.names, false);
    if (result.flow.refused()) {
        result.status = LoadStatus::BadFlow;
        result.names.clear();
        return result;
    }
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
            return failed(LoadStatus::TooLarge);
        const qint64 want = qMin(kChunk, room);
        const qsizetype before = data.size();
        data.resize(before + want);
        const qint64 got = device.read(data.data() + before, want);
        if (got < 0)
            return failed(LoadStatus::OpenFailed, OpenProblem::ReadFailed);
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
        return failed(LoadStatus::NoPath);
    QFile file;
    if (!localfilename::open(file, path, QIODevice::ReadOnly))
        return failed(LoadStatus::OpenFailed, whyNotOpened(path));
    LoadResult result = read(file);
    // Where a folder opens, reading it fails.
    if (result.status == LoadStatus::OpenFailed && whyNotOpened(path) == OpenProblem::Folder)
        result.openProblem = OpenProblem::Folder;
    return result;
}

bool readNames(const QJsonValue &value, int pages, QStringList &names) {
    names.clear();
    if (value.isUndefined()) {
        for (int i = 0; i < pages; ++i)
            names.append(QString());
        return true;
    }
    if (!value.isArray() || value.toArray().size() != pages)
        return false;
    for (const QJsonValue &name : value.toArray()) {
        if (!name.isString())
            return false;
        names.append(name.toString());
    }
    return true;
}

QString flowErrorText(const pageflow::Refusal &refusal, bool japanese) {
    using pageflow::Problem;
    QString text;
    switch (refusal.problem) {
    case Problem::None:
        return {};
    case Problem::DuplicateName:
        text = projecttexts::duplicateName.in(japanese).arg(refusal.page).arg(refusal.value);
        break;
    case Problem::NoSuchPage:
        text = refusal.value.isEmpty()
                   ? projecttexts::noTarget.in(japanese).arg(refusal.page)
                   : projecttexts::noSuchPage.in(japanese).arg(refusal.page).arg(refusal.value);
        break;
    case Problem::BadCount:
        text = projecttexts::badCount.in(japanese).arg(refusal.page).arg(refusal.value);
        break;
    case Problem::CallTooDeep:
        text = projecttexts::callTooDeep.in(japanese)
                   .arg(refusal.page)
                   .arg(pageflow::kMaxCallDepth)
                   .arg(localfilename::forDisplay(refusal.called));
        break;
    case Problem::CallCircle:
        text = projecttexts::callCircle.in(japanese)
                   .arg(refusal.page)
                   .arg(localfilename::forDisplay(refusal.called));
        break;
    case Problem::CallMissing:
    case Problem::CallUnreadable:
        text = projecttexts::callRefused.in(japanese)
                   .arg(refusal.page)
                   .arg(localfilename::forDisplay(refusal.called), refusal.reason[japanese]);
        break;
    }
    if (!refusal.file.isEmpty())
        text = projecttexts::inFile.in(japanese).arg(localfilename::forDisplay(refusal.file), text);
    return text;
}

pageflow::Loaded loadCalled(const QString &path) {
    pageflow::Loaded loaded;
    const LoadResult result = load(path);
    if (result.status != LoadStatus::Ok) {
        loaded.missing = result.status == LoadStatus::OpenFailed;
        // The caller names the file: the reason alone, where there is one.
        const UiText *why = problemText(result.openProblem);
        for (const bool japanese : {false, true})
            loaded.reason[japanese] =
                result.status == LoadStatus::BadFlow ? flowErrorText(result.flow, japanese)
                : loaded.missing && why              ? why->in(japanese)
                                                     : loadErrorText(result, path, japanese);
        return loaded;
    }
    loaded.ok = true;
    loaded.project.commands = result.commands;
    loaded.project.conditions = result.conditions;
    loaded.project.names = result.names;
    return loaded;
}

QString loadErrorTitle(bool japanese) {
    return projecttexts::loadErrorTitle.in(japanese);
}

QString loadErrorText(const LoadResult &result, const QString &path, bool japanese) {
    switch (result.status) {
    case LoadStatus::Ok:
        return {};
    case LoadStatus::NoPath:
        return projecttexts::noLoadPath.in(japanese);
    case LoadStatus::OpenFailed: {
        QString text = projecttexts::openFailed.in(japanese).arg(localfilename::forDisplay(path));
        if (const UiText *why = problemText(result.openProblem))
            text += projecttexts::because.in(japanese).arg(why->in(japanese));
        return text;
    }
    case LoadStatus::ParseError:
        return projecttexts::parseError.in(japanese).arg(result.parseError);
    case LoadStatus::NotObject:
    case LoadStatus::BadShape:
        return projecttexts::badShape.in(japanese);
    case LoadStatus::UnknownKind:
        return (result.unknown.side == pagekinds::Side::Command ? projecttexts::unknownCommand
                                                                : projecttexts::unknownCondition)
            .in(japanese)
            .arg(result.unknown.page)
            .arg(result.unknown.kind);
    case LoadStatus::BadFlow:
        return flowErrorText(result.flow, japanese);
    case LoadStatus::TooLarge:
        return projecttexts::tooLarge.in(japanese)
            .arg(kMaxProjectBytes / (1024 * 1024))
            .arg(localfilename::forDisplay(path));
    }
    return {};
}

QString loadErrorLine(const LoadResult &result, const QString &path, bool japanese) {
    const QString text = loadErrorText(result, path, japanese);
    switch (result.status) {
    case LoadStatus::ParseError:
    case LoadStatus::NotObject:
    case LoadStatus::BadShape:
    case LoadStatus::UnknownKind:
    case LoadStatus::BadFlow:
        return projecttexts::inFile.in(japanese).arg(localfilename::forDisplay(path), text);
    default:
        return text;
    }
}

} // namespace projectfile
