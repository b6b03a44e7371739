#include "install/WriterLock.h"

#include "install/HistoryJournal.h"

#include "common/GameFolders.h"
#include "platform/FolderLock.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QHash>
#include <QThread>
#include <cstdio>
#include <thread>

namespace history {

namespace {

using folderlock::Handle;
using folderlock::Locked;

struct Holding
{
    Handle handle = folderlock::kNone;
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

std::function<QString(const QString &, const QString &)> &recovery()
{
    static std::function<QString(const QString &, const QString &)> recover;
    return recover;
}

// A window must keep painting (its status line says why nothing happens) but take no new
// clicks while it waits, so the wait runs beside an event loop that leaves input alone.
Locked waitForLock(Handle handle)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return folderlock::lock(handle, true);
    QEventLoop loop;
    Locked taken = Locked::Busy;
    std::thread waiter([&] {
        taken = folderlock::lock(handle, true);
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
    const Handle handle = folderlock::open(QFileInfo(folder).filesystemAbsoluteFilePath());
    // A folder that cannot even be opened cannot hold a journal either: the install goes on
    // without history, as it does when the journal cannot be opened.
    if (handle == folderlock::kNone)
        return;
    Locked taken = folderlock::lock(handle, false);
    if (taken == Locked::Busy && mode == Wait) {
        if (waitNotice())
            waitNotice()(true);
        taken = waitForLock(handle);
        if (waitNotice())
            waitNotice()(false);
    }
    if (taken != Locked::Taken) {
        folderlock::close(handle);
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
    folderlock::close(it->handle);
    holdings().erase(it);
}

void setRecoveryTeller(std::function<void(const QString &)> tell) { recoveryTeller() = std::move(tell); }

void setRecovery(std::function<QString(const QString &, const QString &)> recover) { recovery() = std::move(recover); }

void recoverAfterTaking(const WriterLock &lock, const QString &programFolder, const QString &gameFolder)
{
    if (!recovery() || !lock.held() || lock.nested() || !Journal::exists(programFolder))
        return;
    {
        QString notice;
        const std::unique_ptr<Journal> journal = Journal::open(programFolder, nullptr, &notice);
        // A journal found damaged here is set aside before the install reads it; the player
        // hears of that as of anything else put right on the way in.
        tellRecovered(notice);
        if (!journal || !journal->hasOpen())
            return;
    }
    tellRecovered(recovery()(programFolder, gameFolder));
}

void tellRecovered(const QString &text)
{
    if (text.isEmpty())
        return;
    if (recoveryTeller())
        recoveryTeller()(text);
    else
        std::fprintf(stderr, "veldrin: %s\n", qPrintable(text));
}

} // namespace history
