#pragma once
// Windows paths are what the program and its packages speak; the host speaks POSIX paths
// under Wine. Everything above this layer keeps Windows paths and converts only at the file
// system's door.
#include <QString>

namespace winpath {

// Text after the last backslash, or the whole path when it has none.
QString bareFileName(const QString &path);

// The Wine prefix in use: WINEPREFIX when it names one, else ~/.wine when that exists;
// empty when there is none. Trailing slashes are dropped, links are kept.
QString prefix();

// Says, for a status line or a message, that no Wine prefix was found and what C: falls back
// to; empty while a prefix is in use.
QString noPrefixNotice();

// Root of a drive on the host, as Wine sees it: where the prefix's dosdevices link for the
// letter points. C: falls back to drive_c when it has no link; when the prefix has no
// dosdevices folder yet, Wine will create C: and Z: (the root), so those two exist. Without
// any prefix, C: falls back to "/" (see noPrefixNotice()). Empty when the drive is unknown.
// The root is where the link points, not resolved further: compare with hostfs::realPlace().
QString driveRoot(QChar letter);

// The process's current directory as a Windows path, when it lies on drive C:, else "C:\".
QString currentDirectoryOfDriveC();

// Maps a Windows path to a host path. Existing components are matched case-insensitively
// when the exact name is missing; new components keep the given case.
QString toHost(const QString &windowsPath);

// Maps a host path to a Windows path: the drive whose root is the longest prefix wins,
// C: before Z: on a tie. Both sides are compared as real places, so a prefix reached through
// a link or written with a trailing slash still matches. A path on no drive gets Wine's name for
// it, "\\?\unix\..." (toHost() reads that back).
QString fromHost(const QString &hostPath);

} // namespace winpath
