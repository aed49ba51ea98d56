#pragma once

// Where the files the program ships (image/, licenses/) are found. A portable
// copy (and the build folder) keeps them beside the executable; an installed
// copy keeps them in share/tarnwick beside the bin folder
// (/usr/bin/tarnwick reads /usr/share/tarnwick/image/danger.png).

#include <QString>

namespace resourcepath {

// The folder of installed files, relative to the executable's folder.
inline constexpr char kInstalledDataDir[] = "../share/tarnwick";

// The folder of installed documentation (the manual), relative to the
// executable's folder; a portable copy keeps it in doc/ beside the executable.
inline constexpr char kInstalledDocDir[] = "../share/doc/tarnwick";

// `relative` ("image/danger.png", "/licenses/x.txt") beside the executable in
// `appDir`, else in the installed data folder. When neither has it, the path
// beside the executable, so that a message names the usual place.
QString shippedFile(const QString &relative, const QString &appDir);

// A document (the manual, "manual.md") in doc/ beside the executable, else in
// the installed documentation folder; when neither has it, the path beside
// the executable.
QString shippedDocument(const QString &name, const QString &appDir);

// As shippedFile, but a relative path that exists from the working directory
// is taken as it is first.
QString runtimeFile(const QString &relative, const QString &appDir);

} // namespace resourcepath
