#include "install/InstallHistory.h"
#include "platform/Fail.h"

#include "common/GameFolders.h"
#include "install/AddOns.h"
#include "install/HistoryJournal.h"
#include "install/InstallTransaction.h"
#include "install/ShortList.h"
#include "install/WriterLock.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <optional>

namespace history {

namespace {

using failure::fail;

// What a file holds now: its hash, or nothing when there is no file.
std::optional<QString> present(const QString &host)
{
    const QFileInfo info(host);
    if (!info.exists() || info.isDir())
        return std::nullopt;
    return sha256File(host);
}

// What the operation left in the file: what it wrote, nothing if it removed it, and for a
// file it never changed, what was there before.
std::optional<QString> leftBy(const FileRow &row)
{
    if (row.touched)
        return row.written.isEmpty() ? std::nullopt : std::optional<QString>(row.written);
    return row.existed ? std::optional<QString>(row.previous) : std::nullopt;
}

std::optional<QString> before(const FileRow &row)
{
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

QString folderOf(const QString &programFolder) { return programFolder + folders::kBackupHistory; }

bool isKept(const QString &programFolder)
{
    return !programFolder.isEmpty() && QFileInfo(hostfs::realPlace(winpath::toHost(folderOf(programFolder)))).isDir();
}

bool createFolder(const QString &programFolder, QString *error)
{
    if (programFolder.isEmpty())
        return fail(error, QStringLiteral("no program folder is set"));
    const QString program = hostfs::realPlace(winpath::toHost(programFolder));
    if (!QFileInfo(program).isDir())
        return fail(error, QStringLiteral("the program folder %1 does not exist").arg(programFolder));
    // Only the history's own folders are made: the rest of the tree is the player's.
    QDir dir(program);
    const QString backup = winpath::bareFileName(QString(folders::kBackup).chopped(1));
    const QString name = winpath::bareFileName(QString(folders::kBackupHistory).chopped(1));
    if ((!dir.exists(backup) && !dir.mkdir(backup)) || !dir.cd(backup) || (!dir.exists(name) && !dir.mkdir(name)))
        return fail(error, QStringLiteral("%1 could not be created").arg(folderOf(programFolder)));
    return true;
}

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

QString recoverUnfinished(const QString &programFolder, const QString &gameFolder)
{
    // An operation whose process still holds the lock is running, not unfinished; it is left
    // to finish. Whoever takes the lock next recovers what a kill left.
    const WriterLock lock(programFolder, WriterLock::NoWait);
    if (!lock.held() || !Journal::exists(programFolder))
        return {};
    QString problem, notice;
    const std::unique_ptr<Journal> journal = Journal::open(programFolder, &problem, &notice);
    QStringList lines;
    if (!notice.isEmpty())
        lines << notice;
    if (!journal)
        return lines.join(QLatin1Char('\n'));
    for (const OperationRow &op : journal->operations(true)) {
        if (!op.damage.isEmpty()) {
            if (journal->firstNotice(op.id))
                lines << QStringLiteral("Install %1 in the history is damaged (%2); it was left as it is and is "
                                        "skipped.")
                             .arg(op.id)
                             .arg(op.damage);
            continue;
        }
        if (op.state != QLatin1String("open"))
            continue;
        QStringList putBack, left;
        QList<FileRow> rows = op.files;
        install::Transaction judge(op.route, op.source, gameFolder, programFolder);
        for (FileRow &row : rows) {
            // Only where an install may write is anything put back: a record that names another
            // place was not written by Veldrin, and that place is neither read nor changed.
            const int slot = judge.addRecorded(row.path, row.host);
            if (judge.target(slot).outside || judge.target(slot).history) {
                row.touched = true;
                left << QStringLiteral("%1 (it lies outside the game and program folders or in the history; nothing "
                                       "was written there)")
                            .arg(judge.shown(slot));
                continue;
            }
            // A copy the killed process did not get to rename is only debris.
            const QFileInfo info(row.host);
            const QDir folder(info.absolutePath());
            const QStringList temps = folder.entryList({QLatin1Char('.') + info.fileName() + QLatin1String(".veldrin-*")},
                                                       QDir::Files | QDir::Hidden);
            for (const QString &temp : temps)
                QFile::remove(folder.filePath(temp));
            if (row.existed && row.kept)
                journal->unshare(row.previous, row.host);
            const std::optional<QString> now = present(row.host);
            if (now == before(row)) {
                row.touched = false;
                continue;
            }
            QString why;
            bool ok;
            if (!row.existed) {
                ok = QFile::remove(row.host);
                why = QStringLiteral("it could not be removed");
            } else {
                const auto bytes = row.kept ? journal->object(row.previous, &why) : std::nullopt;
                if (!row.kept)
                    why = QStringLiteral("its earlier content was not kept");
                ok = bytes && hostfs::writeFile(row.host, *bytes, QByteArray(), &why);
            }
            if (ok) {
                putBack << row.path;
                row.touched = false;
                row.written.clear();
            } else {
                // Still changed: an undo must see it so.
                row.touched = true;
                row.written = now.value_or(QString());
                left << QStringLiteral("%1 (%2)").arg(row.path, why);
            }
        }
        QString why;
        if (!journal->finish(op.id, left.isEmpty() ? QStringLiteral("rolled back") : QStringLiteral("done"), rows, &why))
            lines << QStringLiteral("Install %1 could not be marked as put back (%2); it is checked again at the next "
                                    "start.")
                         .arg(op.id)
                         .arg(why);
        if (putBack.isEmpty() && left.isEmpty())
            continue;
        QString line = QStringLiteral("Veldrin was stopped in the middle of an install (%1, %2).").arg(op.route, op.source);
        if (!putBack.isEmpty())
            line += QStringLiteral(" %1 put back as they were: %2.").arg(fileCount(putBack.size()), shortList(putBack));
        if (!left.isEmpty())
            line += QStringLiteral(" %1 could not be put back: %2.").arg(fileCount(left.size()), shortList(left, QStringLiteral("; ")));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace history
