#include "localfilename.h"

#include <QDir>
#include <QFileInfo>

#if defined(Q_OS_UNIX)
#include <climits>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace localfilename {

namespace {

constexpr char16_t kEscape = 0xDC00; // + the byte, for bytes 0x80..0xFF

bool isEscape(const QString &name, qsizetype at) {
    const char16_t unit = name.at(at).unicode();
    const bool precededByHigh = at > 0 && name.at(at - 1).isHighSurrogate();
    return unit >= kEscape + 0x80 && unit <= kEscape + 0xFF && !precededByHigh;
}

#if defined(Q_OS_UNIX)
// The length of the valid UTF-8 sequence at `at`, 0: none (overlong forms,
// encoded surrogates and values past U+10FFFF are not valid).
int validSequence(const QByteArray &bytes, qsizetype at) {
    const auto byte = [&](qsizetype i) { return static_cast<unsigned char>(bytes.at(i)); };
    const unsigned char lead = byte(at);
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF; // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > bytes.size())
        return 0;
    if (byte(at + 1) < low || byte(at + 1) > high)
        return 0;
    for (int i = 2; i < length; ++i)
        if (byte(at + i) < 0x80 || byte(at + i) > 0xBF)
            return 0;
    return length;
}
#endif

} // namespace

QString decode(const QByteArray &name) {
#if defined(Q_OS_UNIX)
    QString decoded;
    decoded.reserve(name.size());
    for (qsizetype at = 0; at < name.size();) {
        const int length = validSequence(name, at);
        if (length == 0) {
            decoded += QChar(char16_t(kEscape + static_cast<unsigned char>(name.at(at))));
            ++at;
            continue;
        }
        decoded += QString::fromUtf8(name.constData() + at, length);
        at += length;
    }
    return decoded;
#else
    return QFile::decodeName(name);
#endif
}

QByteArray encode(const QString &name) {
#if defined(Q_OS_UNIX)
    QByteArray encoded;
    encoded.reserve(name.size());
    qsizetype runStart = 0;
    for (qsizetype at = 0; at <= name.size(); ++at) {
        const bool end = at == name.size();
        if (!end && !isEscape(name, at))
            continue;
        encoded += QStringView(name).mid(runStart, at - runStart).toUtf8();
        if (!end)
            encoded += static_cast<char>(name.at(at).unicode() - kEscape);
        runStart = at + 1;
    }
    return encoded;
#else
    return QFile::encodeName(name);
#endif
}

QStringList arguments(int argc, const char *const *argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << decode(QByteArray(argv[i]));
    return list;
}

bool hasRawBytes(const QString &name) {
#if defined(Q_OS_UNIX)
    for (qsizetype at = 0; at < name.size(); ++at)
        if (isEscape(name, at))
            return true;
#else
    Q_UNUSED(name);
#endif
    return false;
}

QString forDisplay(const QString &name) {
    QString shown = name;
    for (qsizetype at = 0; at < shown.size(); ++at)
        if (isEscape(name, at))
            shown[at] = QChar::ReplacementCharacter;
    return shown;
}

QString absolute(const QString &name) {
    if (!hasRawBytes(name))
        return QFileInfo(name).absoluteFilePath();
    if (QDir::isAbsolutePath(name))
        return QDir::cleanPath(name);
    QString folder = QDir::currentPath();
#if defined(Q_OS_UNIX)
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer))
        folder = decode(QByteArray(buffer));
#endif
    return QDir::cleanPath(folder + QLatin1Char('/') + name);
}

bool open(QFile &file, const QString &name, QIODevice::OpenMode mode) {
#if defined(Q_OS_UNIX)
    if (hasRawBytes(name)) {
        const bool writing = mode & QIODevice::WriteOnly;
        const int flags =
            writing ? (O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC) : (O_RDONLY | O_CLOEXEC);
        const int fd = ::open(encode(name).constData(), flags, 0666);
        if (fd < 0)
            return false;
        if (!file.open(fd, mode, QFileDevice::AutoCloseHandle)) {
            ::close(fd);
            return false;
        }
        return true;
    }
#endif
    file.setFileName(name);
    return file.open(mode);
}

} // namespace localfilename
