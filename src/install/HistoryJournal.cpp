#include "install/HistoryJournal.h"
#include "platform/Fail.h"

#include "common/GameFolders.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"

#include "install/ContentHash.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

#ifndef Q_OS_WIN
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace history {

namespace {

constexpr int kFormat = 2;
const QLatin1String kJournalName("journal.sqlite");

using failure::fail;

// Ends a write transaction: committed when every statement went through, otherwise rolled
// back with the first reason heard.
bool commitOrFail(QSqlDatabase &db, bool ok, QString why, QString *error)
{
    if (ok && db.commit())
        return true;
    if (why.isEmpty())
        why = db.lastError().text();
    db.rollback();
    return fail(error, why);
}

// A null QString would be stored as NULL; every text column holds text, empty or not.
QString text(const QString &value) { return value.isNull() ? QStringLiteral("") : value; }

QString joinIds(const QList<qint64> &ids)
{
    QStringList parts;
    for (const qint64 id : ids)
        parts << QString::number(id);
    return parts.join(QLatin1Char(' '));
}

// Moves a damaged journal out of the way under a name no earlier one holds: the time to the
// second, then a number when that name is taken. A rename never replaces an existing file here,
// so nothing set aside before is lost. Empty when it could not be moved.
QString setAside(const QString &path)
{
    const QString base = path + QStringLiteral(".damaged-%1").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss")));
    for (int n = 1; n < 1000; ++n) {
        const QString aside = n == 1 ? base : base + QStringLiteral("-%1").arg(n);
        if (QFileInfo::exists(aside))
            continue;
#ifndef Q_OS_WIN
        // A link is never made over an existing name, so two setting aside at once cannot meet.
        if (::link(QFile::encodeName(path).constData(), QFile::encodeName(aside).constData()) == 0) {
            if (QFile::remove(path))
                return aside;
            QFile::remove(aside);
            return {};
        }
        if (errno == EEXIST)
            continue;
#endif
        return QFile::rename(path, aside) ? aside : QString();
    }
    return {};
}

} // namespace

bool Journal::exists(const QString &programFolder)
{
    return !programFolder.isEmpty()
        && QFileInfo::exists(QDir(hostfs::realPlace(winpath::toHost(programFolder + folders::kBackupHistory))).filePath(kJournalName));
}

QString sha256(const QByteArray &bytes)
{
    ContentHash hash;
    hash.add(bytes);
    return hash.hex();
}

QString sha256File(const QString &hostPath, QString *error)
{
    QFile file(hostPath);
    if (QFileInfo(hostPath).isDir()) {
        fail(error, QStringLiteral("it is a folder"));
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, file.errorString());
        return {};
    }
    ContentHash hash;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(chunk.data(), chunk.size());
        if (got < 0) {
            fail(error, file.errorString());
            return {};
        }
        if (got == 0)
            break;
        hash.add(chunk.constData(), got);
    }
    return hash.hex();
}

std::unique_ptr<Journal> Journal::open(const QString &programFolder, QString *problem, QString *notice)
{
    if (programFolder.isEmpty())
        return nullptr;
    const QString folder = hostfs::realPlace(winpath::toHost(programFolder + folders::kBackupHistory));
    if (!QFileInfo(folder).isDir())
        return nullptr;
    static std::atomic<int> counter{0};
    std::unique_ptr<Journal> journal(new Journal);
    journal->m_folder = folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    journal->m_connection = QStringLiteral("veldrin-history-%1").arg(counter++);
    QDir(journal->m_folder).mkdir(QStringLiteral("objects"));

    QString why;
    if (journal->prepare(&why))
        return journal;
    // Only a file that is not a database (or is damaged as one) is set aside; a journal that is
    // merely busy or unreadable is left alone and this install goes on without history.
    if (!why.startsWith(QLatin1String("damaged:"))) {
        fail(problem, QStringLiteral("The install history cannot be opened (%1).").arg(why));
        return nullptr;
    }
    const QString path = journal->m_folder + QLatin1Char('/') + kJournalName;
    QSqlDatabase::removeDatabase(journal->m_connection);
    const QString aside = setAside(path);
    if (aside.isEmpty()) {
        fail(problem, QStringLiteral("The install history is damaged and could not be set aside (%1).").arg(why.mid(8)));
        return nullptr;
    }
    QFile::remove(path + QLatin1String("-wal"));
    QFile::remove(path + QLatin1String("-shm"));
    if (notice)
        *notice = QStringLiteral("The install history was damaged (%1). It was set aside as %2 and a new one was "
                                 "started; what it recorded cannot be undone from Veldrin.")
                      .arg(why.mid(8), QDir::toNativeSeparators(aside));
    journal->m_connection = QStringLiteral("veldrin-history-%1").arg(counter++);
    if (!journal->prepare(&why)) {
        fail(problem, QStringLiteral("The install history cannot be opened (%1).").arg(why));
        return nullptr;
    }
    return journal;
}

Journal::~Journal()
{
    m_writtenQuery.reset();
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool Journal::prepare(QString *error)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    db.setDatabaseName(m_folder + QLatin1Char('/') + kJournalName);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    if (!db.open())
        return fail(error, db.lastError().text());
    QSqlQuery q(db);
    const auto run = [&](const QString &sql) {
        if (q.exec(sql))
            return true;
        const QString code = q.lastError().nativeErrorCode();
        // SQLITE_CORRUPT and SQLITE_NOTADB
        const bool damaged = code == QLatin1String("11") || code == QLatin1String("26");
        fail(error, (damaged ? QStringLiteral("damaged:") : QString()) + q.lastError().text());
        return false;
    };
    // Every commit reaches the disk before it returns: a record exists before any file it
    // names is touched, whatever happens to the process afterwards.
    return run(QStringLiteral("PRAGMA journal_mode=WAL")) && run(hostfs::flushing() ? QStringLiteral("PRAGMA synchronous=FULL") : QStringLiteral("PRAGMA synchronous=OFF"))
        && run(QStringLiteral("CREATE TABLE IF NOT EXISTS format (version INTEGER NOT NULL)"))
        && run(QStringLiteral("CREATE TABLE IF NOT EXISTS operations (id INTEGER PRIMARY KEY AUTOINCREMENT, "
                              "began TEXT NOT NULL, route TEXT NOT NULL, source TEXT NOT NULL, state TEXT NOT NULL, "
                              "undoes TEXT NOT NULL DEFAULT '')"))
        && run(QStringLiteral("CREATE TABLE IF NOT EXISTS files (operation INTEGER NOT NULL, seq INTEGER NOT NULL, "
                              "path TEXT NOT NULL, host TEXT NOT NULL, existed INTEGER NOT NULL, previous TEXT NOT NULL, "
                              "kept INTEGER NOT NULL, written TEXT NOT NULL DEFAULT '', touched INTEGER NOT NULL DEFAULT 0, "
                              "PRIMARY KEY (operation, seq))"))
        && run(QStringLiteral("CREATE TABLE IF NOT EXISTS noticed (operation INTEGER PRIMARY KEY)"))
        // Records whose files were read and found whole. Any change to a record's files, by
        // Veldrin or by any other program that edits the journal, takes its mark away, so
        // that every start need not read the whole history again (see damagedFiles).
        && run(QStringLiteral("CREATE TABLE IF NOT EXISTS whole (operation INTEGER PRIMARY KEY)"))
        && run(QStringLiteral("CREATE TRIGGER IF NOT EXISTS whole_insert AFTER INSERT ON files "
                              "BEGIN DELETE FROM whole WHERE operation = new.operation; END"))
        && run(QStringLiteral("CREATE TRIGGER IF NOT EXISTS whole_update AFTER UPDATE ON files "
                              "BEGIN DELETE FROM whole WHERE operation IN (old.operation, new.operation); END"))
        && run(QStringLiteral("CREATE TRIGGER IF NOT EXISTS whole_delete AFTER DELETE ON files "
                              "BEGIN DELETE FROM whole WHERE operation = old.operation; END"))
        && addStamps(error)
        && run(QStringLiteral("INSERT INTO format (version) SELECT %1 WHERE NOT EXISTS (SELECT 1 FROM format)").arg(kFormat))
        && migrate(error);
}

bool Journal::migrate(QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("SELECT max(version) FROM format")) || !q.next())
        return fail(error, q.lastError().text());
    if (q.value(0).toInt() >= kFormat)
        return true;
    // Format 1 kept only the bytes a file held before an install. An add-on taken out must be
    // able to come back without its source, so whatever of its bytes is still on disk is kept
    // now; what was already overwritten cannot be recovered and the add-on says so.
    if (q.exec(QStringLiteral("SELECT host, written FROM files WHERE touched = 1 AND written <> ''"))) {
        // A file that changed since is left out: that add-on shows it cannot be put back.
        while (q.next())
            (void)keepCopy(q.value(0).toString(), q.value(1).toString(), nullptr);
    }
    // Copies not yet safe on disk: the next opening tries again before the format is raised.
    if (!syncObjects())
        return true;
    if (!q.exec(QStringLiteral("UPDATE format SET version = %1").arg(kFormat)))
        return fail(error, q.lastError().text());
    return true;
}

// The size and modification time of each file as an operation left it: while a file still
// shows both, it holds what the operation wrote, and a reinstall need not read it again. Added
// to a journal of any format; a program that does not know them leaves them at -1 and 0.
bool Journal::addStamps(QString *error)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    bool has = false;
    if (!q.exec(QStringLiteral("PRAGMA table_info(files)")))
        return fail(error, q.lastError().text());
    while (q.next())
        has = has || q.value(1).toString() == QLatin1String("size");
    if (!has
        && (!q.exec(QStringLiteral("ALTER TABLE files ADD COLUMN size INTEGER NOT NULL DEFAULT -1"))
            || !q.exec(QStringLiteral("ALTER TABLE files ADD COLUMN mtime INTEGER NOT NULL DEFAULT 0"))))
        return fail(error, q.lastError().text());
    // By place, newest last: what was last written at a place is found without sorting every
    // record of it. It replaces an index on the place alone, which it serves as well.
    if (!q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS files_place ON files (host, operation, seq)")))
        return fail(error, q.lastError().text());
    if (!q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'index' AND name = 'files_host'")))
        return fail(error, q.lastError().text());
    if (q.next() && !q.exec(QStringLiteral("DROP INDEX files_host")))
        return fail(error, q.lastError().text());
    return true;
}

QString Journal::writtenHash(const QString &realHost, qint64 size, qint64 mtime)
{
    if (!m_writtenQuery) {
        m_writtenQuery = std::make_unique<QSqlQuery>(QSqlDatabase::database(m_connection));
        if (!m_writtenQuery->prepare(QStringLiteral("SELECT written, size, mtime FROM files WHERE host = ? AND touched = 1 "
                                                    "ORDER BY operation DESC, seq DESC LIMIT 1"))) {
            m_writtenQuery.reset();
            return QString();
        }
    }
    QSqlQuery &q = *m_writtenQuery;
    q.addBindValue(text(realHost));
    const bool found = q.exec() && q.next() && size >= 0 && q.value(1).toLongLong() == size && q.value(2).toLongLong() == mtime;
    const QString hash = found ? q.value(0).toString() : QString();
    q.finish(); // no statement left open under the next write to the journal
    return isHash(hash) ? hash : QString();
}

bool Journal::keepCopy(const QString &realHost, const QString &hash, QString *error)
{
    if (!isHash(hash))
        return fail(error, QStringLiteral("no hash"));
    if (hasObject(hash))
        return true;
    const QString target = objectPath(hash);
    QFile file(realHost);
    if (!file.open(QIODevice::ReadOnly))
        return fail(error, file.errorString());
    const QByteArray bytes = file.readAll();
    // The file may have changed since it was hashed: only bytes that match their name go in.
    if (sha256(bytes) != hash)
        return fail(error, QStringLiteral("it changed"));
    return hostfs::writeFile(target, bytes, QByteArray(), error);
}

QString Journal::objectPath(const QString &hash) const { return m_folder + QLatin1String("/objects/") + hash; }

bool Journal::keepFile(const QString &realHost, const QString &hash, bool *linked, QString *error)
{
    *linked = false;
    if (hasObject(hash))
        return true; // equal bytes are kept once; an object is never replaced
    const QString target = objectPath(hash);
#ifndef Q_OS_WIN
    if (::link(QFile::encodeName(realHost).constData(), QFile::encodeName(target).constData()) == 0) {
        *linked = true;
        // The bytes the record will point at must be on disk before it is committed:
        // syncObjects() flushes them, all of them side by side.
        m_unflushed << target;
        return true;
    }
    if (errno == EEXIST)
        return true;
#endif
    QFile source(realHost);
    if (!source.open(QIODevice::ReadOnly))
        return fail(error, source.errorString());
    hostfs::AtomicFile copy;
    if (!copy.open(target, error))
        return false;
    while (!source.atEnd()) {
        const QByteArray piece = source.read(1 << 20);
        if (piece.isEmpty() && source.error() != QFileDevice::NoError)
            return fail(error, source.errorString());
        if (!copy.append(piece, error))
            return false;
    }
    return copy.commit(error);
}

bool Journal::syncObjects()
{
    const bool files = hostfs::flushFiles(m_unflushed);
    m_unflushed.clear();
    const bool folder = hostfs::syncFolder(m_folder + QLatin1String("/objects"));
    return files && folder;
}

void Journal::unshare(const QString &hash, const QString &realHost)
{
#ifndef Q_OS_WIN
    const QString target = objectPath(hash);
    struct stat a {}, b {};
    if (::stat(QFile::encodeName(target).constData(), &a) != 0 || ::stat(QFile::encodeName(realHost).constData(), &b) != 0
        || a.st_ino != b.st_ino || a.st_dev != b.st_dev)
        return;
    QFile file(target);
    if (file.open(QIODevice::ReadOnly))
        hostfs::writeFile(target, file.readAll(), QByteArray(), nullptr);
#else
    Q_UNUSED(hash);
    Q_UNUSED(realHost);
#endif
}

std::optional<QByteArray> Journal::object(const QString &hash, QString *error)
{
    if (!isHash(hash)) {
        fail(error, QStringLiteral("no kept copy"));
        return std::nullopt;
    }
    QFile file(objectPath(hash));
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("its kept copy is missing"));
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (sha256(bytes) != hash) {
        fail(error, QStringLiteral("its kept copy does not match its record"));
        return std::nullopt;
    }
    return bytes;
}

bool Journal::record(qint64 *id, const QString &route, const QString &source, const QList<qint64> &undoes,
                     const QList<FileRow> &rows, QString *error)
{
    return record(id, route, source, undoes, rows.size(), [&rows](qsizetype i) { return rows.at(i); }, error);
}

bool Journal::finish(qint64 id, const QString &state, const QList<FileRow> &rows, QString *error)
{
    return finish(id, state, rows.size(), [&rows](qsizetype i) { return rows.at(i); }, error);
}

bool Journal::record(qint64 *id, const QString &route, const QString &source, const QList<qint64> &undoes,
                     qsizetype count, const RowAt &rowAt, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction())
        return fail(error, db.lastError().text());
    QSqlQuery q(db);
    bool ok = true;
    QString why;
    if (*id == 0) {
        q.prepare(QStringLiteral("INSERT INTO operations (began, route, source, state, undoes) VALUES (?, ?, ?, 'open', ?)"));
        q.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs));
        q.addBindValue(text(route));
        q.addBindValue(text(source));
        q.addBindValue(text(joinIds(undoes)));
        ok = q.exec();
        if (ok)
            *id = q.lastInsertId().toLongLong();
    }
    if (!ok)
        why = q.lastError().text();
    q.prepare(QStringLiteral("INSERT INTO files (operation, seq, path, host, existed, previous, kept) VALUES (?, ?, ?, ?, ?, ?, ?)"));
    for (qsizetype i = 0; i < count && ok; ++i) {
        const FileRow row = rowAt(i);
        q.addBindValue(*id);
        q.addBindValue(row.seq);
        q.addBindValue(text(row.path));
        q.addBindValue(text(row.host));
        q.addBindValue(row.existed ? 1 : 0);
        q.addBindValue(text(row.previous));
        q.addBindValue(row.kept ? 1 : 0);
        ok = q.exec();
        if (!ok)
            why = q.lastError().text();
    }
    return commitOrFail(db, ok, why, error);
}

bool Journal::finish(qint64 id, const QString &state, qsizetype count, const RowAt &rowAt, QString *error)
{
    // What an operation wrote is kept by a copy of its own (never a link: a later edit of the
    // game file must not reach the store), so the add-on can be put back without its source.
    if (state == QLatin1String("done") || state == QLatin1String("no undo")) {
        // Without the copy the install still stands; the add-on then shows that it cannot be
        // put back once taken out, and taking it out still works.
        for (qsizetype i = 0; i < count; ++i) {
            const FileRow row = rowAt(i);
            if (row.touched && !row.written.isEmpty())
                (void)keepCopy(row.host, row.written, nullptr);
        }
        (void)syncObjects();
    }
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction())
        return fail(error, db.lastError().text());
    QSqlQuery q(db);
    q.prepare(QStringLiteral("UPDATE operations SET state = ? WHERE id = ?"));
    q.addBindValue(text(state));
    q.addBindValue(id);
    bool ok = q.exec();
    QString why = ok ? QString() : q.lastError().text();
    if (ok)
        ok = updateRows(q, id, count, rowAt, &why);
    return commitOrFail(db, ok, why, error);
}

bool Journal::save(qint64 id, qsizetype count, const RowAt &rowAt, QString *error)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection);
    if (!db.transaction())
        return fail(error, db.lastError().text());
    QSqlQuery q(db);
    QString why;
    const bool ok = updateRows(q, id, count, rowAt, &why);
    return commitOrFail(db, ok, why, error);
}

bool Journal::updateRows(QSqlQuery &q, qint64 id, qsizetype count, const RowAt &rowAt, QString *why)
{
    q.prepare(QStringLiteral("UPDATE files SET written = ?, touched = ?, size = ?, mtime = ? WHERE operation = ? AND seq = ?"));
    for (qsizetype i = 0; i < count; ++i) {
        const FileRow row = rowAt(i);
        q.addBindValue(text(row.written));
        q.addBindValue(row.touched ? 1 : 0);
        q.addBindValue(row.written.isEmpty() ? qint64(-1) : row.size);
        q.addBindValue(row.written.isEmpty() ? qint64(0) : row.mtime);
        q.addBindValue(id);
        q.addBindValue(row.seq);
        if (!q.exec())
            return fail(why, q.lastError().text());
    }
    return true;
}

bool Journal::hasObject(const QString &hash)
{
    // A reinstall's bytes are the ones already kept: found once, not looked for again when
    // they are kept, copied and recorded.
    if (m_stored.contains(hash))
        return true;
    if (!QFileInfo::exists(objectPath(hash)))
        return false;
    stored(hash);
    return true;
}

void Journal::stored(const QString &hash)
{
    // Only a shortcut past a look at the store: a package of many thousand files would hold
    // every name it wrote.
    if (m_stored.size() >= 4096)
        m_stored.clear();
    m_stored.insert(hash);
}

bool Journal::hasOpen()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return q.exec(QStringLiteral("SELECT 1 FROM operations WHERE state = 'open' LIMIT 1")) && q.next();
}

bool Journal::isEmpty()
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    return !(q.exec(QStringLiteral("SELECT 1 FROM operations LIMIT 1")) && q.next());
}

bool Journal::firstNotice(qint64 id)
{
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(QStringLiteral("INSERT OR IGNORE INTO noticed (operation) VALUES (?)"));
    q.addBindValue(id);
    return q.exec() && q.numRowsAffected() > 0;
}

} // namespace history
