#pragma once

// Each test runs against its own configuration location (QStandardPaths test
// mode) and never touches the user's files.

#include <QJsonObject>
#include <QString>

namespace testsupport {

// Turns on QStandardPaths test mode and returns the configuration file path
// the program will use.
QString testConfigPath();
// Writes `settings` as the configuration file. By default the first-run
// welcome is marked as shown, so constructing the window opens no box.
void writeTestConfig(const QJsonObject &settings = QJsonObject{{"is_used_this", true}});
// Removes the configuration file, as on a first start.
void removeTestConfig();

} // namespace testsupport
