#pragma once
// The install history: every install operation Veldrin made, the player's original files kept
// for good, and undoing any operation in any order. History is kept only when the program
// folder holds "Backup\history\"; without it installs go on as they always did.
//
// Everything here is safe on a damaged or hand-edited history: a record that cannot be read is
// reported once and skipped, bytes whose hash does not match are never put back silently, and
// nothing here blocks an install.
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

namespace history {

enum class State {
    Unfinished,   // still running, or killed before it finished (rolled back at the next start)
    Done,
    RolledBack,   // failed and was put back, or put back at start after a kill
    Undone,       // undone by a later operation that is itself not undone
    NoUndo,       // done, but its previous bytes could not be kept: undo not available
    Damaged,      // the record cannot be read; left as it is and skipped
};
// "unfinished", "done", "rolled back", "undone", "undo not available", "damaged"
QString stateText(State state);

struct Operation
{
    qint64 id = 0;
    QDateTime time;          // when it began (local time)
    QString route;           // "map", "landscape", "skin", "tattoo", "file", "package", "undo", "restore all"
    QString source;          // the window, the chosen file or package, or the operation undone
    QString description;     // in words a player reads: "Map a.txt from the map window"
    int fileCount = 0;
    State state = State::Done;
    QString problem;         // for a damaged record: what is wrong with it
};

struct FileChange
{
    QString path;            // Windows path as the operation named it
    QString hostPath;        // where it really went
    bool created = false;    // the file did not exist before the operation
    bool removed = false;    // the operation removed the file (an undo of a creation)
    QString previousHash;    // sha256 of the bytes before, empty when created
    QString writtenHash;     // sha256 of the bytes the operation left, empty when removed
    bool changedSince = false; // the file now holds something else than the operation left
};

struct [[nodiscard]] UndoOutcome
{
    enum Result {
        Done,                // every file is back; operation recorded as `operation`
        NeedsConfirmation,   // files changed since: ask about `changed`, then call again confirmed
        Refused,             // unknown id, damaged record, bytes that do not match, nothing to undo
        Failed,              // a write failed; what could not be put back is in the message
    };
    Result result = Refused;
    QStringList changed;     // Windows paths changed since the operation (NeedsConfirmation)
    QString message;         // one or more lines for the player; empty on a plain success
    qint64 operation = 0;    // the undo's own operation id, when one was recorded
};

class History
{
public:
    // gameFolder is used only for telling inside from outside when an undo writes.
    explicit History(const QString &programFolder, const QString &gameFolder = QString());
    ~History();
    History(const History &) = delete;
    History &operator=(const History &) = delete;

    // False when there is no "Backup\history\" or the journal cannot be opened; problem() says.
    bool available() const;
    QString problem() const;

    // Every operation, newest first; damaged records included with State::Damaged.
    QList<Operation> operations();
    // The files of one operation, in the order it wrote them. Empty for an unknown id.
    QList<FileChange> files(qint64 id);

    // Undoes one operation: each of its files goes back to what it held before. Files changed
    // since are listed and nothing is done unless confirmed. The undo is itself an operation.
    UndoOutcome undo(qint64 id, bool confirmed);
    // Every file Veldrin ever changed goes back to what it was before Veldrin first touched
    // it; files it created are removed. Itself an operation.
    UndoOutcome restoreAllOriginals(bool confirmed);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace history
