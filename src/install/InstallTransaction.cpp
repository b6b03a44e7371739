#include "install/InstallTransaction.h"
#include "install/TransactionPrivate.h"
#include "platform/Fail.h"

#include "common/GameFolders.h"
#include "install/OwnFiles.h"
#include "platform/WinPath.h"

#include <QFileInfo>
#include <atomic>

// Planning an install: each target mapped once and judged inside or outside the player's
// folders on the place it really lands.

namespace install {

namespace {

std::atomic<int> g_points{0};
std::atomic<void (*)(int)> g_checkpointHook{nullptr};

using failure::fail;

QString realFolder(brx::HostPaths &paths, const QString &windowsFolder)
{
    if (windowsFolder.isEmpty())
        return {};
    QString folder = cleanWindowsPath(windowsFolder);
    if (!folder.endsWith(QLatin1Char('\\')))
        folder += QLatin1Char('\\');
    return hostfs::realPlace(paths.toHost(folder));
}

} // namespace

void checkpoint()
{
    const int n = ++g_points;
    if (auto hook = g_checkpointHook.load())
        hook(n);
}

QString cleanWindowsPath(const QString &windowsPath)
{
    QString p = windowsPath;
    p.replace(QLatin1Char('/'), QLatin1Char('\\'));
    QString root;
    if (p.size() >= 3 && p.at(0).isLetter() && p.at(1) == QLatin1Char(':') && p.at(2) == QLatin1Char('\\'))
        root = p.left(3);
    else if (p.startsWith(QLatin1String("\\\\")) || (p.size() >= 2 && p.at(1) == QLatin1Char(':')))
        return p; // network paths and drive-relative paths are left to the mapping
    else if (p.startsWith(QLatin1Char('\\')))
        root = QStringLiteral("\\");
    QStringList kept;
    for (const QString &part : p.mid(root.size()).split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            // Windows stops at the root: "C:\..\x" is "C:\x".
            if (!kept.isEmpty() && kept.last() != QLatin1String(".."))
                kept.removeLast();
            else if (root.isEmpty())
                kept << part;
            continue;
        }
        kept << part;
    }
    QString clean = root + kept.join(QLatin1Char('\\'));
    if (p.endsWith(QLatin1Char('\\')) && !clean.endsWith(QLatin1Char('\\')) && !kept.isEmpty())
        clean += QLatin1Char('\\');
    return clean;
}

bool Transaction::Private::inStore(const QString &real) const
{
    return inHistoryStore(real, programReal)
        || (!historyReal.isEmpty() && (real == historyReal || hostfs::inside(real, historyReal)));
}

void Transaction::Private::judgePlace(Target &t) const
{
    t.outside = !hostfs::inside(t.real, gameReal) && !hostfs::inside(t.real, programReal);
    t.history = inStore(t.real);
}

// A package puts many files into few folders: each folder's links are resolved once, and
// only a file that is itself a link is resolved on its own.
QString Transaction::Private::realOf(const QString &host)
{
    const qsizetype cut = host.lastIndexOf(QLatin1Char('/'));
    if (cut <= 0)
        return hostfs::realPlace(host);
    const QString folder = host.left(cut);
    auto known = realFolders.constFind(folder);
    if (known == realFolders.constEnd())
        known = realFolders.insert(folder, hostfs::realPlace(folder));
    const QString real = (known->endsWith(QLatin1Char('/')) ? *known : *known + QLatin1Char('/')) + host.mid(cut + 1);
    if (QFileInfo(real).isSymLink())
        return hostfs::realPlace(real);
    return real == host ? host : real; // one string for both, the usual case

}

history::FileRow Transaction::Private::row(const Slot &s) const
{
    history::FileRow r;
    r.seq = s.index;
    r.path = s.t.path;
    r.host = s.t.real;
    r.existed = s.t.existed;
    r.previous = s.previous;
    r.kept = s.kept;
    r.written = s.written;
    r.touched = s.touched;
    // A file changed again within the same tick of the clock would show the same time: only a
    // time the clock has clearly left behind is worth trusting later.
    if (s.writtenSize >= 0 && s.writtenMtime < settledBefore) {
        r.size = s.writtenSize;
        r.mtime = s.writtenMtime;
    }
    return r;
}

Transaction::Transaction(const QString &route, const QString &source, const QString &gameFolder,
                         const QString &programFolder)
    : d(std::make_unique<Private>())
{
    d->route = route;
    d->source = source;
    d->gameFolder = gameFolder;
    d->programFolder = programFolder;
    d->gameReal = realFolder(d->paths, gameFolder);
    d->programReal = realFolder(d->paths, programFolder);
    if (!programFolder.isEmpty())
        d->historyReal = realFolder(d->paths, cleanWindowsPath(programFolder + QLatin1Char('\\')) + QString(folders::kBackupHistory));
}

Target Transaction::judge(const QString &windowsPath, QString *error)
{
    Target t;
    const QString clean = cleanWindowsPath(windowsPath);
    if (clean.isEmpty() || clean.endsWith(QLatin1Char('\\')) || clean.endsWith(QLatin1Char(':'))) {
        fail(error, QStringLiteral("no file name"));
        return t;
    }
    t.path = windowsPath;
    t.host = d->paths.toHost(clean);
    t.real = d->realOf(t.host);
    d->judgePlace(t);
    return t;
}

int Transaction::add(const QString &windowsPath, QString *error)
{
    Private::Slot slot;
    slot.t = judge(windowsPath, error);
    if (slot.t.path.isEmpty())
        return -1;
    const int known = d->known(slot.t.real);
    return known >= 0 ? known : d->append(std::move(slot));
}

int Transaction::addRecorded(const QString &windowsPath, const QString &realHost)
{
    const QString real = hostfs::realPlace(realHost);
    const int known = d->known(real);
    if (known >= 0)
        return known;
    Private::Slot slot;
    slot.t.path = windowsPath;
    slot.t.host = real;
    slot.t.real = real;
    d->judgePlace(slot.t);
    return d->append(std::move(slot));
}

const Target &Transaction::target(int index) const { return d->slot(index).t; }
int Transaction::count() const { return d->count; }
bool Transaction::plansHistory() const { return d->plansHistory; }

QString Transaction::shown(int index) const { return shown(target(index)); }

QString Transaction::shown(const Target &t) const
{
    // The player sees the place the file really lands when the path alone hides it (a link on
    // the way, or ".." that stops at the drive root).
    const QString really = winpath::fromHost(t.real);
    if (really.compare(t.path, Qt::CaseInsensitive) == 0)
        return t.path;
    return QStringLiteral("%1 (really %2)").arg(t.path, really);
}

QString Transaction::ownFile(int index) const { return ownFile(target(index)); }

QString Transaction::ownFile(const Target &t) const
{
    return t.history ? QStringLiteral("Veldrin's install history") : install::ownFile(t.real, d->programReal);
}

bool Transaction::historyKept() const { return d->journal && d->op; }
qint64 Transaction::operationId() const { return d->op; }
int Transaction::writesDone() const { return int(d->order.size()); }
void Transaction::onCheckpointForTesting(void (*hook)(int point)) { g_checkpointHook = hook; }

} // namespace install
