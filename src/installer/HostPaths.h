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

// Creates or replaces a host file with bytes followed by tail, under the rules every write of
// the program keeps: no folder is created, a folder in the way is refused, and a replaced file
// changes in one step (a new copy renamed over it, keeping its permissions). Unlike QSaveFile it
// does not flush each file to disk: a package writes thousands of files, and a flush per file
// made installs many times slower than copying them, while a package is only all or nothing
// while the program runs anyway.
// Reads the package's entries with contents that point into the package instead of copying
// it; they are valid only while the package is.
struct ReadResult;
ReadResult readEntries(const QByteArray &package, bool sharing);

bool writeHostFile(const QString &hostPath, const QByteArray &bytes, const QByteArray &tail, QString *error);

// The same, for a file written in pieces. Nothing is left behind unless commit succeeds.
class HostFileStream
{
public:
    HostFileStream() = default;
    HostFileStream(const HostFileStream &) = delete;
    HostFileStream &operator=(const HostFileStream &) = delete;
    ~HostFileStream() { abort(); }

    bool open(const QString &hostPath, QString *error);
    bool append(const QByteArray &bytes, QString *error);
    bool commit(QString *error);
    void abort();

private:
    QByteArray m_target;
    QByteArray m_temp;   // empty when writing a new file in place
    int m_fd = -1;
#ifdef Q_OS_WIN
    class QSaveFile *m_file = nullptr;
#endif
};

} // namespace brx
