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
#include <QHash>
#include <optional>

namespace history {

namespace {

std::optional<QString> before(const FileRow &row)
{
    return row.existed ? std::optional<QString>(row.previous) : std::nullopt;
}

// The copies a killed process left beside their targets, by folder and target name. Each
// folder is listed once: listing it for every file put back made the recovery of an install
// of many thousand files take minutes.
class Debris
{
public:
    void removeBeside(const QString &host)
    {
        const QFileInfo info(host);
        const QString folder = info.absolutePath();
        auto listed = m_folders.find(folder);
        if (listed == m_folders.end()) {
            listed = m_folders.insert(folder, {});
            const QString marker = QStringLiteral(".veldrin-");
            for (const QString &name : QDir(folder).entryList({QStringLiteral(".*") + marker + QLatin1Char('*')},
                                                              QDir::Files | QDir::Hidden)) {
                const qsizetype at = name.lastIndexOf(marker);
                if (at > 1)
                    (*listed)[name.mid(1, at - 1)] << name;
            }
        }
        for (const QString &name : listed->take(info.fileName()))
            QFile::remove(folder + QLatin1Char('/') + name);
    }

private:
    QHash<QString, QHash<QString, QStringList>> m_folders;
};

// One file of a killed install as it was before it, where an install may write; row says
// afterwards whether the file is still changed (touched) and what it holds. True when it is
// still changed there: its bytes are then kept as an install's are.
bool putBackRow(Journal &journal, install::Transaction &judge, Debris &debris, FileRow &row, ShortNames &putBack,
                ShortNames &left)
{
    // Only where an install may write is anything put back: a record that names another
    // place was not written by Veldrin, and that place is neither read nor changed.
    const int slot = judge.addRecorded(row.path, row.host);
    if (judge.target(slot).outside || judge.target(slot).history) {
        row.touched = true;
        left.add(QStringLiteral("%1 (it lies outside the game and program folders or in the history; nothing "
                                "was written there)")
                     .arg(judge.shown(slot)));
        return false;
    }
    // A copy the killed process did not get to rename is only debris.
    debris.removeBeside(row.host);
    if (row.existed && row.kept)
        journal.unshare(row.previous, row.host);
    const std::optional<QString> now = present(row.host);
    if (now == before(row)) {
        row.touched = false;
        return false;
    }
    QString why;
    bool ok;
    if (!row.existed) {
        ok = QFile::remove(row.host);
        why = QStringLiteral("it could not be removed");
    } else {
        const auto bytes = row.kept ? journal.object(row.previous, &why) : std::nullopt;
        if (!row.kept)
            why = QStringLiteral("its earlier content was not kept");
        ok = bytes && hostfs::writeFile(row.host, *bytes, QByteArray(), &why);
    }
    if (ok) {
        putBack.add(row.path);
        row.touched = false;
        row.written.clear();
        return false;
    }
    // Still changed: an undo must see it so.
    row.touched = true;
    row.written = now.value_or(QString());
    left.add(QStringLiteral("%1 (%2)").arg(row.path, why));
    return true;
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
        // A run of files at a time: a killed install of many thousand files is put back
        // without holding all of its files at once.
        const int run = qMax(1, install::Transaction::plannedAtOnce());
        ShortNames putBack, left;
        // Files still changed where an install writes: finish() keeps their bytes, as an
        // install's. Nothing is read at a place outside.
        QList<FileRow> leftRows;
        QString stopped;
        const auto notMarked = [&](const QString &why) {
            stopped = QStringLiteral("Install %1 could not be marked as put back (%2); it is checked again at the next start.")
                          .arg(op.id)
                          .arg(why);
        };
        Debris debris;
        for (int from = 0; stopped.isEmpty(); from += run) {
            QString unread;
            std::optional<QList<FileRow>> files = journal->rows(op.id, from, from + run, &unread);
            if (!files) {
                stopped = QStringLiteral("Install %1 in the history could not be read (%2); it is checked again at the next start.")
                              .arg(op.id)
                              .arg(unread);
                break;
            }
            if (files->isEmpty())
                break;
            QList<FileRow> &rows = *files;
            install::Transaction judge(op.route, op.source, gameFolder, programFolder);
            for (FileRow &row : rows) {
                row.size = -1; // what a killed install left is read again, never trusted by its time
                if (putBackRow(*journal, judge, debris, row, putBack, left))
                    leftRows << row;
            }
            QString why;
            if (!journal->save(op.id, rows.size(), [&rows](qsizetype i) { return rows.at(i); }, &why))
                notMarked(why);
        }
        QString why;
        if (stopped.isEmpty()
            && !journal->finish(op.id, left.count == 0 ? QStringLiteral("rolled back") : QStringLiteral("done"), leftRows, &why))
            notMarked(why);
        if (!stopped.isEmpty())
            lines << stopped;
        if (putBack.count == 0 && left.count == 0)
            continue;
        QString line = QStringLiteral("Veldrin was stopped in the middle of an install (%1, %2).").arg(op.route, op.source);
        if (putBack.count > 0)
            line += QStringLiteral(" %1 put back as they were: %2.").arg(fileCount(putBack.count), putBack.joined());
        if (left.count > 0)
            line += QStringLiteral(" %1 could not be put back: %2.").arg(fileCount(left.count), left.joined(QStringLiteral("; ")));
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace history
