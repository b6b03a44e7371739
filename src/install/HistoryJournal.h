#pragma once
// The history's two halves on disk: the store of kept bytes (objects/<sha256>, plain files,
// written once and never changed) and the journal of operations (SQLite). Only the install
// transaction and the history itself use this; see docs/install-journal.md for the format.
#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class QSqlQuery;

namespace history {

QString sha256(const QByteArray &bytes);
// A name in the store: 64 lower-case hexadecimal digits.
bool isHash(const QString &text);
// The hash of a file's bytes, read in pieces; empty (with the reason) when it cannot be read.
QString sha256File(const QString &hostPath, QString *error = nullptr);

struct FileRow
{
    int seq = 0;
    QString path;            // Windows path
    QString host;            // real host place
    bool existed = false;
    QString previous;        // hash of the bytes before; empty when created
    bool kept = false;       // those bytes are in the store
    QString written;         // hash left by the operation; empty when it removed the file or never wrote
    bool touched = false;    // the operation changed the file (set when it finishes)
    // The file as the operation left it, while it still holds `written` (size -1: unknown).
    qint64 size = -1;
    qint64 mtime = 0;        // nanoseconds since the epoch
};

struct OperationRow
{
    qint64 id = 0;
    QDateTime began;
    QString route;
    QString source;
    QString state;           // "open", "done", "rolled back", "no undo"
    QList<qint64> undoes;    // for an undo: the operations it undid
    QList<FileRow> files;
    QString damage;          // non-empty: the record cannot be used, and why
};

class Journal
{
public:
    // Null when the program folder keeps no history (no "Backup\history\"). A journal that is
    // not a database at all is set aside under another name, said once in notice, and a new
    // one started; null with problem set when even that fails.
    static std::unique_ptr<Journal> open(const QString &programFolder, QString *problem = nullptr,
                                         QString *notice = nullptr);
    // True when the program folder's history holds a journal file (opening one creates it).
    static bool exists(const QString &programFolder);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    QString folder() const { return m_folder; }
    QString objectPath(const QString &hash) const;

    // Keeps the file's present bytes under their hash: by a hard link where the store shares
    // the file system, by a flushed copy otherwise. *linked tells which. Call syncObjects()
    // once after a batch, before the record that points at them is committed.
    [[nodiscard]] bool keepFile(const QString &realHost, const QString &hash, bool *linked, QString *error);
    [[nodiscard]] bool syncObjects();
    // Tells the journal that an object is in the store, written and flushed by the caller.
    void stored(const QString &hash);
    // Whether the store holds these bytes: known to this process, or found there by a look
    // that is then remembered.
    bool hasObject(const QString &hash);
    void unstored(const QString &hash) { m_stored.remove(hash); } // taken out again by the caller
    // Keeps the file's bytes by a copy of their own, only when they still match hash.
    [[nodiscard]] bool keepCopy(const QString &realHost, const QString &hash, QString *error);
    // A linked object still shares its bytes with a file that was not replaced after all:
    // give the store its own copy, so later edits of the file cannot reach the store.
    void unshare(const QString &hash, const QString &realHost);
    // The kept bytes, only when they still match their hash.
    std::optional<QByteArray> object(const QString &hash, QString *error);

    // Creates the operation (when *id is 0) and adds file rows, in one durable commit.
    [[nodiscard]] bool record(qint64 *id, const QString &route, const QString &source, const QList<qint64> &undoes,
                const QList<FileRow> &rows, QString *error);
    // Ends an operation: its state and, for each file it changed, the hash it left.
    [[nodiscard]] bool finish(qint64 id, const QString &state, const QList<FileRow> &rows, QString *error);
    // The same, with row i made when it is needed: a package of many thousand files then never
    // holds all its rows at once.
    using RowAt = std::function<FileRow(qsizetype)>;
    [[nodiscard]] bool record(qint64 *id, const QString &route, const QString &source, const QList<qint64> &undoes,
                qsizetype count, const RowAt &rowAt, QString *error);
    [[nodiscard]] bool finish(qint64 id, const QString &state, qsizetype count, const RowAt &rowAt, QString *error);
    // What finish() records of each file, while the operation goes on: the rows saved need not
    // be held until the end.
    [[nodiscard]] bool save(qint64 id, qsizetype count, const RowAt &rowAt, QString *error);
    // The operation's rows with seq in [from, to), in order; null, with why, when they cannot be read.
    std::optional<QList<FileRow>> rows(qint64 id, int from, int to, QString *error);
    // The hashes of the bytes the operation keeps for the files it replaced.
    QSet<QString> keptBy(qint64 id);

    // What the last operation to touch the file wrote there, when the file still shows the size
    // and modification time it left: its bytes need not be read again. Empty otherwise.
    QString writtenHash(const QString &realHost, qint64 size, qint64 mtime);

    QList<OperationRow> operations(bool withFiles); // oldest first
    // Every operation with only its files at the given places; a record whose other files are
    // damaged (see damagedFiles) is damaged here too. A history of many large installs is
    // then read a few places at a time.
    QList<OperationRow> operationsTouching(const QStringList &hosts, const QHash<qint64, QString> &damagedFiles);
    // The operations whose files make their record damaged, with why: read a file at a time.
    QHash<qint64, QString> damagedFiles();
    // True when some operation is still marked open: cheaper than reading them all.
    bool hasOpen();
    // True when nothing was ever recorded.
    bool isEmpty();
    std::optional<OperationRow> operation(qint64 id);
    // Damaged records are named to the player once; true the first time for an id.
    bool firstNotice(qint64 id);

private:
    Journal() = default;
    bool prepare(QString *error);
    bool migrate(QString *error);
    bool addStamps(QString *error);
    bool updateRows(QSqlQuery &q, qint64 id, qsizetype count, const RowAt &rowAt, QString *why);
    QList<OperationRow> readOperations(bool withFiles, const QStringList *hosts);
    QString m_folder;        // host path of Backup/history, no trailing slash
    QString m_connection;
    std::unique_ptr<QSqlQuery> m_writtenQuery; // asked once per file a reinstall replaces
    QStringList m_unflushed; // originals kept by a link, flushed by syncObjects()
    QSet<QString> m_stored;  // objects this process put in the store or found there: known without a look
};

} // namespace history
