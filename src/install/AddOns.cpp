#include "install/AddOns.h"

#include "install/HistoryJournal.h"
#include "install/InstallHistory.h"
#include "install/InstallTransaction.h"
#include "install/ShortList.h"
#include "install/WriterLock.h"

#include <QFileInfo>
#include <QHash>
#include <functional>
#include <optional>

namespace history {

namespace {

using Bytes = std::optional<QString>; // a hash, or no file at all

Bytes present(const QString &host)
{
    const QFileInfo info(host);
    if (!info.exists() || info.isDir())
        return std::nullopt;
    return sha256File(host);
}

bool counts(const OperationRow &row)
{
    return row.damage.isEmpty() && (row.state == QLatin1String("done") || row.state == QLatin1String("no undo"));
}

QString bareName(const QString &path)
{
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')));
    return path.mid(cut + 1);
}

QString defaultName(const OperationRow &row)
{
    if (row.route == QLatin1String("by hand"))
        return QStringLiteral("Changed by hand");
    if (row.route == QLatin1String("package") || row.route == QLatin1String("file") || row.route == QLatin1String("archive"))
        return bareName(row.source);
    QString first;
    for (const FileRow &f : row.files) {
        if (f.touched) {
            first = bareName(f.path);
            break;
        }
    }
    QString kind = row.route;
    if (!kind.isEmpty())
        kind[0] = kind[0].toUpper();
    return first.isEmpty() ? kind : kind + QLatin1Char(' ') + first;
}

// Old journals undid operations by `undo` and `restore all` records, which could themselves be
// undone: an operation is out while an undo of it stands that is not itself undone.
QSet<qint64> oldUndone(const QList<OperationRow> &rows)
{
    QSet<qint64> undone;
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        if (!counts(*it) || undone.contains(it->id)
            || (it->route != QLatin1String("undo") && it->route != QLatin1String("restore all")))
            continue;
        for (const qint64 id : it->undoes) {
            if (id < it->id)
                undone.insert(id);
        }
    }
    return undone;
}

// The layers, replayed from the journal: every finished operation in the order it was made.
struct Model
{
    QList<qint64> order;                          // add-ons, bottom first
    QSet<qint64> out;
    QHash<qint64, QString> names;
    QHash<qint64, const OperationRow *> rowOf;
    QHash<qint64, QHash<QString, Bytes>> writes;  // add-on -> host -> what its layer holds
    QStringList hosts;                            // every game file an add-on wrote, first seen first
    QHash<QString, QString> paths;
    QHash<QString, Bytes> original;
    QSet<QString> originalLost;                   // what the file held first was not kept

    struct Top
    {
        qint64 layer = 0;                         // 0: the original
        Bytes bytes;
        bool known = true;
    };

    explicit Model(const QList<OperationRow> &rows)
    {
        const QSet<qint64> undone = oldUndone(rows);
        for (const OperationRow &row : rows) {
            if (!counts(row))
                continue;
            const QList<qint64> &ids = row.undoes;
            if (isAddOnRoute(row.route)) {
                order << row.id;
                rowOf.insert(row.id, &row);
                names.insert(row.id, defaultName(row));
                if (undone.contains(row.id))
                    out.insert(row.id);
                auto &layer = writes[row.id];
                for (const FileRow &f : row.files) {
                    if (!f.touched)
                        continue;
                    layer.insert(f.host, f.written.isEmpty() ? Bytes() : Bytes(f.written));
                    if (paths.contains(f.host))
                        continue;
                    hosts << f.host;
                    paths.insert(f.host, f.path);
                    original.insert(f.host, f.existed ? Bytes(f.previous) : Bytes());
                    if (f.existed && !f.kept)
                        originalLost.insert(f.host);
                }
            } else if (row.route == QLatin1String("take out") || row.route == QLatin1String("restore originals")) {
                for (const qint64 id : ids)
                    out.insert(id);
            } else if (row.route == QLatin1String("put back")) {
                for (const qint64 id : ids) {
                    out.remove(id);
                    toTop(id);
                }
            } else if (row.route == QLatin1String("order") && ids.size() >= 2) {
                placeAbove(ids.at(0), ids.at(1));
                for (qsizetype i = 2; i < ids.size(); ++i)
                    toTop(ids.at(i));
            } else if (row.route == QLatin1String("rename") && !ids.isEmpty() && names.contains(ids.first())) {
                names.insert(ids.first(), row.source);
            }
        }
    }

    bool has(qint64 id) const { return rowOf.contains(id); }
    void toTop(qint64 id)
    {
        if (order.removeOne(id))
            order << id;
    }
    void placeAbove(qint64 id, qint64 other)
    {
        if (id == other || !order.removeOne(id))
            return;
        order.insert(order.indexOf(other) + 1, id);
    }
    Top top(const QString &host) const
    {
        for (auto it = order.crbegin(); it != order.crend(); ++it) {
            if (out.contains(*it))
                continue;
            const auto &layer = writes.value(*it);
            const auto found = layer.constFind(host);
            if (found != layer.constEnd())
                return {*it, *found, true};
        }
        return {0, original.value(host), !originalLost.contains(host)};
    }
    // The enabled add-ons writing host, bottom first.
    QList<qint64> stack(const QString &host) const
    {
        QList<qint64> ids;
        for (const qint64 id : order) {
            if (!out.contains(id) && writes.value(id).contains(host))
                ids << id;
        }
        return ids;
    }
};

AddOnOutcome refuse(const QString &message)
{
    AddOnOutcome outcome;
    outcome.result = AddOnOutcome::Refused;
    outcome.message = message;
    return outcome;
}

// A Mutation changes the layers and names the add-ons the operation records; false refuses.
using Mutation = std::function<bool(Model &next, QList<qint64> *subjects, QString *why)>;

} // namespace

bool isAddOnRoute(const QString &route)
{
    static const QStringList routes{QStringLiteral("map"),  QStringLiteral("landscape"), QStringLiteral("skin"),
                                    QStringLiteral("tattoo"), QStringLiteral("file"),    QStringLiteral("package"),
                                    QStringLiteral("archive"),
                                    QStringLiteral("by hand")};
    return routes.contains(route);
}

QSet<qint64> takenOut(const QList<OperationRow> &rows) { return Model(rows).out; }

QList<FileRow> changedByHand(const QList<OperationRow> &rows, const QList<FileRow> &now)
{
    const Model model(rows);
    QList<FileRow> edited;
    for (const FileRow &f : now) {
        if (!model.paths.contains(f.host))
            continue;
        const Model::Top top = model.top(f.host);
        const Bytes disk = f.existed ? Bytes(f.previous) : Bytes();
        if (!top.known || disk == top.bytes)
            continue;
        FileRow row;
        row.seq = int(edited.size());
        row.path = f.path;
        row.host = f.host;
        row.existed = top.bytes.has_value();
        row.previous = top.bytes.value_or(QString());
        row.written = disk.value_or(QString());
        row.touched = true;
        edited << row;
    }
    return edited;
}

QString describe(const OperationRow &row, const QList<OperationRow> &rows)
{
    const Model model(rows);
    QStringList named;
    for (const qint64 id : row.undoes)
        named << (model.has(id) ? QStringLiteral("\"%1\"").arg(defaultName(*model.rowOf.value(id))) : QString::number(id));
    const QString list = named.join(QLatin1String(", "));
    const QString name = defaultName(row);
    if (row.route == QLatin1String("map"))
        return QStringLiteral("%1 from the map window").arg(name);
    if (row.route == QLatin1String("landscape") || row.route == QLatin1String("skin"))
        return QStringLiteral("%1 from the skin and landscape window").arg(name);
    if (row.route == QLatin1String("tattoo"))
        return QStringLiteral("%1 from the tattoo window").arg(name);
    if (row.route == QLatin1String("file"))
        return QStringLiteral("File %1 from the installer").arg(name);
    if (row.route == QLatin1String("package"))
        return QStringLiteral("Package %1").arg(name);
    if (row.route == QLatin1String("archive"))
        return QStringLiteral("Archive %1").arg(name);
    if (row.route == QLatin1String("by hand"))
        return QStringLiteral("Kept files changed by hand");
    if (row.route == QLatin1String("take out") || row.route == QLatin1String("undo"))
        return QStringLiteral("Took out %1").arg(list);
    if (row.route == QLatin1String("put back"))
        return QStringLiteral("Put back %1").arg(list);
    if (row.route == QLatin1String("order"))
        return named.size() >= 2 ? QStringLiteral("Moved %1 above %2").arg(named.at(0), named.at(1)) : QStringLiteral("Moved");
    if (row.route == QLatin1String("rename"))
        return QStringLiteral("Renamed %1 to \"%2\"").arg(list, row.source);
    if (row.route == QLatin1String("restore originals") || row.route == QLatin1String("restore all"))
        return QStringLiteral("Restored all originals");
    return row.route;
}

struct AddOns::Private
{
    QString programFolder;
    QString gameFolder;
    std::unique_ptr<Journal> journal;
    QString problem;
    QList<OperationRow> rows; // what the last model was built from; the model points into it

    Model load()
    {
        rows = journal->operations(true);
        return Model(rows);
    }

    // Records an operation that writes no file.
    bool note(const QString &route, const QString &source, const QList<qint64> &subjects, qint64 *id, QString *why,
              const QList<FileRow> &files = {})
    {
        *id = 0;
        return journal->record(id, route, source, subjects, files, why)
            && journal->finish(*id, QStringLiteral("done"), files, why);
    }

    AddOnOutcome change(const QString &route, const QString &source, HandEdits handEdits, const Mutation &mutate)
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

    static AddOnOutcome failed(const QString &message)
    {
        AddOnOutcome outcome;
        outcome.result = AddOnOutcome::Failed;
        outcome.message = message;
        return outcome;
    }

    AddOnOutcome write(const QString &route, const QString &source, const QList<qint64> &subjects, qsizetype count,
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
};

AddOns::AddOns(const QString &programFolder, const QString &gameFolder) : d(std::make_unique<Private>())
{
    d->programFolder = programFolder;
    d->gameFolder = gameFolder;
    if (!isKept(programFolder)) {
        d->problem = QStringLiteral("This program folder keeps no install history (there is no %1).").arg(folderOf(programFolder));
        return;
    }
    d->journal = Journal::open(programFolder, &d->problem);
}

AddOns::~AddOns() = default;
bool AddOns::available() const { return d->journal != nullptr; }
QString AddOns::problem() const { return d->problem; }

QList<AddOn> AddOns::list()
{
    QList<AddOn> list;
    if (!d->journal)
        return list;
    const Model m = d->load();
    for (auto it = m.order.crbegin(); it != m.order.crend(); ++it) {
        const OperationRow &row = *m.rowOf.value(*it);
        AddOn a;
        a.id = row.id;
        a.name = m.names.value(row.id);
        a.kind = row.route;
        a.time = row.began.toLocalTime();
        a.enabled = !m.out.contains(row.id);
        const auto &layer = m.writes.value(row.id);
        a.fileCount = int(layer.size());
        for (auto f = layer.constBegin(); f != layer.constEnd(); ++f) {
            if (a.enabled && m.stack(f.key()).size() > 1)
                ++a.conflicts;
            if (*f && !QFileInfo::exists(d->journal->objectPath(**f)))
                a.canPutBack = false;
        }
        list.append(a);
    }
    return list;
}

QList<AddOnFile> AddOns::files(qint64 id)
{
    QList<AddOnFile> list;
    if (!d->journal)
        return list;
    const Model m = d->load();
    if (!m.has(id))
        return list;
    for (const FileRow &row : m.rowOf.value(id)->files) {
        if (!row.touched)
            continue;
        AddOnFile f;
        f.path = row.path;
        f.host = row.host;
        f.removes = row.written.isEmpty();
        const Model::Top top = m.top(row.host);
        f.layer = m.out.contains(id) ? AddOnFile::Out : top.layer == id ? AddOnFile::OnTop : AddOnFile::Covered;
        if (f.layer == AddOnFile::Covered)
            f.coveredBy = m.names.value(top.layer);
        f.changedByHand = top.known && present(row.host) != top.bytes;
        list.append(f);
    }
    return list;
}

QList<Conflict> AddOns::conflicts()
{
    QList<Conflict> list;
    if (!d->journal)
        return list;
    const Model m = d->load();
    for (const QString &host : m.hosts) {
        const QList<qint64> stack = m.stack(host);
        if (stack.size() > 1)
            list.append({m.paths.value(host), stack});
    }
    return list;
}

namespace {

QString unknown(qint64 id) { return QStringLiteral("There is no add-on %1.").arg(id); }

} // namespace

AddOnOutcome AddOns::takeOut(qint64 id, HandEdits handEdits)
{
    return d->change(QStringLiteral("take out"), QString::number(id), handEdits, [id](Model &m, QList<qint64> *subjects, QString *why) {
        if (!m.has(id))
            return (*why = unknown(id), false);
        if (m.out.contains(id))
            return (*why = QStringLiteral("Add-on %1 is out already.").arg(id), false);
        m.out.insert(id);
        *subjects = {id};
        return true;
    });
}

AddOnOutcome AddOns::putBack(qint64 id, HandEdits handEdits)
{
    return d->change(QStringLiteral("put back"), QString::number(id), handEdits, [id](Model &m, QList<qint64> *subjects, QString *why) {
        if (!m.has(id))
            return (*why = unknown(id), false);
        if (!m.out.contains(id))
            return (*why = QStringLiteral("Add-on %1 is in already.").arg(id), false);
        m.out.remove(id);
        m.toTop(id);
        *subjects = {id};
        return true;
    });
}

AddOnOutcome AddOns::moveAbove(qint64 id, qint64 other, HandEdits handEdits)
{
    return d->change(QStringLiteral("order"), QString::number(id), handEdits, [id, other](Model &m, QList<qint64> *subjects, QString *why) {
        if (!m.has(id) || !m.has(other))
            return (*why = unknown(m.has(id) ? other : id), false);
        if (id == other)
            return (*why = QStringLiteral("An add-on cannot be placed above itself."), false);
        m.placeAbove(id, other);
        *subjects = {id, other};
        return true;
    });
}

AddOnOutcome AddOns::rename(qint64 id, const QString &name)
{
    if (!d->journal)
        return refuse(d->problem);
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return refuse(QStringLiteral("An add-on needs a name."));
    const WriterLock lock(d->programFolder, WriterLock::Wait);
    recoverAfterTaking(lock, d->programFolder, d->gameFolder);
    if (!d->load().has(id))
        return refuse(unknown(id));
    AddOnOutcome outcome;
    QString why;
    if (!d->note(QStringLiteral("rename"), trimmed, {id}, &outcome.operation, &why))
        return Private::failed(QStringLiteral("The name could not be recorded (%1).").arg(why));
    outcome.result = AddOnOutcome::Done;
    return outcome;
}

AddOnOutcome AddOns::restoreAllOriginals(HandEdits handEdits)
{
    return d->change(QStringLiteral("restore originals"), QStringLiteral("every add-on"), handEdits,
                     [handEdits](Model &m, QList<qint64> *subjects, QString *) {
                         for (const qint64 id : m.order) {
                             const bool keptEdit = handEdits == HandEdits::KeepOnTop && m.rowOf.value(id)->route == QLatin1String("by hand");
                             if (!m.out.contains(id) && !keptEdit)
                                 *subjects << id;
                         }
                         for (const qint64 id : std::as_const(*subjects))
                             m.out.insert(id);
                         return true;
                     });
}

AddOnOutcome AddOns::undo(qint64 id, HandEdits handEdits)
{
    if (!d->journal)
        return refuse(d->problem);
    d->load();
    const auto found = std::find_if(d->rows.cbegin(), d->rows.cend(), [id](const OperationRow &r) { return r.id == id; });
    if (found == d->rows.cend())
        return refuse(QStringLiteral("There is no install %1 in the history.").arg(id));
    if (!found->damage.isEmpty())
        return refuse(QStringLiteral("Install %1 cannot be undone: its record is damaged (%2).").arg(id).arg(found->damage));
    if (!counts(*found))
        return refuse(QStringLiteral("Install %1 did not finish; there is nothing to undo.").arg(id));
    if (isAddOnRoute(found->route))
        return takeOut(id, handEdits);
    static const QStringList takers{QStringLiteral("take out"), QStringLiteral("restore originals"), QStringLiteral("undo"),
                                    QStringLiteral("restore all")};
    if (!takers.contains(found->route))
        return refuse(QStringLiteral("Operation %1 cannot be undone.").arg(id));
    const QList<qint64> back = found->undoes;
    return d->change(QStringLiteral("put back"), QString::number(id), handEdits, [back](Model &m, QList<qint64> *subjects, QString *why) {
        for (const qint64 id : back) {
            if (m.has(id) && m.out.contains(id)) {
                m.out.remove(id);
                m.toTop(id);
                *subjects << id;
            }
        }
        return subjects->isEmpty() ? (*why = QStringLiteral("What it took out is in already."), false) : true;
    });
}

} // namespace history
