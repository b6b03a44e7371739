#include "install/InstallHistory.h"

#include "install/AddOnLayers.h"
#include "install/AddOns.h"
#include "install/HistoryFolder.h"
#include "install/HistoryJournal.h"

#include <QSet>
#include <optional>

namespace history {

namespace {

// What the operation left in the file: what it wrote, nothing if it removed it, and for a
// file it never changed, what was there before.
std::optional<QString> leftBy(const FileRow &row)
{
    if (row.touched)
        return row.written.isEmpty() ? std::nullopt : std::optional<QString>(row.written);
    return row.existed ? std::optional<QString>(row.previous) : std::nullopt;
}

State stateOf(const OperationRow &op, const QSet<qint64> &undone)
{
    if (!op.damage.isEmpty())
        return State::Damaged;
    if (op.state == QLatin1String("open"))
        return State::Unfinished;
    if (op.state == QLatin1String("rolled back"))
        return State::RolledBack;
    if (undone.contains(op.id))
        return State::Undone;
    return op.state == QLatin1String("no undo") ? State::NoUndo : State::Done;
}

// The old interface speaks of undo; the add-on layers do the work, so both agree.
UndoOutcome fromAddOns(const AddOnOutcome &done)
{
    UndoOutcome outcome;
    switch (done.result) {
    case AddOnOutcome::Done: outcome.result = UndoOutcome::Done; break;
    case AddOnOutcome::NeedsChoice: outcome.result = UndoOutcome::NeedsConfirmation; break;
    case AddOnOutcome::Refused: outcome.result = UndoOutcome::Refused; break;
    case AddOnOutcome::Failed: outcome.result = UndoOutcome::Failed; break;
    }
    outcome.changed = done.handEdited;
    outcome.message = done.message;
    outcome.operation = done.operation;
    return outcome;
}

} // namespace

QString stateText(State state)
{
    switch (state) {
    case State::Unfinished: return QStringLiteral("unfinished");
    case State::Done: return QStringLiteral("done");
    case State::RolledBack: return QStringLiteral("rolled back");
    case State::Undone: return QStringLiteral("undone");
    case State::NoUndo: return QStringLiteral("undo not available");
    case State::Damaged: return QStringLiteral("damaged");
    }
    return {};
}

struct History::Private
{
    QString programFolder;
    QString gameFolder;
    std::unique_ptr<Journal> journal;
    QString problem;
};

History::History(const QString &programFolder, const QString &gameFolder) : d(std::make_unique<Private>())
{
    d->programFolder = programFolder;
    d->gameFolder = gameFolder;
    if (!isKept(programFolder)) {
        d->problem = QStringLiteral("This program folder keeps no install history (there is no %1).")
                         .arg(folderOf(programFolder));
        return;
    }
    QString notice;
    d->journal = Journal::open(programFolder, &d->problem, &notice);
}

History::~History() = default;
bool History::available() const { return d->journal != nullptr; }
QString History::problem() const { return d->problem; }

QList<Operation> History::operations()
{
    QList<Operation> list;
    if (!d->journal)
        return list;
    const QList<OperationRow> rows = d->journal->operations(true);
    const QSet<qint64> undone = takenOut(rows);
    for (auto it = rows.crbegin(); it != rows.crend(); ++it) {
        Operation op;
        op.id = it->id;
        op.time = it->began.toLocalTime();
        op.route = it->route;
        op.source = it->source;
        op.description = it->damage.isEmpty() ? describe(*it, rows) : it->source;
        op.fileCount = int(it->files.size());
        op.state = stateOf(*it, undone);
        op.problem = it->damage;
        list.append(op);
    }
    return list;
}

QList<FileChange> History::files(qint64 id)
{
    QList<FileChange> list;
    const auto op = d->journal ? d->journal->operation(id) : std::nullopt;
    if (!op)
        return list;
    for (const FileRow &row : op->files) {
        FileChange f;
        f.path = row.path;
        f.hostPath = row.host;
        f.created = !row.existed;
        f.removed = row.touched && row.written.isEmpty();
        f.previousHash = row.previous;
        f.writtenHash = row.written;
        f.changedSince = op->damage.isEmpty() && present(row.host) != leftBy(row);
        list.append(f);
    }
    return list;
}

UndoOutcome History::undo(qint64 id, bool confirmed)
{
    AddOns addOns(d->programFolder, d->gameFolder);
    return fromAddOns(addOns.undo(id, confirmed ? HandEdits::Overwrite : HandEdits::Ask));
}

UndoOutcome History::restoreAllOriginals(bool confirmed)
{
    AddOns addOns(d->programFolder, d->gameFolder);
    return fromAddOns(addOns.restoreAllOriginals(confirmed ? HandEdits::Overwrite : HandEdits::Ask));
}

} // namespace history
