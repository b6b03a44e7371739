#include "installer/InstallTransaction.h"
#include "platform/Fail.h"

#include "installer/AddOns.h"
#include "installer/HistoryJournal.h"
#include "installer/HostPaths.h"
#include "installer/OwnFiles.h"
#include "installer/WriterLock.h"
#include "platform/FileIO.h"
#include "shell/GameFolders.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <atomic>
#include <cstdio>
#include <vector>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace install {

namespace {

std::atomic<int> g_writes{0};
std::atomic<int> g_failWrite{0};
std::atomic<int> g_points{0};
std::atomic<void (*)(int)> g_checkpointHook{nullptr};
std::atomic<bool> g_failKeep{false};

// Tests that kill an install mid-way stop it here: each point is a moment after which a kill
// must still leave the game whole after the next start. Only a test build sets the hook.
void checkpoint()
{
    const int n = ++g_points;
    if (auto hook = g_checkpointHook.load())
        hook(n);
}

using failure::fail;

bool isRegularFile(const QString &real)
{
    const QFileInfo info(real);
    return info.exists() && !info.isDir();
}

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

struct Transaction::Private
{
    struct Slot
    {
        Target t;
        bool prepared = false;
        QString previous;           // hash of the bytes before, with history
        bool kept = false;          // those bytes are in the store
        bool linked = false;        // kept by a link that still shares them with the file
        bool memoryTaken = false;   // without the store: the bytes before, below
        QByteArray memory;
        QString spill;
        bool touched = false;
        bool removed = false;
        QString written;
    };

    QString route, source, gameFolder, programFolder;
    QString gameReal, programReal;
    QString historyReal; // the store may be a link to another disk: judged where it really is
    brx::HostPaths paths;
    QList<Slot> entries;
    QHash<QString, int> byReal;
    // Outlives the journal: the record is closed before another process may open one.
    std::unique_ptr<history::WriterLock> lock;
    std::unique_ptr<history::Journal> journal;
    QString notice;
    QList<qint64> undoes;
    qint64 op = 0;
    int preparedCount = 0;
    bool begun = false;
    bool undoAvailable = true;
    bool withoutUndo = false;    // the player chose to go on when an original cannot be kept
    QString stopped;             // why the operation may not start, when it may not
    bool finished = false;
    // Batched writes: new copies written but not yet flushed and renamed into place.
    struct Pending
    {
        int index;
        std::unique_ptr<hostfs::AtomicFile> file;
        QString written;
    };
    bool batched = false;
    std::vector<Pending> pending;
    QList<int> order;             // entries in the order they were first changed
    QSet<QString> changedFolders;
    qint64 inMemory = 0;
    std::unique_ptr<QTemporaryDir> spillDir;
    QHash<QString, QString> realFolders; // host folder -> its real place, each resolved once

    static constexpr qint64 kMemoryLimit = qint64(256) * 1024 * 1024;

    bool inStore(const QString &real) const
    {
        return inHistoryStore(real, programReal)
            || (!historyReal.isEmpty() && (real == historyReal || hostfs::inside(real, historyReal)));
    }

    // A package puts many files into few folders: each folder's links are resolved once, and
    // only a file that is itself a link is resolved on its own.
    QString realOf(const QString &host)
    {
        const qsizetype cut = host.lastIndexOf(QLatin1Char('/'));
        if (cut <= 0)
            return hostfs::realPlace(host);
        const QString folder = host.left(cut);
        auto known = realFolders.constFind(folder);
        if (known == realFolders.constEnd())
            known = realFolders.insert(folder, hostfs::realPlace(folder));
        const QString real = (known->endsWith(QLatin1Char('/')) ? *known : *known + QLatin1Char('/')) + host.mid(cut + 1);
        return QFileInfo(real).isSymLink() ? hostfs::realPlace(real) : real;
    }


    history::FileRow row(int i) const
    {
        const Slot &s = entries.at(i);
        history::FileRow r;
        r.seq = i;
        r.path = s.t.path;
        r.host = s.t.real;
        r.existed = s.t.existed;
        r.previous = s.previous;
        r.kept = s.kept;
        r.written = s.written;
        r.touched = s.touched;
        return r;
    }

    // Keeps the bytes of every slot not yet prepared and records them, in one commit. When an
    // original cannot be kept (the store is full or cannot be written), nothing is recorded and
    // `stopped` says why, unless the player chose to go on without undo.
    void prepare()
    {
        QList<history::FileRow> rows;
        bool stored = false;
        stopped.clear();
        for (int i = preparedCount; i < entries.size(); ++i) {
            Slot &s = entries[i];
            s.prepared = true;
            s.t.existed = isRegularFile(s.t.real);
            if (journal && s.t.existed) {
                QString why;
                s.previous = history::sha256File(s.t.real, &why);
                s.kept = !s.previous.isEmpty() && !g_failKeep
                    && journal->keepFile(s.t.real, s.previous, &s.linked, &why);
                if (g_failKeep)
                    why = QStringLiteral("no space left on device (made on purpose)");
                stored = stored || s.kept;
                if (!s.kept) {
                    undoAvailable = false;
                    if (stopped.isEmpty())
                        stopped = QStringLiteral("%1 could not be kept for undo (%2)").arg(s.t.path, why);
                }
            }
            rows.append(row(i));
        }
        if (!journal || rows.isEmpty()) {
            preparedCount = int(entries.size());
            return;
        }
        if (stored && !journal->syncObjects() && stopped.isEmpty()) {
            undoAvailable = false;
            stopped = QStringLiteral("the kept originals could not be flushed to disk");
        }
        if (!stopped.isEmpty() && !withoutUndo)
            return; // tried again, from the same slot, if the player goes on without undo
        stopped.clear();
        preparedCount = int(entries.size());
        checkpoint();
        QString why;
        if (!keepHandEdits(rows, &why) && !withoutUndo) {
            stopped = QStringLiteral("the install history could not record the files changed by hand (%1)").arg(why);
            return;
        }
        if (!journal->record(&op, route, source, undoes, rows, &why)) {
            journal.reset();
            op = 0;
            undoAvailable = false;
            if (!withoutUndo) {
                stopped = QStringLiteral("the install history could not record this install (%1)").arg(why);
                return;
            }
        }
        checkpoint();
    }

    // A file an enabled add-on wrote that was changed since outside Veldrin (by hand, or by the
    // game) keeps that change as a layer of its own, under this install: taking the install out
    // later brings the change back rather than the older add-on's bytes. Its bytes are in the
    // store already, kept as this install's bytes before. The player asked for the install, so
    // it goes on top and nothing needs asking.
    bool keepHandEdits(const QList<history::FileRow> &rows, QString *why)
    {
        if (!journal || !history::isAddOnRoute(route) || route == QLatin1String("by hand"))
            return true;
        QList<history::FileRow> now;
        for (const history::FileRow &r : rows) {
            if (!r.existed || r.kept)
                now << r;
        }
        if (now.isEmpty())
            return true;
        QList<history::FileRow> edited = history::changedByHand(journal->operations(true), now);
        if (edited.isEmpty())
            return true;
        for (history::FileRow &r : edited)
            r.kept = r.existed && QFileInfo::exists(journal->objectPath(r.previous));
        qint64 hand = 0;
        if (!journal->record(&hand, QStringLiteral("by hand"), QStringLiteral("changed by hand"), {}, edited, why)
            || !journal->finish(hand, QStringLiteral("done"), edited, why))
            return false;
        checkpoint(); // a kill here leaves the edit kept as a layer, and no install
        if (op == 0)
            return true; // this install's own record follows, above it
        // Files added to an install already recorded: the install is moved above the edit.
        qint64 moved = 0;
        return journal->record(&moved, QStringLiteral("order"), QString::number(op), {op, hand}, {}, why)
            && journal->finish(moved, QStringLiteral("done"), {}, why);
    }

    // Without the store, the bytes a file held are kept in memory, or beyond a limit in a
    // private temporary folder, until the operation ends.
    bool keepAside(Slot &s, QString *error)
    {
        if (!s.t.existed || s.kept || s.memoryTaken)
            return true;
        QFile file(s.t.real);
        if (!file.open(QIODevice::ReadOnly))
            return fail(error, QStringLiteral("its present content cannot be read: %1").arg(file.errorString()));
        QByteArray old = file.readAll();
        s.memoryTaken = true;
        if (inMemory + old.size() <= kMemoryLimit) {
            inMemory += old.size();
            s.memory = std::move(old);
            return true;
        }
        if (!spillDir)
            spillDir = std::make_unique<QTemporaryDir>();
        s.spill = spillDir->filePath(QString::number(&s - entries.data()));
        QFile spill(s.spill);
        if (!spillDir->isValid() || !spill.open(QIODevice::WriteOnly) || spill.write(old) != old.size()) {
            s.memoryTaken = false;
            return fail(error, QStringLiteral("its present content cannot be kept aside: %1").arg(spill.errorString()));
        }
        return true;
    }

    std::optional<QByteArray> before(const Slot &s, QString *error)
    {
        if (!s.t.existed)
            return std::nullopt;
        if (s.memoryTaken) {
            if (s.spill.isEmpty())
                return s.memory;
            QFile spill(s.spill);
            if (!spill.open(QIODevice::ReadOnly)) {
                fail(error, spill.errorString());
                return std::nullopt;
            }
            return spill.readAll();
        }
        if (s.kept && journal)
            return journal->object(s.previous, error);
        fail(error, QStringLiteral("its earlier content was not kept"));
        return std::nullopt;
    }

    // Flushes the batched copies together (the system writes them all out while the first is
    // waited for), then renames each into place after its own flush.
    bool flushPending(QString *error, QString *failedPath = nullptr)
    {
        for (Pending &p : pending)
            p.file->startFlush();
        std::vector<Pending> batch;
        batch.swap(pending);
        hostfs::sideBySide(batch.size(), [&](size_t i) { batch[i].file->flushData(); });
        for (Pending &p : batch) {
            Slot &s = entries[p.index];
            // The same moments as a write that is not batched: its copy whole beside the
            // target, then renamed into place.
            checkpoint();
            QString why;
            if (!p.file->commit(&why)) {
                if (failedPath)
                    *failedPath = s.t.path;
                return fail(error, why);
            }
            s.written = p.written;
            s.removed = false;
            changed(p.index);
            paths.created(s.t.host);
            checkpoint();
        }
        return true;
    }

    void changed(int i)
    {
        Slot &s = entries[i];
        if (!s.touched) {
            s.touched = true;
            order.append(i);
        }
        s.linked = false; // the file now has bytes of its own; the store keeps the old ones
        changedFolders.insert(QFileInfo(s.t.real).absolutePath());
    }

    void release()
    {
        for (Slot &s : entries) {
            if (s.linked && journal)
                journal->unshare(s.previous, s.t.real);
            s.linked = false;
        }
    }
};

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

Transaction::~Transaction()
{
    if (!d->finished && !d->order.isEmpty()) {
        // Nobody is left to tell: the files not put back stay recorded as changed.
        for (const QString &left : rollBack())
            std::fprintf(stderr, "veldrin: %s could not be put back\n", qPrintable(left));
    } else if (!d->finished && d->journal && d->op) {
        // Nothing was touched; a record left open is only checked again at the next start.
        QString why;
        if (!d->journal->finish(d->op, QStringLiteral("rolled back"), {}, &why))
            std::fprintf(stderr, "veldrin: the install history could not close an install (%s)\n", qPrintable(why));
    }
    d->release();
}

int Transaction::add(const QString &windowsPath, QString *error)
{
    const QString clean = cleanWindowsPath(windowsPath);
    if (clean.isEmpty() || clean.endsWith(QLatin1Char('\\')) || clean.endsWith(QLatin1Char(':'))) {
        fail(error, QStringLiteral("no file name"));
        return -1;
    }
    Private::Slot slot;
    slot.t.path = windowsPath;
    slot.t.host = d->paths.toHost(clean);
    slot.t.real = d->realOf(slot.t.host);
    const auto known = d->byReal.constFind(slot.t.real);
    if (known != d->byReal.constEnd())
        return *known;
    slot.t.outside = !hostfs::inside(slot.t.real, d->gameReal) && !hostfs::inside(slot.t.real, d->programReal);
    slot.t.history = d->inStore(slot.t.real);
    d->entries.append(slot);
    d->byReal.insert(slot.t.real, int(d->entries.size()) - 1);
    return int(d->entries.size()) - 1;
}

int Transaction::addRecorded(const QString &windowsPath, const QString &realHost)
{
    const QString real = hostfs::realPlace(realHost);
    const auto known = d->byReal.constFind(real);
    if (known != d->byReal.constEnd())
        return *known;
    Private::Slot slot;
    slot.t.path = windowsPath;
    slot.t.host = real;
    slot.t.real = real;
    slot.t.outside = !hostfs::inside(real, d->gameReal) && !hostfs::inside(real, d->programReal);
    slot.t.history = d->inStore(real);
    d->entries.append(slot);
    d->byReal.insert(real, int(d->entries.size()) - 1);
    return int(d->entries.size()) - 1;
}

const Target &Transaction::target(int index) const { return d->entries.at(index).t; }
int Transaction::count() const { return int(d->entries.size()); }

QString Transaction::shown(int index) const
{
    const Target &t = d->entries.at(index).t;
    // The player sees the place the file really lands when the path alone hides it (a link on
    // the way, or ".." that stops at the drive root).
    const QString really = winpath::fromHost(t.real);
    if (really.compare(t.path, Qt::CaseInsensitive) == 0)
        return t.path;
    return QStringLiteral("%1 (really %2)").arg(t.path, really);
}

QString Transaction::ownFile(int index) const
{
    const Target &t = d->entries.at(index).t;
    return t.history ? QStringLiteral("Veldrin's install history") : install::ownFile(t.real, d->programReal);
}

void Transaction::setUndoes(const QList<qint64> &operations) { d->undoes = operations; }

bool Transaction::begin(QString *error)
{
    if (!d->begun) {
        d->begun = true;
        // Before the journal is read and before any file is judged: what another install is
        // doing must be over first.
        d->lock = std::make_unique<history::WriterLock>(d->programFolder, history::WriterLock::Wait);
        history::recoverAfterTaking(*d->lock, d->programFolder, d->gameFolder);
        QString problem;
        d->journal = history::Journal::open(d->programFolder, &problem, &d->notice);
        if (!problem.isEmpty())
            std::fprintf(stderr, "veldrin: %s\n", qPrintable(problem));
        if (!d->journal)
            d->undoAvailable = false;
    }
    d->prepare();
    if (!d->stopped.isEmpty())
        return fail(error, d->stopped);
    return true;
}

void Transaction::setWithoutUndo(bool withoutUndo) { d->withoutUndo = withoutUndo; }

bool Transaction::write(int index, const QByteArray &bytes, const QByteArray &tail, QString *error)
{
    if (index < 0 || index >= d->entries.size())
        return fail(error, QStringLiteral("no file name"));
    Private::Slot &s = d->entries[index];
    if (s.t.history)
        return fail(error, QStringLiteral("it is Veldrin's install history, which no install changes"));
    if (!begin(error))
        return false;
    if (!d->keepAside(s, error))
        return false;
    const int n = ++g_writes;
    if (g_failWrite > 0 && n == g_failWrite)
        return fail(error, QStringLiteral("a failure made on purpose"));
    auto file = std::make_unique<hostfs::AtomicFile>();
    file->setResolved(true);
    if (!file->open(s.t.real, error) || !file->append(bytes, error) || (!tail.isEmpty() && !file->append(tail, error)))
        return false;
    if (!d->batched)
        checkpoint();
    QString written;
    if (d->journal) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(bytes);
        hash.addData(tail);
        written = QString::fromLatin1(hash.result().toHex());
    }
    if (d->batched) {
        d->pending.push_back({index, std::move(file), written});
        return true;
    }
    if (!file->commit(error))
        return false;
    s.written = written;
    s.removed = false;
    d->changed(index);
    d->paths.created(s.t.host);
    checkpoint();
    return true;
}

bool Transaction::remove(int index, QString *error)
{
    if (index < 0 || index >= d->entries.size())
        return fail(error, QStringLiteral("no file name"));
    Private::Slot &s = d->entries[index];
    if (s.t.history)
        return fail(error, QStringLiteral("it is Veldrin's install history, which no install changes"));
    if (!begin(error))
        return false;
    if (!isRegularFile(s.t.real))
        return true;
    if (!d->keepAside(s, error))
        return false;
    QFile file(s.t.real);
    if (!file.remove())
        return fail(error, file.errorString());
    s.written.clear();
    s.removed = true;
    d->changed(index);
    checkpoint();
    return true;
}

std::optional<QByteArray> Transaction::previous(int index)
{
    if (index < 0 || index >= d->entries.size())
        return std::nullopt;
    Private::Slot &s = d->entries[index];
    if (!s.touched) {
        QFile file(s.t.real);
        if (QFileInfo(s.t.real).isDir() || !file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
    return d->before(s, nullptr);
}

void Transaction::setBatched(bool batched) { d->batched = batched; }

bool Transaction::flush(QString *error, QString *failedPath) { return d->flushPending(error, failedPath); }

int Transaction::pendingWrites() const { return int(d->pending.size()); }

bool Transaction::commit(QString *error, QStringList *notPutBack)
{
    if (d->finished)
        return true;
    QString why, path;
    if (!d->flushPending(&why, &path))
        return putBack(error, QStringLiteral("%1 could not be written (%2)").arg(path, why), notPutBack);
    // One flush per folder for all the renames in it, rather than one per file. Until they are
    // on disk the install is not done: the record must not say so.
    for (const QString &folder : std::as_const(d->changedFolders)) {
        if (!hostfs::syncFolder(folder))
            return putBack(error, QStringLiteral("the folder %1 could not be flushed to disk").arg(winpath::fromHost(folder)),
                           notPutBack);
    }
    checkpoint();
    if (d->journal && d->op) {
        QList<history::FileRow> rows;
        for (int i = 0; i < d->entries.size(); ++i)
            rows.append(d->row(i));
        // An operation left open is put back at the next start: better now, and said.
        if (!d->journal->finish(d->op, d->undoAvailable ? QStringLiteral("done") : QStringLiteral("no undo"), rows, &why))
            return putBack(error,
                           QStringLiteral("the install history could not record the end of this install (%1)").arg(why),
                           notPutBack);
    }
    d->finished = true;
    d->release();
    return true;
}

bool Transaction::putBack(QString *error, const QString &why, QStringList *notPutBack)
{
    const QStringList left = rollBack();
    if (notPutBack)
        *notPutBack = left;
    QString message = why;
    message += left.isEmpty() ? QStringLiteral("; every file was put back as it was")
                              : QStringLiteral("; these files could not be put back: %1").arg(left.join(QLatin1String("; ")));
    return fail(error, message);
}

QStringList Transaction::rollBack()
{
    QStringList failures;
    d->finished = true;
    d->pending.clear(); // copies never renamed into place: removed, their targets untouched
    for (auto it = d->order.crbegin(); it != d->order.crend(); ++it) {
        Private::Slot &s = d->entries[*it];
        QString why;
        bool ok;
        if (s.t.existed) {
            const auto old = d->before(s, &why);
            ok = old && hostfs::writeFile(s.t.real, *old, QByteArray(), &why);
        } else {
            QFile file(s.t.real);
            ok = !isRegularFile(s.t.real) || file.remove();
            if (!ok)
                why = file.errorString();
        }
        if (ok) {
            s.touched = false;
            s.written.clear();
        } else {
            failures << QStringLiteral("%1 (%2)").arg(s.t.path, why);
        }
    }
    for (const QString &folder : std::as_const(d->changedFolders)) {
        if (!hostfs::syncFolder(folder))
            failures << QStringLiteral("%1 (put back, but the folder could not be flushed to disk)")
                            .arg(winpath::fromHost(folder));
    }
    d->order.clear();
    d->release();
    if (d->journal && d->op) {
        QList<history::FileRow> rows;
        for (int i = 0; i < d->entries.size(); ++i)
            rows.append(d->row(i));
        // Files that could not be put back stay recorded as changed, so an undo still sees them.
        // Left open, the record is checked again at the next start, which finds the files as
        // they were and closes it.
        QString why;
        if (!d->journal->finish(d->op, failures.isEmpty() ? QStringLiteral("rolled back") : QStringLiteral("done"),
                                rows, &why))
            std::fprintf(stderr, "veldrin: the install history could not record the roll back (%s)\n", qPrintable(why));
    }
    return failures;
}

bool Transaction::historyKept() const { return d->journal && d->op; }
bool Transaction::undoAvailable() const { return historyKept() && d->undoAvailable; }
qint64 Transaction::operationId() const { return d->op; }
int Transaction::writesDone() const { return int(d->order.size()); }
QString Transaction::notice() const { return d->notice; }
void Transaction::onCheckpointForTesting(void (*hook)(int point)) { g_checkpointHook = hook; }
void Transaction::failKeepForTesting(bool on) { g_failKeep = on; }
void Transaction::failWriteForTesting(int n)
{
    g_failWrite = n > 0 ? g_writes + n : 0;
}

} // namespace install
