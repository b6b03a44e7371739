#include "install/HistoryRecovery.h"

#include "install/AddOnLayers.h"
#include "install/HistoryJournal.h"
#include "install/InstallTransaction.h"
#include "install/ShortList.h"
#include "install/WriterLock.h"
#include "platform/HostFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <limits>
#include <optional>

namespace history {

namespace {

std::optional<QString> before(const FileRow &row)
{
    return row.existed ? std::optional<QString>(row.previous) : std::nullopt;
}

// Every program that installs also recovers when it starts, so it links this file, and the
// lock it takes learns from here how to recover.
[[maybe_unused]] const bool g_lockRecovers = (setRecovery(&recoverUnfinished), true);

} // namespace

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
    // Only an unfinished operation's files are read whole: the history of many large installs
    // is checked a file at a time.
    const QHash<qint64, QString> damagedFiles = journal->damagedFiles();
    for (OperationRow &op : journal->operations(false)) {
        if (op.damage.isEmpty())
            op.damage = damagedFiles.value(op.id);
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
        QString unread;
        const std::optional<QList<FileRow>> files = journal->rows(op.id, 0, std::numeric_limits<int>::max(), &unread);
        if (!files) {
            lines << QStringLiteral("Install %1 in the history could not be read (%2); it is checked again at the next start.")
                         .arg(op.id)
                         .arg(unread);
            continue;
        }
        QStringList putBack, left;
        QList<FileRow> rows = *files;
        for (FileRow &row : rows)
            row.size = -1; // what a killed install left is read again, never trusted by its time
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
