#include "install/InstallTransaction.h"
#include "install/TransactionPrivate.h"
#include "platform/Fail.h"

#include "platform/WinPath.h"

#include "install/ContentHash.h"

#include <QDateTime>
#include <QFile>
#include <atomic>
#include <cstdio>

// Writing an install: each new copy written beside its target and renamed into place, the
// folders flushed and the end recorded; or, on failure, every file put back as it was.

namespace install {

namespace {

std::atomic<int> g_writes{0};
std::atomic<int> g_failWrite{0};
std::atomic<int> g_settleMs{100};

using failure::fail;

// From this many files waiting, one flush of their file system is cheaper than one each.
constexpr size_t kFlushTogether = 32;

} // namespace

// Flushes the batched copies together (the system writes them all out while the first is
// waited for), then renames each into place after its own flush.
bool Transaction::Private::flushPending(QString *error, QString *failedPath)
{
    if (fileWorker)
        fileWorker->wait();
    // A copy that could not be written stops the install before anything is renamed; the
    // batch stays for the roll back to take away. The store's own copies are only tried
    // again at the end.
    for (const Pending &p : pending) {
        if (p.index >= 0 && !p.done->ok) {
            if (failedPath)
                *failedPath = slot(p.index).t.path;
            return fail(error, p.done->why);
        }
    }
    std::vector<Pending> batch;
    batch.swap(pending);
    pendingTargets = 0;
    storeCopies.clear(); // once in place, the store's copies are found there
    // Many files are flushed with their file system at once, as a sync after copying them
    // would; a few each by itself, leaving whatever else the system holds unwritten.
    if (batch.size() >= kFlushTogether) {
        std::vector<hostfs::AtomicFile *> files;
        for (Pending &p : batch)
            files.push_back(p.file.get());
        (void)hostfs::AtomicFile::flushTogether(files); // each file's result is checked by its commit
    } else {
        for (Pending &p : batch)
            p.file->startFlush();
        hostfs::sideBySide(batch.size(), [&](size_t i) { batch[i].file->flushData(); });
    }
    for (Pending &p : batch) {
        if (p.index < 0) {
            // The store's copy: without it the install still stands, and finish() tries again.
            if (p.done->ok && p.file->commit(nullptr))
                storedHere(p.written);
            continue;
        }
        Slot &s = slot(p.index);
        s.waiting = false;
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
        s.writtenSize = p.done->size;
        s.writtenMtime = p.done->mtime;
        changed(p.index);
        paths.created(s.t.host);
        checkpoint();
    }
    trim();
    return true;
}

void Transaction::Private::Written::take(hostfs::AtomicFile &file, const QByteArray &bytes, const QByteArray &tail)
{
    ok = file.append(bytes, &why) && (tail.isEmpty() || file.append(tail, &why));
    if (ok && !file.stamp(&size, &mtime))
        size = -1;
    if (ok && startEarly)
        file.startFlush();
}

hostfs::FileWorker &Transaction::Private::worker()
{
    // Enough bytes waiting to keep the second thread busy, few enough to matter little.
    if (!fileWorker)
        fileWorker = std::make_unique<hostfs::FileWorker>(qint64(16) * 1024 * 1024);
    return *fileWorker;
}

void Transaction::Private::copyToStore(const QString &hash, const QByteArray &bytes, const QByteArray &tail)
{
    if (!journal || hash.isEmpty() || storeCopies.contains(hash) || journal->hasObject(hash))
        return;
    storeCopies.insert(hash);
    auto copy = std::make_unique<hostfs::AtomicFile>();
    copy->setResolved(true);
    if (batched) {
        auto done = std::make_shared<Written>();
        hostfs::AtomicFile *into = copy.get();
        worker().post(bytes.size() + tail.size(), [into, path = journal->objectPath(hash), bytes, tail, done] {
            done->ok = into->open(path, nullptr);
            if (done->ok)
                done->take(*into, bytes, tail);
        });
        pending.push_back({-1, std::move(copy), hash, std::move(done)});
        return;
    }
    if (!copy->open(journal->objectPath(hash), nullptr) || !copy->append(bytes, nullptr)
        || (!tail.isEmpty() && !copy->append(tail, nullptr)))
        return;
    if (copy->commit(nullptr))
        storedHere(hash);
}

void Transaction::Private::storedHere(const QString &hash)
{
    storeCreated += QByteArray::fromHex(hash.toLatin1());
    journal->stored(hash);
}

QString Transaction::Private::hashOf(const QByteArray &bytes, const QByteArray &tail)
{
    // A package entry is written twice, to the game and to its backup copy: the same bytes in
    // hand, hashed once. Holding them keeps them from changing under the name.
    if (hashedHex.isEmpty() || bytes.constData() != hashed.constData() || bytes.size() != hashed.size()
        || tail != hashedTail) {
        history::ContentHash hash;
        hash.add(bytes);
        hash.add(tail);
        hashed = bytes;
        hashedTail = tail;
        hashedHex = hash.hex();
    }
    return hashedHex;
}

void Transaction::Private::settle()
{
    settledBefore = (QDateTime::currentMSecsSinceEpoch() - g_settleMs) * 1000000;
}

void Transaction::Private::changed(int i)
{
    Slot &s = slot(i);
    s.saved = false;
    if (!s.touched) {
        s.touched = true;
        order.append(i);
    }
    s.linked = false; // the file now has bytes of its own; the store keeps the old ones
    changedFolders.insert(QFileInfo(s.t.real).absolutePath());
}

void Transaction::Private::release()
{
    const auto release = [this](Slot &s) {
        if (s.linked && journal)
            journal->unshare(s.previous, s.t.real);
        s.linked = false;
    };
    for (auto &[index, s] : live)
        release(s);
    // Slots let go while linked come back for it.
    for (int i = 0; i < linkedAway.size(); ++i) {
        if (!linkedAway.testBit(i))
            continue;
        if (Slot *s = find(i))
            release(*s);
    }
    linkedAway.clear();
}

bool Transaction::Private::finishRecord(const QString &state, QString *why)
{
    // The rows saved while the operation went on are in the journal already.
    const QList<int> rows = unsaved();
    if (!journal->finish(op, state, rows.size(), [&](qsizetype k) { return row(slot(rows.at(k))); }, why))
        return false;
    for (const int index : rows)
        slot(index).saved = true;
    return true;
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

// What write() and remove() check before either touches a file: a planned slot, never the
// history's own store, and the operation begun (which keeps the originals first).
Transaction::Private::Slot *Transaction::Private::toChange(Transaction &transaction, int index, QString *error)
{
    const Slot *planned = find(index, error);
    if (!planned)
        return nullptr;
    if (planned->t.history) {
        fail(error, QStringLiteral("it is Veldrin's install history, which no install changes"));
        return nullptr;
    }
    // Beginning may let go of slots the journal then holds: the slot is looked up again.
    return transaction.begin(error) ? find(index, error) : nullptr;
}

bool Transaction::write(int index, const QByteArray &bytes, const QByteArray &tail, QString *error)
{
    Private::Slot *slot = d->toChange(*this, index, error);
    if (!slot)
        return false;
    Private::Slot &s = *slot;
    if (!d->keepAside(s, error))
        return false;
    const int n = ++g_writes;
    if (g_failWrite > 0 && n == g_failWrite)
        return fail(error, QStringLiteral("a failure made on purpose"));
    const QString written = d->journal ? d->hashOf(bytes, tail) : QString();
    if (d->journal && written.isEmpty())
        return fail(error, QStringLiteral("its bytes could not be named for the install history"));
    // The same bytes again, as when a package is installed once more: the file is read to be
    // sure and left as it is, recorded as written. A new copy would cost a file, a rename and
    // a flush, and the old one freed, for the same bytes. A file whose bytes the store shares
    // by a link gets its own copy as usual.
    if (!written.isEmpty() && written == s.previous && s.t.existed && !s.linked) {
        qint64 size = -1, mtime = 0;
        if (hostfs::holdsExactly(s.t.real, bytes, tail, &size, &mtime)) {
            s.written = written;
            s.writtenSize = size;
            s.writtenMtime = mtime;
            d->changed(index);
            d->sameFolders.insert(QFileInfo(s.t.real).absolutePath());
            return true;
        }
    }
    auto file = std::make_unique<hostfs::AtomicFile>();
    file->setResolved(true);
    // The history recorded the file as absent before this write: a kill leaves nothing behind
    // that the next start does not remove.
    file->setNewInPlace(d->journal && d->op && !s.t.existed);
    if (!file->open(s.t.real, error))
        return false;
    if (d->batched) {
        // The bytes go into the file on the second thread while the next entry is read and
        // hashed here; a failure there is found when the batch is flushed.
        auto done = std::make_shared<Private::Written>();
        done->startEarly = s.t.existed;
        hostfs::AtomicFile *into = file.get();
        d->worker().post(bytes.size() + tail.size(), [into, bytes, tail, done] { done->take(*into, bytes, tail); });
        d->copyToStore(written, bytes, tail);
        d->pending.push_back({index, std::move(file), written, std::move(done)});
        ++d->pendingTargets;
        s.waiting = true;
        return true;
    }
    if (!file->append(bytes, error) || (!tail.isEmpty() && !file->append(tail, error)))
        return false;
    checkpoint();
    qint64 size = -1, mtime = 0;
    if (!file->stamp(&size, &mtime))
        size = -1;
    d->copyToStore(written, bytes, tail);
    if (!file->commit(error))
        return false;
    s.written = written;
    s.writtenSize = size;
    s.writtenMtime = mtime;
    d->changed(index);
    d->paths.created(s.t.host);
    checkpoint();
    return true;
}

bool Transaction::remove(int index, QString *error)
{
    Private::Slot *slot = d->toChange(*this, index, error);
    if (!slot)
        return false;
    Private::Slot &s = *slot;
    if (!isRegularFile(s.t.real))
        return true;
    if (!d->keepAside(s, error))
        return false;
    QFile file(s.t.real);
    if (!file.remove())
        return fail(error, file.errorString());
    s.written.clear();
    d->changed(index);
    checkpoint();
    return true;
}

void Transaction::setBatched(bool batched) { d->batched = batched; }

bool Transaction::flush(QString *error, QString *failedPath) { return d->flushPending(error, failedPath); }

int Transaction::pendingWrites() const { return d->pendingTargets; }

bool Transaction::commit(QString *error, QStringList *notPutBack)
{
    if (d->finished)
        return true;
    QString why, path;
    if (!d->flushPending(&why, &path))
        return putBack(error, QStringLiteral("%1 could not be written (%2)").arg(path, why), notPutBack);
    // Files left as they were, holding the bytes already: on disk past its cache too.
    if (!d->sameFolders.isEmpty() && !hostfs::syncFileSystemsOf(d->sameFolders.values()))
        return putBack(error, QStringLiteral("the files it found already in place could not be flushed to disk"), notPutBack);
    // One flush per folder for all the renames in it, rather than one per file. Until they are
    // on disk the install is not done: the record must not say so.
    for (const QString &folder : std::as_const(d->changedFolders)) {
        if (!hostfs::syncFolder(folder))
            return putBack(error, QStringLiteral("the folder %1 could not be flushed to disk").arg(winpath::fromHost(folder)),
                           notPutBack);
    }
    checkpoint();
    if (d->journal && d->op) {
        d->settle();
        // An operation left open is put back at the next start: better now, and said.
        if (!d->finishRecord(d->undoAvailable ? QStringLiteral("done") : QStringLiteral("no undo"), &why))
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
    if (d->fileWorker)
        d->fileWorker->wait();
    d->pending.clear(); // copies never renamed into place: removed, their targets untouched
    d->pendingTargets = 0;
    for (auto &[index, s] : d->live)
        s.waiting = false;
    for (auto it = d->order.crbegin(); it != d->order.crend(); ++it) {
        QString why;
        Private::Slot *held = d->find(*it, &why);
        if (!held) {
            failures << QStringLiteral("file %1 of this install (%2)").arg(*it + 1).arg(why);
            continue;
        }
        Private::Slot &s = *held;
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
            s.saved = false;
        } else {
            failures << QStringLiteral("%1 (%2)").arg(s.t.path, why);
        }
    }
    for (const QString &folder : std::as_const(d->changedFolders)) {
        if (!hostfs::syncFolder(folder))
            failures << QStringLiteral("%1 (put back, but the folder could not be flushed to disk)")
                            .arg(winpath::fromHost(folder));
    }
    // The store's copies of what was written go with the install, unless a file's earlier bytes
    // are the same and stay kept under that name.
    if (d->journal && !d->storeCreated.isEmpty()) {
        QSet<QString> needed = d->op && d->recorded > 0 ? d->journal->keptBy(d->op) : QSet<QString>();
        for (const auto &[index, s] : d->live) {
            if (s.kept)
                needed.insert(s.previous);
        }
        for (qsizetype at = 0; at + 32 <= d->storeCreated.size(); at += 32) {
            const QString hash = QString::fromLatin1(d->storeCreated.mid(at, 32).toHex());
            if (!needed.contains(hash)) {
                QFile::remove(d->journal->objectPath(hash));
                d->journal->unstored(hash);
            }
        }
        d->storeCreated.clear();
    }
    d->order.clear();
    d->release();
    if (d->journal && d->op) {
        d->settle();
        // Files that could not be put back stay recorded as changed, so an undo still sees them.
        // Left open, the record is checked again at the next start, which finds the files as
        // they were and closes it.
        QString why;
        if (!d->finishRecord(failures.isEmpty() ? QStringLiteral("rolled back") : QStringLiteral("done"), &why))
            std::fprintf(stderr, "veldrin: the install history could not record the roll back (%s)\n", qPrintable(why));
    }
    return failures;
}

void Transaction::settleMarginForTesting(int ms) { g_settleMs = ms; }
void Transaction::failWriteForTesting(int n)
{
    g_failWrite = n > 0 ? g_writes + n : 0;
}

} // namespace install
