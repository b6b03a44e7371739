#include "install/AddOns.h"
#include "install/AddOnsPrivate.h"

#include "install/HistoryFolder.h"
#include "install/InstallTransaction.h"
#include "install/ShortList.h"
#include "install/WriterLock.h"

#include <QFileInfo>

// Changing the layers: the new state worked out, the files whose top changes rewritten in one
// transaction, and the change recorded as an operation of its own.

namespace history {

AddOnOutcome refuse(const QString &message)
{
    AddOnOutcome outcome;
    outcome.result = AddOnOutcome::Refused;
    outcome.message = message;
    return outcome;
}

Model AddOns::Private::load()
{
    rows = journal->operations(true);
    return Model(rows);
}

// Records an operation that writes no file.
bool AddOns::Private::note(const QString &route, const QString &source, const QList<qint64> &subjects, qint64 *id, QString *why,
                             const QList<FileRow> &files)
{
    *id = 0;
    return journal->record(id, route, source, subjects, files, why)
        && journal->finish(*id, QStringLiteral("done"), files, why);
}

AddOnOutcome AddOns::Private::change(const QString &route, const QString &source, HandEdits handEdits, const Mutation &mutate)
{
    const bool everyFile = route == QLatin1String("restore originals");
    if (!journal)
        return refuse(problem);
    // From reading the layers to closing the change's own record: nothing else writes.
    const WriterLock lock(programFolder, WriterLock::Wait);
    recoverAfterTaking(lock, programFolder, gameFolder);
    QSet<QString> handled;
    QList<qint64> hands;
    for (;;) {
        const Model now = load();
        Model next = now;
        QList<qint64> subjects;
        QString why;
        if (!mutate(next, &subjects, &why))
            return refuse(why);
        if (handEdits == HandEdits::KeepOnTop) {
            for (const qint64 id : std::as_const(hands))
                next.toTop(id);
        }
        struct Write { QString path, host; Bytes bytes; };
        QList<Write> writes;
        QList<FileRow> edited;
        QStringList editedPaths, lost;
        QStringList skipped;
        for (const QString &host : now.hosts) {
            const Model::Top was = now.top(host), will = next.top(host);
            // Restoring the originals also looks at files whose top stays the original:
            // the game may have changed them since.
            if (was.known && will.known && was.bytes == will.bytes && !everyFile)
                continue;
            const Bytes disk = present(host);
            const QString path = now.paths.value(host);
            if (was.known && disk != was.bytes && !handled.contains(host)) {
                FileRow row;
                row.seq = int(edited.size());
                row.path = path;
                row.host = host;
                row.existed = was.bytes.has_value();
                row.previous = was.bytes.value_or(QString());
                row.kept = row.existed && QFileInfo::exists(journal->objectPath(row.previous));
                row.written = disk.value_or(QString());
                row.touched = true;
                edited << row;
                editedPaths << path;
            }
            if (disk == will.bytes && will.known)
                continue;
            if (!will.known && everyFile) {
                skipped << path;
                continue;
            }
            if (!will.known || (will.bytes && !journal->object(*will.bytes, nullptr)))
                lost << path;
            writes.append({path, host, will.bytes});
        }
        // A record that names a place outside the game and program folders, or inside the
        // history itself, is never written to: judged before anything there is read.
        {
            install::Transaction judge(route, QString(), gameFolder, programFolder);
            QStringList refused;
            for (const Write &w : std::as_const(writes)) {
                const int slot = judge.addRecorded(w.path, w.host);
                if (judge.target(slot).outside || judge.target(slot).history)
                    refused << judge.shown(slot);
            }
            if (!refused.isEmpty())
                return refuse(QStringLiteral("Nothing was changed: the history names files outside the game and "
                                             "program folders, or inside the history itself, where Veldrin does not "
                                             "write: %1")
                                  .arg(shortList(refused)));
        }
        if (!edited.isEmpty()) {
            if (handEdits == HandEdits::Ask) {
                AddOnOutcome outcome;
                outcome.result = AddOnOutcome::NeedsChoice;
                outcome.handEdited = editedPaths;
                return outcome;
            }
            // The player's bytes go into the store before anything touches the file.
            for (const FileRow &row : std::as_const(edited)) {
                if (!row.written.isEmpty() && !journal->keepCopy(row.host, row.written, &why))
                    return failed(QStringLiteral("Nothing was changed: %1 was changed by hand and could not be kept (%2).")
                                      .arg(row.path, why));
                handled.insert(row.host);
            }
            if (!journal->syncObjects())
                return failed(QStringLiteral("Nothing was changed: the files changed by hand could not be kept safely."));
            qint64 hand = 0, off = 0;
            if (!note(QStringLiteral("by hand"), QStringLiteral("changed by hand"), {}, &hand, &why, edited)
                || (handEdits == HandEdits::Overwrite && !note(QStringLiteral("take out"), QStringLiteral("Changed by hand"), {hand}, &off, &why)))
                return failed(QStringLiteral("Nothing was changed: the history could not record the files changed by hand (%1).").arg(why));
            hands << hand;
            continue; // again, with the edits as a layer of their own
        }
        if (!lost.isEmpty())
            return refuse(QStringLiteral("Nothing was changed: the kept copies of these files are missing or do not match "
                                         "the history, so they cannot be written: %1")
                              .arg(shortList(lost)));
        // Files changed by hand are looked at even when every add-on is out already.
        if (everyFile && subjects.isEmpty() && writes.isEmpty() && hands.isEmpty())
            return refuse(QStringLiteral("Every add-on is out already: the game holds its originals."));
        if (handEdits == HandEdits::KeepOnTop && route != QLatin1String("take out") && route != QLatin1String("restore originals"))
            subjects << hands;
        AddOnOutcome outcome = write(route, source, subjects, writes.size(), [&](install::Transaction &t, QString *error) {
            for (const Write &w : std::as_const(writes)) {
                const int slot = t.addRecorded(w.path, w.host);
                std::optional<QByteArray> bytes;
                if (w.bytes && !(bytes = journal->object(*w.bytes, error)))
                    return false;
                if (!(w.bytes ? t.write(slot, *bytes, QByteArray(), error) : t.remove(slot, error))) {
                    *error = QStringLiteral("%1 (%2)").arg(w.path, *error);
                    return false;
                }
            }
            return true;
        });
        if (outcome.result == AddOnOutcome::Done && !skipped.isEmpty())
            outcome.message = QStringLiteral("These files could not be restored, as what they held before Veldrin first "
                                             "changed them was not kept: %1")
                                  .arg(skipped.join(QLatin1String(", ")));
        return outcome;
    }
}

AddOnOutcome AddOns::Private::failed(const QString &message)
{
    AddOnOutcome outcome;
    outcome.result = AddOnOutcome::Failed;
    outcome.message = message;
    return outcome;
}

AddOnOutcome AddOns::Private::write(const QString &route, const QString &source, const QList<qint64> &subjects, qsizetype count,
                                     const std::function<bool(install::Transaction &, QString *)> &steps)
{
    AddOnOutcome outcome;
    QString why;
    if (count == 0) {
        if (!note(route, source, subjects, &outcome.operation, &why))
            return failed(QStringLiteral("Nothing was changed: the history could not record it (%1).").arg(why));
        outcome.result = AddOnOutcome::Done;
        return outcome;
    }
    install::Transaction transaction(route, source, gameFolder, programFolder);
    transaction.setUndoes(subjects);
    if (!steps(transaction, &why) || !transaction.historyKept()) {
        if (why.isEmpty())
            why = QStringLiteral("the history could not record it");
        const QStringList left = transaction.rollBack();
        outcome = failed(QStringLiteral("Nothing was changed: %1.").arg(why));
        if (!left.isEmpty())
            outcome.message += QStringLiteral(" These files could not be returned to how they were: %1")
                                   .arg(shortList(left, QStringLiteral("; ")));
        return outcome;
    }
    QStringList notPutBack;
    if (!transaction.commit(&why, &notPutBack)) {
        outcome = failed(QStringLiteral("Nothing was changed: %1.").arg(why));
        if (!notPutBack.isEmpty())
            outcome.message += QStringLiteral(" These files could not be returned to how they were: %1")
                                   .arg(shortList(notPutBack, QStringLiteral("; ")));
        return outcome;
    }
    const auto done = journal->operation(transaction.operationId());
    if (!done || !counts(*done))
        return failed(QStringLiteral("Nothing was changed: the files could not all be written and were put back."));
    outcome.result = AddOnOutcome::Done;
    outcome.operation = done->id;
    outcome.written = int(count);
    return outcome;
}

} // namespace history
