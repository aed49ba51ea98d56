#pragma once

// File names as the system spells them. On Linux a name is bytes, and most
// are UTF-8, but not all (`caf\xe9.cmdat`, written under a Latin-1 locale):
// Qt would turn such bytes into U+FFFD and the file could be neither opened
// nor saved back. Here every byte that is not part of valid UTF-8 becomes the
// lone surrogate U+DC80 + byte in the QString and goes back to the same byte,
// so a name survives the trip through the program exactly. Valid names are
// decoded as QFile::decodeName does; on Windows, where names are UTF-16
// already, these are QFile's own functions.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

namespace localfilename {

QString decode(const QByteArray &name);
QByteArray encode(const QString &name);
// The program's arguments from main's argv, decoded as names are.
QStringList arguments(int argc, const char *const *argv);
// True when `name` holds bytes that are not text, so Qt's own file functions
// (which take the name as text) would name another file.
bool hasRawBytes(const QString &name);
// `name` with U+FFFD for each such byte, to show it.
QString forDisplay(const QString &name);
// `name` made absolute against the current folder, and cleaned, keeping the
// raw bytes (QFileInfo would lose them).
QString absolute(const QString &name);
// Opens `file` on `name` for reading or for writing (created, truncated),
// whatever its bytes.
bool open(QFile &file, const QString &name, QIODevice::OpenMode mode);

} // namespace localfilename
