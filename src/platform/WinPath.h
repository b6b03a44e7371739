#pragma once
// Windows paths are what the program and its packages speak; the host speaks POSIX paths
// under Wine. Everything above this layer keeps Windows paths and converts only at the file
// system's door.
#include <QString>

namespace winpath {

// Text after the last backslash, or the whole path when it has none.
QString bareFileName(const QString &path);

// Root of a drive on the host ("Z" -> "/", "C" -> the Wine prefix's drive_c, ...).
// Empty when the drive is unknown.
QString driveRoot(QChar letter);

// The process's current directory as a Windows path, when it lies on drive C:, else "C:\".
QString currentDirectoryOfDriveC();

// Maps a Windows path to a host path. Existing components are matched case-insensitively
// when the exact name is missing; new components keep the given case.
QString toHost(const QString &windowsPath);

// Maps a host path to a Windows path: the drive whose root is the longest prefix wins,
// C: before Z: on a tie.
QString fromHost(const QString &hostPath);

} // namespace winpath
