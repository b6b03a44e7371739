#pragma once
#include <QString>
#include <QStringList>

namespace launcher {

// Starts the program at a Windows path, with no arguments, without waiting. Windows programs
// (.exe/.bat/.com or an MZ header) go through Wine on a non-Windows host. Returns an empty
// text on success, else the reason the system gave.
QString start(const QString &windowsPath);

// The command line that start() would run, for tests and diagnostics.
QStringList commandFor(const QString &windowsPath, QString *error = nullptr);

} // namespace launcher
