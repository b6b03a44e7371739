#include "install/HistoryJournal.h"
#include "platform/Fail.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

// Reading the journal back: operations with their files, checked before anything acts on them.

namespace history {

namespace {

using failure::fail;

const QString kFileColumns = QStringLiteral("seq, path, host, existed, previous, kept, written, touched");

// A file row from the query's columns, kFileColumns from `first` on.
FileRow fileRow(const QSqlQuery &q, int first)
{
    FileRow row;
    row.seq = q.value(first).toInt();
    row.path = q.value(first + 1).toString();
    row.host = q.value(first + 2).toString();
    row.existed = q.value(first + 3).toInt() != 0;
    row.previous = q.value(first + 4).toString();
    row.kept = q.value(first + 5).toInt() != 0;
    row.written = q.value(first + 6).toString();
    row.touched = q.value(first + 7).toInt() != 0;
    return row;
}

// What is wrong with one file of a record, the files before it read in order; empty when nothing.
QString fileDamage(const FileRow &f, int expectedSeq)
{
    if (f.seq != expectedSeq)
        return QStringLiteral("its list of files has a gap");
    if (f.path.isEmpty() || !QDir::isAbsolutePath(f.host))
        return QStringLiteral("file %1 has no usable path").arg(f.seq + 1);
    if (!f.previous.isEmpty() && !isHash(f.previous))
        return QStringLiteral("the kept bytes of %1 are named wrongly").arg(f.path);
    if (!f.written.isEmpty() && !isHash(f.written))
        return QStringLiteral("the written bytes of %1 are named wrongly").arg(f.path);
    if (f.existed && f.kept && f.previous.isEmpty())
        return QStringLiteral("the kept bytes of %1 are not named").arg(f.path);
    return {};
}

// Whatever a hand or a bad disk did to a record, reading it must not go wrong later: every
// field is checked here once and a record that fails is only ever shown, never acted on.
QString damageOf(const OperationRow &op, const QString &began, bool filesRead)
{
    if (!op.began.isValid())
        return QStringLiteral("its time \"%1\" cannot be read").arg(began);
    if (op.route.isEmpty())
        return QStringLiteral("it names no route");
    static const QStringList states{QStringLiteral("open"), QStringLiteral("done"), QStringLiteral("rolled back"),
                                    QStringLiteral("no undo")};
    if (!states.contains(op.state))
        return QStringLiteral("its state \"%1\" is unknown").arg(op.state);
    if (!filesRead)
        return {};
    int seq = 0;
    for (const FileRow &f : op.files) {
        const QString damage = fileDamage(f, seq++);
        if (!damage.isEmpty())
            return damage;
    }
    return {};
}

} // namespace

bool isHash(const QString &text)
{
    // Anchored at both ends: "$" alone would let a name end in a line break.
    static const QRegularExpression hex(QRegularExpression::anchoredPattern(QStringLiteral("[0-9a-f]{64}")));
    return hex.match(text).hasMatch();
}

std::optional<QList<FileRow>> Journal::rows(qint64 id, int from, int to, QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT %1, size, mtime FROM files WHERE operation = ? AND seq >= ? AND seq < ? ORDER BY seq")
                  .arg(kFileColumns));
    q.addBindValue(id);
    q.addBindValue(from);
    q.addBindValue(to);
    if (!q.exec()) {
        fail(error, q.lastError().text());
        return std::nullopt;
    }
    QList<FileRow> out;
    while (q.next()) {
        FileRow row = fileRow(q, 0);
        row.size = q.value(8).toLongLong();
        row.mtime = q.value(9).toLongLong();
        out << row;
    }
    return out;
}

QSet<QString> Journal::keptBy(qint64 id)
{
    QSet<QString> kept;
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT DISTINCT previous FROM files WHERE operation = ? AND kept = 1"));
    q.addBindValue(id);
    if (q.exec()) {
        while (q.next())
            kept.insert(q.value(0).toString());
    }
    return kept;
}

QList<OperationRow> Journal::operations(bool withFiles) { return readOperations(withFiles, nullptr); }

QList<OperationRow> Journal::operationsTouching(const QStringList &hosts, const QHash<qint64, QString> &damagedFiles)
{
    QList<OperationRow> ops = readOperations(true, &hosts);
    for (OperationRow &op : ops) {
        if (op.damage.isEmpty())
            op.damage = damagedFiles.value(op.id);
    }
    return ops;
}

QHash<qint64, QString> Journal::damagedFiles()
{
    // Every start and every install asks this of the whole history. Records already read and
    // found whole, and not changed since, are not read again; the others are read a file at
    // a time, and those found whole are marked.
    QHash<qint64, QString> damaged;
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QList<qint64> unread;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT id FROM operations WHERE id NOT IN (SELECT operation FROM whole) ORDER BY id")))
            return damaged;
        while (q.next())
            unread << q.value(0).toLongLong();
    }
    if (unread.isEmpty())
        return damaged;
    QList<qint64> whole;
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(QStringLiteral("SELECT %1 FROM files WHERE operation = ? ORDER BY seq").arg(kFileColumns)))
        return damaged;
    for (const qint64 id : std::as_const(unread)) {
        q.addBindValue(id);
        if (!q.exec())
            continue;
        int seq = 0;
        QString damage;
        while (damage.isEmpty() && q.next())
            damage = fileDamage(fileRow(q, 0), seq++);
        q.finish();
        if (damage.isEmpty())
            whole << id;
        else
            damaged.insert(id, damage);
    }
    // Only a shortcut for the next reading: a mark that cannot be written costs nothing but time.
    if (!whole.isEmpty() && db.transaction()) {
        QSqlQuery mark(db);
        mark.prepare(QStringLiteral("INSERT OR IGNORE INTO whole (operation) VALUES (?)"));
        for (const qint64 id : std::as_const(whole)) {
            mark.addBindValue(id);
            mark.exec();
        }
        if (!db.commit())
            db.rollback();
    }
    return damaged;
}

// Every operation, oldest first, with its files when asked: all of them, or those at the given
// places only (their records then checked only as far as those files go).
QList<OperationRow> Journal::readOperations(bool withFiles, const QStringList *hosts)
{
    QList<OperationRow> ops;
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT id, began, route, source, state, undoes FROM operations ORDER BY id")))
        return ops;
    QHash<qint64, int> index;
    QStringList begans;
    while (q.next()) {
        OperationRow op;
        op.id = q.value(0).toLongLong();
        begans << q.value(1).toString();
        op.began = QDateTime::fromString(begans.last(), Qt::ISODateWithMs);
        op.route = q.value(2).toString();
        op.source = q.value(3).toString();
        op.state = q.value(4).toString();
        bool idsOk = true;
        for (const QString &part : q.value(5).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const qint64 undone = part.toLongLong(&idsOk);
            if (!idsOk)
                break;
            op.undoes << undone;
        }
        if (!idsOk)
            op.damage = QStringLiteral("the operations it undid cannot be read");
        index.insert(op.id, int(ops.size()));
        ops.append(op);
    }
    bool read = false;
    if (withFiles && hosts) {
        // The places asked about go into a table of this connection's own, which the files'
        // index on their place is joined with.
        read = q.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS asked (host TEXT PRIMARY KEY)"))
            && q.exec(QStringLiteral("DELETE FROM asked")) && db.transaction();
        if (read) {
            q.prepare(QStringLiteral("INSERT OR IGNORE INTO asked (host) VALUES (?)"));
            for (const QString &host : *hosts) {
                q.addBindValue(host);
                read = read && q.exec();
            }
            read = db.commit() && read;
        }
        read = read && q.exec(QStringLiteral("SELECT f.operation, f.%1 FROM files f JOIN asked a ON f.host = a.host "
                                             "ORDER BY f.operation, f.seq")
                                  .arg(QString(kFileColumns).replace(QLatin1String(", "), QLatin1String(", f."))));
    } else if (withFiles) {
        read = q.exec(QStringLiteral("SELECT operation, %1 FROM files ORDER BY operation, seq").arg(kFileColumns));
    }
    while (read && q.next()) {
        const auto at = index.constFind(q.value(0).toLongLong());
        if (at != index.constEnd())
            ops[*at].files.append(fileRow(q, 1));
    }
    for (int i = 0; i < ops.size(); ++i) {
        if (ops[i].damage.isEmpty())
            ops[i].damage = damageOf(ops[i], begans.at(i), withFiles && !hosts);
    }
    return ops;
}

std::optional<OperationRow> Journal::operation(qint64 id)
{
    // Small enough to read whole: the journal holds one row per install.
    for (OperationRow &op : operations(true)) {
        if (op.id == id)
            return op;
    }
    return std::nullopt;
}

} // namespace history
