#include "install/InstallTransaction.h"
#include "install/TransactionPrivate.h"
#include "platform/Fail.h"

#include "install/AddOnLayers.h"

#include <QFile>
#include <atomic>
#include <cstdio>

// Keeping originals aside: in the history's store for good and journalled before the first
// write, or without a history in memory (or a private folder) until the operation ends.

namespace install {

namespace {

std::atomic<bool> g_failKeep{false};

using failure::fail;

} // namespace

// Keeps the bytes of every slot not yet prepared and records them, in one commit. When an
// original cannot be kept (the store is full or cannot be written), nothing is recorded and
// `stopped` says why, unless the player chose to go on without undo.
void Transaction::Private::prepare()
{
    const int from = preparedCount;
    bool stored = false;
    stopped.clear();
    for (int i = from; i < count; ++i) {
        Slot &s = slot(i);
        s.t.existed = isRegularFile(s.t.real);
        if (journal && s.t.existed) {
            QString why;
            // Bytes this history wrote itself and nobody changed since need not be read again:
            // the file still shows the size and time it was left with. Asking the journal is
            // quicker than reading even a small file.
            qint64 size = -1, mtime = 0;
            s.previous.clear();
            if (hostfs::fileStamp(s.t.real, &size, &mtime))
                s.previous = journal->writtenHash(s.t.real, size, mtime);
            s.trusted = !s.previous.isEmpty();
            if (!s.trusted)
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
    }
    if (!journal || from == count) {
        preparedCount = count;
        return;
    }
    if (stored && !journal->syncObjects() && stopped.isEmpty()) {
        undoAvailable = false;
        stopped = QStringLiteral("the kept originals could not be flushed to disk");
    }
    if (!stopped.isEmpty() && !withoutUndo)
        return; // tried again, from the same slot, if the player goes on without undo
    stopped.clear();
    preparedCount = count;
    checkpoint();
    QString why;
    if (!keepHandEdits(from, &why) && !withoutUndo) {
        stopped = QStringLiteral("the install history could not record the files changed by hand (%1)").arg(why);
        return;
    }
    if (!journal->record(&op, route, source, undoes, count - from,
                         [this, from](qsizetype i) { return row(slot(from + int(i))); }, &why)) {
        undoAvailable = false;
        // Slots let go are in the journal only: it stays, with what it holds of this install.
        if (!letGo) {
            journal.reset();
            op = 0;
        }
        if (!withoutUndo) {
            stopped = QStringLiteral("the install history could not record this install (%1)").arg(why);
            return;
        }
    } else {
        // Not yet written: their rows say all there is to say of them.
        for (int i = from; i < count; ++i)
            slot(i).saved = true;
        recorded = count;
    }
    checkpoint();
    trim();
}

// A file an enabled add-on wrote that was changed since outside Veldrin (by hand, or by the
// game) keeps that change as a layer of its own, under this install: taking the install out
// later brings the change back rather than the older add-on's bytes. Its bytes are in the
// store already, kept as this install's bytes before. The player asked for the install, so
// it goes on top and nothing needs asking.
bool Transaction::Private::keepHandEdits(int from, QString *why)
{
    if (!journal || !history::isAddOnRoute(route) || route == QLatin1String("by hand"))
        return true;
    // Asked once, before this install's own record: a first install has nothing of the
    // history's that could have been changed.
    if (!nothingEarlier)
        nothingEarlier = journal->isEmpty();
    if (*nothingEarlier)
        return true;
    QList<history::FileRow> now;
    for (int i = from; i < count; ++i) {
        // A file that still holds what the history last wrote there was not changed by hand.
        const Slot &s = slot(i);
        if ((!s.t.existed || s.kept) && !s.trusted)
            now << row(s);
    }
    if (now.isEmpty())
        return true;
    // The history as it was before this install, as far as this lot's places go: a history
    // of many large installs is never held whole. The install's own records (itself, and the
    // edits kept under it) are no layers beneath it.
    if (!earlierDamage)
        earlierDamage = journal->damagedFiles();
    QStringList places;
    for (const history::FileRow &r : std::as_const(now))
        places << r.host;
    QList<history::OperationRow> earlier;
    for (history::OperationRow &o : journal->operationsTouching(places, *earlierDamage)) {
        if (o.id != op && o.id != handOp && o.id != orderOp)
            earlier << std::move(o);
    }
    QList<history::FileRow> edited = history::changedByHand(earlier, now);
    if (edited.isEmpty())
        return true;
    for (history::FileRow &r : edited) {
        r.kept = r.existed && journal->hasObject(r.previous);
        r.seq += handRows;
    }
    // One record of edits for the whole install, however many lots found some.
    if (!journal->record(&handOp, QStringLiteral("by hand"), QStringLiteral("changed by hand"), {}, edited, why)
        || !journal->finish(handOp, QStringLiteral("done"), edited, why))
        return false;
    handRows += int(edited.size());
    checkpoint(); // a kill here leaves the edit kept as a layer, and no install
    if (op == 0 || handOp < op || orderOp != 0)
        return true; // this install's own record follows or lies above it, or was moved above it already
    // Files added to an install already recorded: the install is moved above the edit.
    return journal->record(&orderOp, QStringLiteral("order"), QString::number(op), {op, handOp}, {}, why)
        && journal->finish(orderOp, QStringLiteral("done"), {}, why);
}

// Without the store, the bytes a file held are kept in memory, or beyond a limit in a
// private temporary folder, until the operation ends.
bool Transaction::Private::keepAside(Slot &s, QString *error)
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
    s.spill = spillDir->filePath(QString::number(s.index));
    QFile spill(s.spill);
    if (!spillDir->isValid() || !spill.open(QIODevice::WriteOnly) || spill.write(old) != old.size()) {
        s.memoryTaken = false;
        return fail(error, QStringLiteral("its present content cannot be kept aside: %1").arg(spill.errorString()));
    }
    return true;
}

std::optional<QByteArray> Transaction::Private::before(const Slot &s, QString *error)
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
        QString notice;
        d->journal = history::Journal::open(d->programFolder, &problem, &notice);
        history::tellRecovered(notice);
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

std::optional<QByteArray> Transaction::previous(int index)
{
    Private::Slot *held = d->find(index);
    if (!held)
        return std::nullopt;
    Private::Slot &s = *held;
    if (!s.touched) {
        QFile file(s.t.real);
        if (QFileInfo(s.t.real).isDir() || !file.open(QIODevice::ReadOnly))
            return std::nullopt;
        return file.readAll();
    }
    return d->before(s, nullptr);
}

void Transaction::failKeepForTesting(bool on) { g_failKeep = on; }

} // namespace install
