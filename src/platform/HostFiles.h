#pragma once
// The one way the program replaces a file on the host: a new copy in a temporary file beside
// the target, flushed to disk, then renamed over it, so that at every moment the target holds
// either all of its old bytes or all of its new ones. A target that is a link is written
// through the link: the file replaced is the one the link names, and the link stays.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

namespace hostfs {

// Where a host path really leads, so that two spellings of one place compare equal: made
// absolute, links in every existing component (the last one included) followed as Wine's own
// lookups follow them, so a ".." after a link leaves the link's target; the part that does
// not exist yet, or lies past a link to nowhere or a circle of links, kept as written. No
// trailing slash. One look per component: installs ask this for every folder they write to.
QString realPlace(const QString &hostPath);

// True when path lies strictly inside folder, both already real places.
bool inside(const QString &realPath, const QString &realFolder);

// Runs work(0) .. work(count - 1) on a few threads at once. Flushes waited for one after
// another each wait for the disk on their own; waited for side by side, the disk finishes them
// together.
void sideBySide(size_t count, const std::function<void(size_t)> &work);

// How many new copies an install may hold open before it flushes them together: each flush of
// the disk costs the same for few files or many, so the more at once the better, within what
// the system lets a process hold open (raised from its usual soft limit where allowed).
int filesAtOnce();
void setFilesAtOnceForTesting(int count); // 0: what the system allows again

// Flushes each file's bytes to disk, side by side. False when any of them failed.
[[nodiscard]] bool flushFiles(const QStringList &hostPaths);

// Flushes a folder's entries (files created or renamed in it) to disk.
[[nodiscard]] bool syncFolder(const QString &hostFolder);
// Flushes, once each, the file systems the folders are on (the disk's own cache included):
// what holdsExactly() found written there is then on disk. False when a flush failed.
[[nodiscard]] bool syncFileSystemsOf(const QStringList &hostFolders);

// Whether writes are flushed to disk (always, except in tests that check logic, not
// durability, and would otherwise spend minutes waiting for the disk).
bool flushing();
void setFlushingForTesting(bool on);
// Tests only: the flushes that fail from now on, as on a failing disk (0: none).
enum FlushFailure { FailFileFlushes = 1, FailFolderFlushes = 2 };
void failFlushesForTesting(int which);

// A file's size and modification time (nanoseconds since the epoch): what a later look
// compares to tell that it was not written since. False when there is no such file.
bool fileStamp(const QString &hostPath, qint64 *size, qint64 *mtime);

// True when the file holds exactly bytes followed by tail, as read from it now; its stamp as
// fileStamp() gives it. Any of its bytes not yet written out are written and waited for;
// syncFileSystemsOf() then puts them past the disk's cache. False when in doubt: no such
// file, another size, other bytes, a change while it was read, or a failed write.
bool holdsExactly(const QString &hostPath, const QByteArray &bytes, const QByteArray &tail, qint64 *size, qint64 *mtime);

class AtomicFile
{
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile &) = delete;
    AtomicFile &operator=(const AtomicFile &) = delete;
    ~AtomicFile() { abort(); }

    // No folder is created; a folder in the way or a missing folder is refused.
    bool open(const QString &hostPath, QString *error);
    bool append(const QByteArray &bytes, QString *error);
    // The pieces one after another, as one write where the system allows: a caller that
    // gathers many small buffers need not copy them into one first.
    bool append(const std::vector<QByteArray> &pieces, QString *error);
    // Flushes the bytes, then renames them into place. Nothing is left behind on failure.
    bool commit(QString *error);
    // Lets the system start writing the bytes to disk now; commit still waits for them.
    void startFlush();
    // Waits for the bytes to reach the disk, as commit would; commit then only renames. Safe
    // to call for different files from different threads at once.
    bool flushData();
    // flushData() for many files at once: each file system they are on is flushed once, which
    // costs the disk what one flush costs rather than one per file. Worth it from a few dozen
    // files on; the files' own results are set as flushData() would set them.
    static bool flushTogether(const std::vector<AtomicFile *> &files);
    void abort();
    // The new copy's size and modification time, as fileStamp() will find them once it is in
    // place (before commit).
    bool stamp(qint64 *size, qint64 *mtime) const;

    // The file really written (the link's target when the path was a link); set by open.
    QString target() const { return m_targetName; }
    // Tells open() that the target's real place is already known (skips resolving it again).
    void setResolved(bool resolved) { m_resolved = resolved; }
    // A file that does not exist yet is written under its own name rather than renamed into
    // place: for a caller that recorded its absence, and removes whatever a kill leaves there.
    void setNewInPlace(bool inPlace) { m_newInPlace = inPlace; }

private:
    QString m_targetName;
    QByteArray m_target;
    QByteArray m_temp;
    int m_fd = -1;
    bool m_resolved = false;
    bool m_newInPlace = false;
    bool m_inPlace = false;
    bool m_flushed = false;
    int m_flushError = 0;
    quint64 m_opened = 0; // the order files were opened in, across all of them
#ifdef Q_OS_WIN
    class QSaveFile *m_file = nullptr;
#endif
};

// Creates or replaces the file with bytes followed by tail.
bool writeFile(const QString &hostPath, const QByteArray &bytes, const QByteArray &tail, QString *error);

} // namespace hostfs
