#include "platform/HostFiles.h"
#include "platform/Fail.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QDateTime>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

#ifndef Q_OS_WIN
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <sys/utsname.h>
#include <unistd.h>
#endif

namespace hostfs {

namespace {

std::atomic<bool> g_flushing{true};
std::atomic<int> g_failFlush{0}; // FlushFailure bits

using failure::fail;

#ifndef Q_OS_WIN
// Safe from any thread: installs write on a second one.
QString errnoText(int code) { return qt_error_string(code); }

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

// What a link says, as written in it; empty when it cannot be read.
QString linkText(const QByteArray &link)
{
    char buffer[4096];
    const ssize_t size = ::readlink(link.constData(), buffer, sizeof buffer);
    if (size <= 0 || size >= ssize_t(sizeof buffer))
        return {};
    return QFile::decodeName(QByteArray(buffer, int(size)));
}
#endif

} // namespace

#ifdef Q_OS_WIN
QString realPlace(const QString &hostPath)
{
    const QFileInfo info(hostPath);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}
bool inside(const QString &realPath, const QString &realFolder)
{
    QString folder = realFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return realPath.size() > folder.size() && realPath.startsWith(folder, Qt::CaseInsensitive);
}
bool syncFolder(const QString &) { return true; }
bool syncFileSystemsOf(const QStringList &) { return true; }
#else
QString realPlace(const QString &hostPath)
{
    if (hostPath.isEmpty())
        return {};
    // The kernel gives up after 40 links in one lookup; a circle of links ends there too.
    constexpr int kLinkLimit = 40;
    const QString absolute = QDir::isAbsolutePath(hostPath) ? hostPath : QDir::currentPath() + QLatin1Char('/') + hostPath;
    // Components still to walk, the next one last: a link's target is pushed in its place.
    QStringList todo = absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    std::reverse(todo.begin(), todo.end());
    QString real; // empty stands for the root
    int missing = 0; // components at the end of real that do not exist, so are not looked at
    int links = 0;
    while (!todo.isEmpty()) {
        const QString part = todo.takeLast();
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            // What is walked has its links resolved, so this is the parent the kernel goes to.
            real.truncate(qMax(qsizetype(0), real.lastIndexOf(QLatin1Char('/'))));
            missing = qMax(0, missing - 1);
            continue;
        }
        const QString next = real + QLatin1Char('/') + part;
        if (missing > 0) {
            real = next;
            ++missing;
            continue;
        }
        const QByteArray encoded = QFile::encodeName(next);
        struct stat st {};
        if (::lstat(encoded.constData(), &st) != 0) {
            real = next; // new from here on: what follows is kept as written
            missing = 1;
            continue;
        }
        if (!S_ISLNK(st.st_mode)) {
            real = next;
            continue;
        }
        const QString target = ++links > kLinkLimit ? QString() : linkText(encoded);
        if (target.isEmpty()) {
            // Nothing opens through it; the link itself is the last place that can be named.
            real = next;
            missing = 1;
            continue;
        }
        if (target.startsWith(QLatin1Char('/')))
            real.clear();
        const QStringList parts = target.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (auto it = parts.crbegin(); it != parts.crend(); ++it)
            todo.append(*it);
    }
    return real.isEmpty() ? QStringLiteral("/") : real;
}

bool inside(const QString &realPath, const QString &realFolder)
{
    if (realFolder.isEmpty())
        return false;
    QString folder = realFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return realPath.size() > folder.size() && realPath.startsWith(folder);
}

bool syncFolder(const QString &hostFolder)
{
    if (g_failFlush & FailFolderFlushes)
        return false;
    if (!g_flushing)
        return true;
    const int fd = ::open(QFile::encodeName(hostFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

bool syncFileSystemsOf(const QStringList &hostFolders)
{
    if (g_failFlush & FailFileFlushes)
        return false;
    if (!g_flushing)
        return true;
    std::vector<dev_t> done;
    for (const QString &folder : hostFolders) {
        const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            if (fd >= 0)
                ::close(fd);
            return false;
        }
        bool ok = true;
        if (std::find(done.begin(), done.end(), st.st_dev) == done.end()) {
            done.push_back(st.st_dev);
#if defined(Q_OS_LINUX)
            ok = ::syncfs(fd) == 0;
#else
            ::sync();
#endif
        }
        ::close(fd);
        if (!ok)
            return false;
    }
    return true;
}
#endif

void sideBySide(size_t count, const std::function<void(size_t)> &work)
{
    constexpr size_t kThreads = 8;
    std::atomic<size_t> next{0};
    const auto some = [&] {
        for (size_t i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> helpers;
    for (size_t t = 1; t < qMin(kThreads, count); ++t) {
        try {
            helpers.emplace_back(some);
        } catch (const std::system_error &) {
            break; // no thread to be had: this one does the rest
        }
    }
    some();
    for (std::thread &t : helpers)
        t.join();
}

namespace {
std::atomic<int> g_filesAtOnce{0};
} // namespace

void setFilesAtOnceForTesting(int count) { g_filesAtOnce = count; }

int filesAtOnce()
{
    if (const int set = g_filesAtOnce)
        return set;
#ifndef Q_OS_WIN
    static const int count = [] {
        constexpr rlim_t kWanted = 8192;
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
            return 256;
        if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < kWanted && limit.rlim_max > limit.rlim_cur) {
            struct rlimit raised = limit;
            raised.rlim_cur = limit.rlim_max == RLIM_INFINITY ? kWanted : std::min(limit.rlim_max, kWanted);
            if (::setrlimit(RLIMIT_NOFILE, &raised) == 0)
                limit = raised;
        }
        const long open = limit.rlim_cur == RLIM_INFINITY ? long(kWanted) : long(limit.rlim_cur);
        // Half for the copies, the rest for their copies in the history and everything else.
        return int(std::clamp<long>((open - 256) / 2, 64, 2048));
    }();
    return count;
#else
    return 256;
#endif
}

bool flushFiles(const QStringList &hostPaths)
{
#ifndef Q_OS_WIN
    if (g_failFlush & FailFileFlushes)
        return false;
    if (!g_flushing)
        return true;
    std::atomic<bool> ok{true};
    sideBySide(size_t(hostPaths.size()), [&](size_t i) {
        const int fd = ::open(QFile::encodeName(hostPaths.at(qsizetype(i))).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0)
            ok = false;
        if (fd >= 0)
            ::close(fd);
    });
    return ok;
#else
    Q_UNUSED(hostPaths);
    return true;
#endif
}

bool flushing() { return g_flushing; }
void setFlushingForTesting(bool on) { g_flushing = on; }
void failFlushesForTesting(int which) { g_failFlush = which; }

bool AtomicFile::open(const QString &hostPath, QString *error)
{
    abort();
    if (hostPath.isEmpty() || hostPath.endsWith(QLatin1Char('/')))
        return fail(error, QStringLiteral("no file name"));
    m_targetName = m_resolved ? hostPath : realPlace(hostPath);
    const QFileInfo info(m_targetName);
#ifdef Q_OS_WIN
    if (info.isDir())
        return fail(error, QStringLiteral("it is a folder"));
    if (!QFileInfo(info.absolutePath()).isDir())
        return fail(error, QStringLiteral("the folder does not exist"));
    m_file = new QSaveFile(m_targetName);
    if (!m_file->open(QIODevice::WriteOnly)) {
        const QString why = m_file->errorString();
        abort();
        return fail(error, why);
    }
    return true;
#else
    m_target = QFile::encodeName(m_targetName);
    // One look at the target, and the temporary file's own open tells a missing folder: a
    // package writes thousands of files, and each look is a system call.
    struct stat old {};
    const bool existed = ::stat(m_target.constData(), &old) == 0;
    if (existed && S_ISDIR(old.st_mode))
        return fail(error, QStringLiteral("it is a folder"));
    static std::atomic<quint64> opened{0};
    m_opened = ++opened;
    m_inPlace = false;
    if (m_newInPlace && !existed && errno == ENOENT) {
        // Nothing to keep whole: the new file is written under its own name, and a name that
        // turned up meanwhile (or a dangling link) takes the usual way below.
        m_fd = ::open(m_target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (m_fd >= 0) {
            m_inPlace = true;
            m_temp = m_target;
            return true;
        }
    }
    static const qint64 pid = ::getpid();
    static std::atomic<unsigned> counter{0};
    m_temp = QFile::encodeName(info.absolutePath() + QLatin1String("/.") + info.fileName()
                               + QStringLiteral(".veldrin-%1-%2").arg(pid).arg(counter++));
    // A new file gets the usual permissions (the umask applies); a replaced one keeps its own.
    m_fd = ::open(m_temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, existed ? 0600 : 0666);
    if (m_fd < 0) {
        const int why = errno;
        m_temp.clear();
        if (why == ENOENT || why == ENOTDIR)
            return fail(error, QStringLiteral("the folder does not exist"));
        return fail(error, errnoText(why));
    }
    if (existed && ::fchmod(m_fd, old.st_mode & 07777) != 0) {
        const int why = errno;
        abort();
        return fail(error, errnoText(why));
    }
    return true;
#endif
}

bool AtomicFile::append(const QByteArray &bytes, QString *error)
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
    return fail(error, errnoText(why));
#endif
}

bool AtomicFile::append(const std::vector<QByteArray> &pieces, QString *error)
{
#ifdef Q_OS_WIN
    for (const QByteArray &piece : pieces) {
        if (!append(piece, error))
            return false;
    }
    return true;
#else
    size_t next = 0;  // the first piece not yet written whole
    qsizetype done = 0; // bytes of that piece already written
    while (m_fd >= 0 && next < pieces.size()) {
        constexpr size_t kMostAtOnce = 512; // well under every system's IOV_MAX
        iovec parts[kMostAtOnce];
        size_t count = 0;
        for (size_t i = next; i < pieces.size() && count < kMostAtOnce; ++i) {
            const qsizetype skip = i == next ? done : 0;
            if (pieces[i].size() == skip)
                continue;
            parts[count].iov_base = const_cast<char *>(pieces[i].constData() + skip);
            parts[count].iov_len = size_t(pieces[i].size() - skip);
            ++count;
        }
        if (count == 0)
            return true;
        ssize_t n = ::writev(m_fd, parts, int(count));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        while (next < pieces.size() && n >= pieces[next].size() - done) {
            n -= pieces[next].size() - done;
            done = 0;
            ++next;
        }
        done += n;
    }
    if (m_fd >= 0 && next == pieces.size())
        return true;
    const int why = m_fd >= 0 ? errno : EBADF;
    abort();
    return fail(error, errnoText(why));
#endif
}

bool AtomicFile::commit(QString *error)
{
#ifdef Q_OS_WIN
    const bool ok = m_file && m_file->commit();
    const QString why = m_file ? m_file->errorString() : QStringLiteral("not open");
    delete m_file;
    m_file = nullptr;
    return ok || fail(error, why);
#else
    if (m_fd < 0)
        return fail(error, errnoText(EBADF));
    const int fd = m_fd;
    m_fd = -1;
    // The bytes reach the disk before the name does: after a crash the target holds either
    // its old content or the whole new one. The data and the size are what a new file needs;
    // its other times and owners need no flush of their own.
    int why = m_flushed ? m_flushError : 0;
    if (!m_flushed && (g_failFlush & FailFileFlushes))
        why = EIO;
    else if (g_flushing && !m_flushed && ::fdatasync(fd) != 0)
        why = errno;
    m_flushed = false;
    if (::close(fd) != 0 && !why)
        why = errno;
    if (!why && !m_inPlace && ::rename(m_temp.constData(), m_target.constData()) != 0)
        why = errno;
    if (why)
        ::unlink(m_temp.constData());
    m_temp.clear();
    m_target.clear();
    return !why || fail(error, errnoText(why));
#endif
}

bool AtomicFile::flushData()
{
#ifndef Q_OS_WIN
    if (m_fd < 0 || m_flushed)
        return !m_flushError;
    m_flushed = true;
    m_flushError = (g_failFlush & FailFileFlushes) ? EIO : g_flushing && ::fdatasync(m_fd) != 0 ? errno : 0;
    return !m_flushError;
#else
    return true;
#endif
}

#if defined(Q_OS_LINUX)
namespace {
// From Linux 5.8 a file system's flush reports every write-back failure on it since the
// descriptor it is given was opened: a clean flush then vouches for every file opened after.
bool syncfsReportsFailures()
{
    static const bool reports = [] {
        struct utsname u {};
        int major = 0, minor = 0;
        return ::uname(&u) == 0 && std::sscanf(u.release, "%d.%d", &major, &minor) == 2
            && (major > 5 || (major == 5 && minor >= 8));
    }();
    return reports;
}
} // namespace
#endif

bool AtomicFile::flushTogether(const std::vector<AtomicFile *> &files)
{
#if defined(Q_OS_LINUX)
    // Each file system is flushed whole, once, through the file opened first on it, so that
    // no failure since any of them was opened goes unseen. When the system says nothing of
    // failures there, or says there was one, each file's own flush tells which.
    if (g_flushing && !(g_failFlush & FailFileFlushes)) {
        std::vector<dev_t> devices(files.size(), 0);
        std::vector<bool> waiting(files.size(), false);
        std::vector<std::pair<dev_t, AtomicFile *>> first;
        for (size_t i = 0; i < files.size(); ++i) {
            AtomicFile *f = files[i];
            struct stat st {};
            if (f->m_fd < 0 || f->m_flushed || ::fstat(f->m_fd, &st) != 0)
                continue;
            devices[i] = st.st_dev;
            waiting[i] = true;
            const auto known = std::find_if(first.begin(), first.end(), [&](const auto &p) { return p.first == st.st_dev; });
            if (known == first.end())
                first.emplace_back(st.st_dev, f);
            else if (f->m_opened < known->second->m_opened)
                known->second = f;
        }
        std::vector<dev_t> vouched;
        for (const auto &[device, f] : first) {
            if (::syncfs(f->m_fd) == 0 && syncfsReportsFailures())
                vouched.push_back(device);
        }
        for (size_t i = 0; i < files.size(); ++i) {
            if (waiting[i] && std::find(vouched.begin(), vouched.end(), devices[i]) != vouched.end()) {
                files[i]->m_flushed = true;
                files[i]->m_flushError = 0;
            }
        }
    }
#endif
    std::atomic<bool> ok{true};
    std::vector<AtomicFile *> left;
    for (AtomicFile *f : files) {
        if (!f->m_flushed || f->m_flushError)
            left.push_back(f);
    }
    sideBySide(left.size(), [&](size_t i) {
        if (!left[i]->flushData())
            ok = false;
    });
    return ok;
}

void AtomicFile::startFlush()
{
#if defined(Q_OS_LINUX)
    // Starts writing the bytes out without waiting, so that many files flushed one after
    // another find their bytes already on their way.
    if (m_fd >= 0 && g_flushing)
        ::sync_file_range(m_fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
}

void AtomicFile::abort()
{
#ifdef Q_OS_WIN
    delete m_file;
    m_file = nullptr;
#else
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
    ::unlink(m_temp.constData());
    m_temp.clear();
    m_target.clear();
#endif
}

bool holdsExactly(const QString &hostPath, const QByteArray &bytes, const QByteArray &tail, qint64 *size, qint64 *mtime)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(hostPath).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat before {};
    bool same = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode)
        && qint64(before.st_size) == qint64(bytes.size()) + qint64(tail.size());
    char buffer[64 * 1024];
    for (const QByteArray *part : {&bytes, &tail}) {
        for (qsizetype at = 0; same && at < part->size();) {
            const ssize_t n = ::read(fd, buffer, size_t(qMin(qsizetype(sizeof buffer), part->size() - at)));
            if (n < 0 && errno == EINTR)
                continue;
            same = n > 0 && std::memcmp(buffer, part->constData() + at, size_t(n)) == 0;
            at += n > 0 ? n : 0;
        }
    }
    struct stat after {};
    same = same && ::fstat(fd, &after) == 0 && after.st_size == before.st_size
        && after.st_mtim.tv_sec == before.st_mtim.tv_sec && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec;
#if defined(Q_OS_LINUX)
    // Bytes another program wrote a moment ago may not be written out yet: they are now, and a
    // failure to is told here, before a record says the file holds them.
    same = same && !(g_failFlush & FailFileFlushes)
        && (!g_flushing
            || ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER) == 0);
#else
    same = same && !(g_failFlush & FailFileFlushes) && (!g_flushing || ::fsync(fd) == 0);
#endif
    ::close(fd);
    if (same) {
        *size = qint64(before.st_size);
        *mtime = qint64(before.st_mtim.tv_sec) * 1000000000 + before.st_mtim.tv_nsec;
    }
    return same;
#else
    Q_UNUSED(hostPath);
    Q_UNUSED(bytes);
    Q_UNUSED(tail);
    Q_UNUSED(size);
    Q_UNUSED(mtime);
    return false;
#endif
}

bool fileStamp(const QString &hostPath, qint64 *size, qint64 *mtime)
{
#ifndef Q_OS_WIN
    struct stat st {};
    if (::stat(QFile::encodeName(hostPath).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    *size = qint64(st.st_size);
    *mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
#else
    const QFileInfo info(hostPath);
    if (!info.isFile())
        return false;
    *size = info.size();
    *mtime = info.lastModified().toMSecsSinceEpoch() * 1000000;
    return true;
#endif
}

bool AtomicFile::stamp(qint64 *size, qint64 *mtime) const
{
#ifndef Q_OS_WIN
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0)
        return false;
    *size = qint64(st.st_size);
    *mtime = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return true;
#else
    Q_UNUSED(size);
    Q_UNUSED(mtime);
    return false; // not known before the copy is in place: such files are read again
#endif
}

bool writeFile(const QString &hostPath, const QByteArray &bytes, const QByteArray &tail, QString *error)
{
    AtomicFile file;
    return file.open(hostPath, error) && file.append(bytes, error) && (tail.isEmpty() || file.append(tail, error))
        && file.commit(error);
}

} // namespace hostfs
