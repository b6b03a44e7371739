#include "install/WriterLock.h"

#include "install/HistoryJournal.h"
#include "install/InstallHistory.h"

#include "platform/HostFiles.h"
#include "platform/WinPath.h"
#include "common/GameFolders.h"

#include <QCoreApplication>
#include <QFile>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <cstdio>
#include <thread>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace history {

namespace {

#ifdef Q_OS_WIN
using Handle = HANDLE;
const Handle kNone = INVALID_HANDLE_VALUE;
#else
using Handle = int;
constexpr Handle kNone = -1;
#endif

struct Holding
{
    Handle handle = kNone;
    int count = 0;
};

// Locks are per open file, not per process: a second open in this process would wait for the
// first. So each history folder is opened once and shared by the locks taken on it here. Only
// the thread that runs installs takes these locks.
QHash<QString, Holding> &holdings()
{
    static QHash<QString, Holding> map;
    return map;
}

std::function<void(bool)> &waitNotice()
{
    static std::function<void(bool)> notice;
    return notice;
}

std::function<void(const QString &)> &recoveryTeller()
{
    static std::function<void(const QString &)> tell;
    return tell;
}

// The history folder itself is what is locked (the lock file of Windows sits in it): locking
// creates nothing, so a dry run or a refused install leaves the folder as it found it.
Handle openFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    const std::wstring name = (folder + QStringLiteral("/journal.lock")).toStdWString();
    return CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    return ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
#endif
}

void closeHandle(Handle handle)
{
#ifdef Q_OS_WIN
    CloseHandle(handle);
#else
    ::close(handle);
#endif
}

enum class Locked { Taken, Busy, Unsupported };

// Blocking waits for the lock for as long as its holder lives. Unsupported: the file system
// cannot lock at all (some network shares), which is no reason to stop an install.
Locked lockHandle(Handle handle, bool blocking)
{
#ifdef Q_OS_WIN
    OVERLAPPED whole {};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (blocking ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (LockFileEx(handle, flags, 0, MAXDWORD, MAXDWORD, &whole))
        return Locked::Taken;
    return GetLastError() == ERROR_LOCK_VIOLATION ? Locked::Busy : Locked::Unsupported;
#else
    int r;
    do
        r = ::flock(handle, LOCK_EX | (blocking ? 0 : LOCK_NB));
    while (r != 0 && errno == EINTR);
    if (r == 0)
        return Locked::Taken;
    return errno == EWOULDBLOCK ? Locked::Busy : Locked::Unsupported;
#endif
}

// A window must keep painting (its status line says why nothing happens) but take no new
// clicks while it waits, so the wait runs beside an event loop that leaves input alone.
Locked waitForLock(Handle handle)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return lockHandle(handle, true);
    QEventLoop loop;
    Locked taken = Locked::Busy;
    std::thread waiter([&] {
        taken = lockHandle(handle, true);
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiter.join();
    return taken;
}

} // namespace

QString waitingText() { return QStringLiteral("waiting for another install to finish"); }

void WriterLock::setWaitNotice(std::function<void(bool)> notice) { waitNotice() = std::move(notice); }

WriterLock::WriterLock(const QString &programFolder, Mode mode)
{
    m_held = true;
    if (programFolder.isEmpty())
        return;
    const QString folder = hostfs::realPlace(winpath::toHost(programFolder + folders::kBackupHistory));
    if (!QFileInfo(folder).isDir())
        return;
    auto known = holdings().find(folder);
    if (known != holdings().end()) {
        ++known->count;
        m_key = folder;
        m_nested = true;
        return;
    }
    const Handle handle = openFolder(folder);
    // A folder that cannot even be opened cannot hold a journal either: the install goes on
    // without history, as it does when the journal cannot be opened.
    if (handle == kNone)
        return;
    Locked taken = lockHandle(handle, false);
    if (taken == Locked::Busy && mode == Wait) {
        if (waitNotice())
            waitNotice()(true);
        taken = waitForLock(handle);
        if (waitNotice())
            waitNotice()(false);
    }
    if (taken != Locked::Taken) {
        closeHandle(handle);
        m_held = taken == Locked::Unsupported;
        return;
    }
    holdings().insert(folder, {handle, 1});
    m_key = folder;
}

WriterLock::~WriterLock()
{
    if (m_key.isEmpty())
        return;
    auto it = holdings().find(m_key);
    if (it == holdings().end() || --it->count > 0)
        return;
    // Closing the last handle on it releases the lock.
    closeHandle(it->handle);
    holdings().erase(it);
}

void setRecoveryTeller(std::function<void(const QString &)> tell) { recoveryTeller() = std::move(tell); }

void recoverAfterTaking(const WriterLock &lock, const QString &programFolder, const QString &gameFolder)
{
    if (!lock.held() || lock.nested() || !Journal::exists(programFolder))
        return;
    {
        const std::unique_ptr<Journal> journal = Journal::open(programFolder);
        if (!journal || !journal->hasOpen())
            return;
    }
    const QString told = recoverUnfinished(programFolder, gameFolder);
    if (told.isEmpty())
        return;
    if (recoveryTeller())
        recoveryTeller()(told);
    else
        std::fprintf(stderr, "veldrin: %s\n", qPrintable(told));
}

} // namespace history
