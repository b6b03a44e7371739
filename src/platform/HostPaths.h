#pragma once
// Maps many Windows paths in a few folders to host paths quickly, with exactly the result of
// winpath::toHost. Mapping a file that does not exist yet makes toHost list its folder to look
// for another spelling; an install creating thousands of files in one folder would list that
// folder thousands of times. Here each folder is mapped and listed once, and the files the
// install creates are added to the listing as they appear.
#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>

#include "platform/HostFiles.h"

namespace brx {

class HostPaths
{
public:
    QString toHost(const QString &windowsPath);
    // Tells the cache that the file now exists under this host path.
    void created(const QString &hostPath);
    // Tells the cache that the file under this host path is gone.
    void removed(const QString &hostPath);
    // Whether the file exists, from the folder's listing when it has one.
    bool exists(const QString &windowsPath);

private:
    struct Folder
    {
        QString host;                     // no trailing slash, except for "/"
        bool listed = false;
        QSet<QString> names;              // every name in the folder, as spelled on disk
        QHash<QString, QString> byFolded; // case-folded name -> name on disk, first in listing order
    };
    Folder &folderOf(const QString &windowsFolder);
    static void list(Folder &folder);

    QHash<QString, QString> m_hostOf;     // Windows folder, trailing separator included -> host folder
    QHash<QString, Folder> m_folders;     // by host folder: every spelling shares one listing
};

// Every file the package code writes goes through the program's one atomic writer.
using HostFileStream = hostfs::AtomicFile;
inline bool writeHostFile(const QString &hostPath, const QByteArray &bytes, const QByteArray &tail, QString *error)
{
    return hostfs::writeFile(hostPath, bytes, tail, error);
}

} // namespace brx
