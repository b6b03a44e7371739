#pragma once
// One install, all or nothing, the same for every route that writes into the game or the
// program folder: each target is mapped once, judged inside or outside the player's folders on
// the place it really lands (links resolved, ".." stopped at the drive root), written
// atomically, and on failure put back exactly as it was. When the program folder keeps a
// history, the previous bytes of every replaced file go to the history store for good and the
// operation is journalled before the first file is touched, so a kill at any moment is undone
// at the next start.
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class Prompts;

namespace install {

// Asked, with why, when the history is kept but the originals an install replaces cannot be
// (the store is full or cannot be written); true goes on without undo.
using WithoutUndoQuestion = std::function<bool(const QString &why)>;

// A Windows path with "." and ".." resolved the way Windows does: ".." stops at the drive
// root. Separators become backslashes; a trailing separator is kept.
QString cleanWindowsPath(const QString &windowsPath);

struct Target
{
    QString path;        // Windows path as given
    QString host;        // where the mapping puts it
    QString real;        // where it really lands (written through a link)
    bool outside = false;
    bool history = false; // in the install history's store: no route writes there
    bool existed = false;
};

class Transaction
{
public:
    // route and source are what the history shows: "map" and "frmMap", "package" and the
    // package's path, ...
    Transaction(const QString &route, const QString &source, const QString &gameFolder,
                const QString &programFolder);
    ~Transaction(); // an operation neither committed nor rolled back is rolled back
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    // Where a target would land, judged as add() judges it, without planning it: a package of
    // many thousand files is judged whole before any is planned. An empty path, with the
    // reason, for a path that names no file.
    Target judge(const QString &windowsPath, QString *error = nullptr);
    // Plans one target and returns its index; a path planned before returns the same index.
    // -1, with the reason, for a path that names no file.
    int add(const QString &windowsPath, QString *error = nullptr);
    // Plans a target recorded by an earlier operation: an undo writes where the install did.
    // The recorded place is judged again where it really lands now, as a hand-edited or
    // damaged record must not lead anywhere a package could not.
    int addRecorded(const QString &windowsPath, const QString &realHost);
    // Good until the transaction is next asked to plan, begin, write or look up another
    // target: a large install lets go of what the journal holds and reads it back later.
    const Target &target(int index) const;
    int count() const;
    bool plansHistory() const; // some target planned lies in the install history
    // How many targets a large install plans before it begins (keeps their originals and
    // records them), lot after lot, so that it never holds more than a few thousand.
    static int plannedAtOnce();

    // One target as the player is asked about it when it lies outside both folders: the
    // Windows path, and where it really lands when that differs.
    QString shown(int index) const;
    QString shown(const Target &target) const;

    // What the target is when it is one of Veldrin's own files (the settings, the backups, the
    // downloads, the programs Veldrin set up, the install history), as the player is told;
    // empty when it is not. Packages and archives refuse such a target before writing anything;
    // the install history is refused by write() and remove() for every route.
    QString ownFile(int index) const;
    QString ownFile(const Target &target) const;

    // Keeps the previous bytes of every existing target and journals the operation. Runs by
    // itself on the first write; call it earlier to learn of a store problem first. False, with
    // the reason, when the history is kept but an original cannot be (the store is full or
    // cannot be written) or the operation cannot be recorded: nothing is touched then, and
    // every write fails the same way, unless setWithoutUndo(true) was called first.
    [[nodiscard]] bool begin(QString *error = nullptr);
    // The player's "install without undo": go on when originals cannot be kept.
    void setWithoutUndo(bool withoutUndo);

    // Replaces (or creates) the target with bytes followed by tail, atomically.
    [[nodiscard]] bool write(int index, const QByteArray &bytes, const QByteArray &tail = QByteArray(), QString *error = nullptr);
    // Removes the target, keeping its bytes like a write does.
    [[nodiscard]] bool remove(int index, QString *error = nullptr);

    // The bytes the target held before this operation, when it held any.
    std::optional<QByteArray> previous(int index);

    // Batched: write() leaves each new copy beside its target, open, until flush() flushes them
    // to disk together and renames each into place. Set before the first write.
    void setBatched(bool batched);
    // Finishes the batched writes still waiting; false, with the file and the reason, when one
    // could not be finished (roll back then).
    [[nodiscard]] bool flush(QString *error = nullptr, QString *failedPath = nullptr);
    // Batched writes waiting for flush().
    int pendingWrites() const;

    // Marks the operation finished: finishes the batched writes, flushes the folders written in
    // and records the end. False, with the reason (and what could not be put back), when any of
    // that fails: the operation is rolled back then and nothing of it stays.
    // notPutBack, when given, receives the files the roll back could not put back.
    [[nodiscard]] bool commit(QString *error = nullptr, QStringList *notPutBack = nullptr);
    // Puts back every file written and removes every file created, last first. Returns the
    // files that could not be put back, each with its reason; empty when all is well.
    [[nodiscard]] QStringList rollBack();

    // An undo records which operations it undoes (before begin).
    void setUndoes(const QList<qint64> &operations);

    bool historyKept() const;      // a journal record exists for this operation
    qint64 operationId() const;    // 0 without history
    int writesDone() const;        // files this operation has changed so far

    // Tests only: the Nth file write from now on (counting from 1) fails; 0 turns it off.
    static void failWriteForTesting(int n);
    // Tests only: called at each moment a kill must be survivable, numbered from 1 in the process.
    static void onCheckpointForTesting(void (*hook)(int point));
    // Tests only: while on, no original can be kept in the history's store.
    static void failKeepForTesting(bool on);
    // Tests only: how long after a file was written its size and time may be trusted (100 ms).
    static void settleMarginForTesting(int ms);
    // Tests only: how many slots an install holds before it lets go of those the journal holds
    // whole (0: as shipped).
    static void liveSlotsForTesting(int n);

private:
    bool putBack(QString *error, const QString &why, QStringList *notPutBack);
    struct Private;
    std::unique_ptr<Private> d;
};

// Keeps the originals of every target planned so far and records the operation, before anything
// is written (Transaction::begin). When that cannot be done, ask decides: unset or false stops
// the install with why, true goes on without undo and sets withoutUndo.
[[nodiscard]] bool beginOrAsk(Transaction &transaction, const WithoutUndoQuestion &ask, bool *withoutUndo,
                              QString *error);

// What a route that writes a single file asks when the file it replaces cannot be kept, and
// what the player is told once it went on without undo.
QString withoutUndoFileQuestion(const QString &why);
inline const QString kInstalledWithoutUndo =
    QStringLiteral("It was installed without undo: undo is not available for this install.");
// withoutUndoFileQuestion() asked through the prompts: what a window hands a single-file route.
WithoutUndoQuestion askThrough(Prompts &prompts);

// Keeping the player-visible copy of a file about to be replaced, then replacing it, inside one
// transaction: the one way the landscape and skin window and the wizard's single-file install do
// it. A replaced text file is kept as a text buffer would write it (CR LF line breaks and one
// closing CR LF); anything else byte for byte.
struct Replacement
{
    QString target;                 // Windows path
    QString backup;                 // Windows path of the copy the player sees
    // Without a file to replace (or with an empty one): false writes no copy; true writes a
    // lone CR LF, as a fresh text buffer would, unless the copy already holds something.
    bool copyWhenNothingReplaced = false;
    WithoutUndoQuestion askWithoutUndo; // unset: an original that cannot be kept stops the install
};

struct [[nodiscard]] ReplacementResult
{
    std::optional<QByteArray> replaced; // what the target held before
    bool backupTried = false;
    bool backedUp = false;
    bool olderBackupKept = false;   // nothing was replaced and the copy already held something
    bool installed = false;
    bool withoutUndo = false;       // the player chose to go on without undo
    QString backupError;
    QString installError;
};

// onStep(0) once the file to be replaced was read, onStep(1) once the copy is dealt with.
// bytes + tail are written unless source is unreadable (installError then says so). Both files
// are planned before either is written, so a question about keeping them comes first.
ReplacementResult backUpAndReplace(Transaction &transaction, const Replacement &what,
                                   const std::optional<QByteArray> &bytes, const QByteArray &tail,
                                   const std::function<void(int)> &onStep = {});

// Writes one file into the game or program folder as its own operation, outside question
// answered by the caller beforehand. Used by the routes that write a single file. ask and
// withoutUndo as for beginOrAsk().
[[nodiscard]] bool installFile(const QString &route, const QString &source, const QString &gameFolder,
                 const QString &programFolder, const QString &windowsPath, const QByteArray &bytes,
                 QString *error = nullptr, const WithoutUndoQuestion &ask = {}, bool *withoutUndo = nullptr);

} // namespace install
