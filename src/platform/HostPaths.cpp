#include "platform/HostPaths.h"

#include "platform/WinPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace brx {

void HostPaths::list(Folder &folder)
{
    folder.listed = true;
    const QDir dir(folder.host);
    if (!dir.exists())
        return;
    // The same listing, in the same order, as the path mapping's own search, so that the first
    // case-insensitive match is the same file.
    const QStringList entries = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        folder.names.insert(entry);
        const QString key = entry.toCaseFolded();
        if (!folder.byFolded.contains(key))
            folder.byFolded.insert(key, entry);
    }
}

HostPaths::Folder &HostPaths::folderOf(const QString &windowsFolder)
{
    auto known = m_hostOf.constFind(windowsFolder);
    if (known == m_hostOf.constEnd()) {
        QString host = winpath::toHost(windowsFolder);
        while (host.size() > 1 && host.endsWith(QLatin1Char('/')))
            host.chop(1);
        known = m_hostOf.insert(windowsFolder, host);
    }
    Folder &folder = m_folders[*known];
    folder.host = *known;
    return folder;
}

QString HostPaths::toHost(const QString &windowsPath)
{
    const qsizetype cut = qMax(windowsPath.lastIndexOf(QLatin1Char('\\')), windowsPath.lastIndexOf(QLatin1Char('/')));
    const QString name = cut < 0 ? QString() : windowsPath.mid(cut + 1);
    // Paths without a folder part, and names the mapping treats specially, take the long way.
    if (cut < 0 || name.isEmpty() || name == QLatin1String(".") || name == QLatin1String(".."))
        return winpath::toHost(windowsPath);
    Folder &folder = folderOf(windowsPath.left(cut + 1));
    const QString joined = folder.host.endsWith(QLatin1Char('/')) ? folder.host + name : folder.host + QLatin1Char('/') + name;
    // One listing answers for every name not there as spelled: asking the disk about each
    // spelling in turn cost several system calls per entry of a package. A name that is there
    // as spelled (every file a reinstall replaces) needs no listing, which for a folder of many
    // thousand files would cost more than the install.
    if (!folder.listed) {
        const QFileInfo spelled(joined);
        if (spelled.exists() || spelled.isSymLink())
            return joined;
        list(folder);
    }
    if (folder.names.contains(name))
        return joined;
    const auto match = folder.byFolded.constFind(name.toCaseFolded());
    if (match == folder.byFolded.constEnd())
        return joined;
    return folder.host.endsWith(QLatin1Char('/')) ? folder.host + *match : folder.host + QLatin1Char('/') + *match;
}

void HostPaths::created(const QString &hostPath)
{
    // The folder is listed afresh when next needed, rather than the name added: an install
    // writes all it planned, often thousands of files, and rarely looks up a path afterwards.
    const auto folder = m_folders.find(hostPath.left(qMax(hostPath.lastIndexOf(QLatin1Char('/')), qsizetype(1))));
    if (folder == m_folders.end() || !folder->listed)
        return;
    folder->listed = false;
    folder->names.clear();
    folder->byFolded.clear();
}

void HostPaths::removed(const QString &hostPath)
{
    const QFileInfo info(hostPath);
    const auto folder = m_folders.find(info.path());
    if (folder == m_folders.end() || !folder->listed)
        return;
    // Listed afresh when next needed: another spelling may now be the first match.
    *folder = Folder{folder->host, false, {}, {}};
}

bool HostPaths::exists(const QString &windowsPath)
{
    const QString host = toHost(windowsPath);
    const QFileInfo info(host);
    const auto folder = m_folders.constFind(info.path());
    if (folder == m_folders.constEnd() || !folder->listed)
        return QFileInfo::exists(host);
    return folder->names.contains(info.fileName());
}

} // namespace brx
