#pragma once
// The inside of one install transaction, shared by the files that plan it, keep the originals
// aside, and write and commit it. Not part of the interface: only those files include it.
#include "install/HistoryJournal.h"
#include "install/InstallTransaction.h"
#include "install/WriterLock.h"
#include "platform/FileWorker.h"
#include "platform/HostFiles.h"
#include "platform/HostPaths.h"

#include <QBitArray>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <unordered_map>
#include <vector>

namespace install {

// Tests that kill an install mid-way stop it here: each point is a moment after which a kill
// must still leave the game whole after the next start. Only a test build sets the hook.
void checkpoint();

inline bool isRegularFile(const QString &real)
{
    const QFileInfo info(real);
    return info.exists() && !info.isDir();
}

struct Transaction::Private
{
    struct Slot
    {
        Target t;
        int index = 0;
        QString previous;           // hash of the bytes before, with history
        bool kept = false;          // those bytes are in the store
        bool linked = false;        // kept by a link that still shares them with the file
        bool memoryTaken = false;   // without the store: the bytes before, below
        QByteArray memory;
        QString spill;
        bool touched = false;
        QString written;
        // `previous` came from the journal: the file still shows the size and time an earlier
        // operation left it with, so its bytes were not read again.
        bool trusted = false;
        qint64 writtenSize = -1;    // the copy written, as it was put in place
        qint64 writtenMtime = 0;
        bool waiting = false;       // a batched copy of it is not yet in place
        bool saved = false;         // its row in the journal says all of the above
    };

    QString route, source, gameFolder, programFolder;
    QString gameReal, programReal;
    QString historyReal; // the store may be a link to another disk: judged where it really is
    brx::HostPaths paths;

    // The slots. A package of many thousand files would hold thousands of them for the whole
    // install: once the journal holds a slot's row whole, the slot is let go and read back
    // from the journal when it is needed again.
    std::unordered_map<int, Slot> live; // by index; a slot stays where it is while others come and go
    int count = 0;
    int recorded = 0;                   // slots [0, recorded) have their rows in the journal
    bool plansHistory = false;          // some slot's target lies in the install history
    bool letGo = false;                 // some slot was let go since it was recorded
    QBitArray linkedAway;               // let go while still sharing bytes with the store
    Slot lost;                          // what a slot the journal could not give back reads as
    // Each real place's first slot, by a hash of the place; the places whose hash an earlier one
    // had, by themselves.
    QHash<size_t, int> byHash;
    QHash<QString, int> byPlace;
    int known(const QString &real);
    int append(Slot &&slot);
    // The slot, read back from the journal when it was let go; null with why when it cannot be.
    Slot *find(int index, QString *error = nullptr);
    Slot &slot(int index); // `lost` when find() fails
    // Saves what the journal does not yet know of the slots held, and lets go of every slot it
    // then holds whole, when more are held than an install needs at once.
    void trim();
    QList<int> unsaved() const; // slots whose row the journal does not yet hold whole, in order
    // Outlives the journal: the record is closed before another process may open one.
    std::unique_ptr<history::WriterLock> lock;
    std::unique_ptr<history::Journal> journal;
    QList<qint64> undoes;
    qint64 op = 0;
    int preparedCount = 0;
    bool begun = false;
    bool undoAvailable = true;
    bool withoutUndo = false;    // the player chose to go on when an original cannot be kept
    QString stopped;             // why the operation may not start, when it may not
    bool finished = false;
    // Batched writes: new copies written but not yet flushed and renamed into place.
    // What became of a copy's bytes, written on the second thread.
    struct Written
    {
        bool ok = true;
        QString why;
        qint64 size = -1; // the copy as written, as it will be found in place
        qint64 mtime = 0;
        // Handed to the disk as soon as written: measured, that speeds up replacing files and
        // slows down making new ones.
        bool startEarly = false;
        void take(hostfs::AtomicFile &file, const QByteArray &bytes, const QByteArray &tail);
    };
    struct Pending
    {
        int index; // -1: the store's own copy of what was written
        std::unique_ptr<hostfs::AtomicFile> file;
        QString written;
        std::shared_ptr<Written> done;
    };
    bool batched = false;
    QSet<QString> sameFolders; // of files found already holding what was to be written
    std::vector<Pending> pending;
    // Declared after the copies it writes into, so that it stops before they go.
    std::unique_ptr<hostfs::FileWorker> fileWorker;
    hostfs::FileWorker &worker();
    int pendingTargets = 0;       // of them, the targets' own (not the store's copies)
    QList<int> order;             // entries in the order they were first changed
    QSet<QString> changedFolders;
    qint64 inMemory = 0;
    std::unique_ptr<QTemporaryDir> spillDir;
    QHash<QString, QString> realFolders; // host folder -> its real place, each resolved once
    qint64 settledBefore = 0;   // modification times before this (ns) are kept in the rows
    QSet<QString> storeCopies;  // written bytes this batch copies into the store, by hash
    // The copies this operation put there, taken out again by a roll back: their hashes, 32
    // bytes each, as a package may put thousands there.
    QByteArray storeCreated;

    static constexpr qint64 kMemoryLimit = qint64(256) * 1024 * 1024;

    bool inStore(const QString &real) const;
    // Whether a target's real place lies outside both folders, or in the history's store.
    void judgePlace(Target &t) const;
    // A package puts many files into few folders: each folder's links are resolved once, and
    // only a file that is itself a link is resolved on its own.
    QString realOf(const QString &host);
    history::FileRow row(const Slot &s) const;
    // Keeps the bytes of every slot not yet prepared and records them, in one commit. When an
    // original cannot be kept (the store is full or cannot be written), nothing is recorded and
    // `stopped` says why, unless the player chose to go on without undo.
    void prepare();
    // A file an enabled add-on wrote that was changed since outside Veldrin keeps that change as
    // a layer of its own, under this install.
    bool keepHandEdits(int from, QString *why); // the slots from there on
    std::optional<bool> nothingEarlier; // asked once: the history held nothing before this install
    std::optional<QHash<qint64, QString>> earlierDamage; // records of the history found damaged
    qint64 handOp = 0, orderOp = 0;       // the edits kept under this install, and its move above them
    int handRows = 0;
    // Without the store, the bytes a file held are kept in memory, or beyond a limit in a
    // private temporary folder, until the operation ends.
    Slot *toChange(Transaction &transaction, int index, QString *error);
    bool keepAside(Slot &s, QString *error);
    std::optional<QByteArray> before(const Slot &s, QString *error);
    // Flushes the batched copies together, then renames each into place after its own flush.
    bool flushPending(QString *error, QString *failedPath = nullptr);
    // What an operation wrote is kept by a copy of its own so an add-on can come back without
    // its source: made from the bytes in hand, flushed with the batch, rather than read back.
    void copyToStore(const QString &hash, const QByteArray &bytes, const QByteArray &tail);
    void storedHere(const QString &hash); // a copy this operation put in the store
    QString hashOf(const QByteArray &bytes, const QByteArray &tail);
    QByteArray hashed, hashedTail; // the last bytes hashed, and their name
    QString hashedHex;
    void settle(); // from now on, what the rows may say of the files' times
    void changed(int i);
    void release();
    // Ends the record: its state, and the rows not saved yet.
    bool finishRecord(const QString &state, QString *why);
};

} // namespace install
