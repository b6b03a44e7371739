#pragma once
// Building a package from files on disk, as `veldrin-brx create` does: each file read and
// packed, the entries written in the order given.
#include <QList>
#include <QString>

namespace brx {

struct PackSource
{
    QString path;        // host path of the file
    QString installPath; // Windows path it installs to
};

struct PackResult
{
    enum Failure { None, Unreadable, NotAdded, NotWritten };
    Failure failure = None;
    int source = -1; // the file that failed, for Unreadable and NotAdded (NotWritten: the save)
    QString why;
};

// The package appears at windowsDestination only when every file went in; otherwise nothing
// is left behind.
PackResult packFiles(const QString &windowsDestination, const QList<PackSource> &sources);

} // namespace brx
