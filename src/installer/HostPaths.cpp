#include "installer/HostPaths.h"

#include "platform/WinPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifndef Q_OS_WIN
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    // One listing answers for every file of the folder: asking the disk about each name in
    // turn cost several system calls per entry of a package.
    if (!folder.listed)
        list(folder);
    if (folder.names.contains(name))
        return joined;
    const auto match = folder.byFolded.constFind(name.toCaseFolded());
    if (match == folder.byFolded.constEnd())
        return joined;
    return folder.host.endsWith(QLatin1Char('/')) ? folder.host + *match : folder.host + QLatin1Char('/') + *match;
}

void HostPaths::created(const QString &hostPath)
{
    const QFileInfo info(hostPath);
    const auto folder = m_folders.find(info.path());
    if (folder == m_folders.end() || !folder->listed)
        return; // listed afresh when first needed
    folder->names.insert(info.fileName());
    const QString folded = info.fileName().toCaseFolded();
    if (!folder->byFolded.contains(folded))
        folder->byFolded.insert(folded, info.fileName());
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

namespace {

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

#ifndef Q_OS_WIN
bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size_t(size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= n;
    }
    return true;
}

#endif

} // namespace

bool HostFileStream::open(const QString &hostPath, QString *error)
{
    abort();
    const QFileInfo info(hostPath);
    if (hostPath.isEmpty() || hostPath.endsWith(QLatin1Char('/')))
        return fail(error, QStringLiteral("no file name"));
#ifdef Q_OS_WIN
    if (info.isDir())
        return fail(error, QStringLiteral("it is a folder"));
    if (!QFileInfo(info.absolutePath()).isDir())
        return fail(error, QStringLiteral("the folder does not exist"));
    m_file = new QSaveFile(hostPath);
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString why = m_file->errorString();
        abort();
        return fail(error, why);
    }
    return true;
#else
    m_target = QFile::encodeName(hostPath);
    // A new file is written in place, and removed again if it cannot be finished.
    // The open itself tells a missing folder or a folder in the way: no separate look first.
    m_fd = ::open(m_target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd >= 0)
        return true;
    if (errno == ENOENT || errno == ENOTDIR)
        return fail(error, QStringLiteral("the folder does not exist"));
    if (errno != EEXIST)
        return fail(error, QString::fromLocal8Bit(std::strerror(errno)));

    // An existing file is replaced by renaming a complete new copy over it.
    struct stat old {};
    if (::stat(m_target.constData(), &old) != 0)
        return fail(error, QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(old.st_mode))
        return fail(error, QStringLiteral("it is a folder"));
    static const qint64 pid = ::getpid();
    static std::atomic<unsigned> counter{0};
    m_temp = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName()
                               + QStringLiteral(".veldrin-%1-%2").arg(pid).arg(counter++));
    m_fd = ::open(m_temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (m_fd < 0) {
        const int why = errno;
        m_temp.clear();
        return fail(error, QString::fromLocal8Bit(std::strerror(why)));
    }
    if (::fchmod(m_fd, old.st_mode & 07777) != 0) {
        const int why = errno;
        abort();
        return fail(error, QString::fromLocal8Bit(std::strerror(why)));
    }
    return true;
#endif
}

bool HostFileStream::append(const QByteArray &bytes, QString *error)
{
#ifdef Q_OS_WIN
    if (m_file && m_file->write(bytes) == bytes.size())
        return true;
    return fail(error, m_file ? m_file->errorString() : QStringLiteral("not open"));
#else
    if (m_fd >= 0 && writeAll(m_fd, bytes.constData(), bytes.size()))
        return true;
    const int why = m_fd >= 0 ? errno : EBADF;
    abort();
    return fail(error, QString::fromLocal8Bit(std::strerror(why)));
#endif
}

bool HostFileStream::commit(QString *error)
{
#ifdef Q_OS_WIN
    const bool ok = m_file && m_file->commit();
    const QString why = m_file ? m_file->errorString() : QStringLiteral("not open");
    delete m_file;
    m_file = nullptr;
    return ok || fail(error, why);
#else
    if (m_fd < 0)
        return fail(error, QString::fromLocal8Bit(std::strerror(EBADF)));
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 || (!m_temp.isEmpty() && ::rename(m_temp.constData(), m_target.constData()) != 0)) {
        const int why = errno;
        m_fd = -1;
        ::unlink(m_temp.isEmpty() ? m_target.constData() : m_temp.constData());
        m_temp.clear();
        m_target.clear();
        return fail(error, QString::fromLocal8Bit(std::strerror(why)));
    }
    m_temp.clear();
    m_target.clear();
    return true;
#endif
}

void HostFileStream::abort()
{
#ifdef Q_OS_WIN
    delete m_file; // an uncommitted QSaveFile leaves the old file as it was
    m_file = nullptr;
#else
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_temp.isEmpty() ? m_target.constData() : m_temp.constData());
    m_temp.clear();
    m_target.clear();
#endif
}

bool writeHostFile(const QString &hostPath, const QByteArray &bytes, const QByteArray &tail, QString *error)
{
    HostFileStream file;
    return file.open(hostPath, error) && file.append(bytes, error) && file.append(tail, error) && file.commit(error);
}

} // namespace brx
