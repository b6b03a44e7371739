#include "install/AddOns.h"
#include "install/AddOnsPrivate.h"

#include "install/HistoryFolder.h"
#include "install/WriterLock.h"

#include <QFileInfo>

namespace history {

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
