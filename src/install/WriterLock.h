#pragma once
// One writer at a time on a program folder's history, across processes: an install, an undo,
// "Restore all originals" and the start-up recovery each hold it from before they read the
// journal until their record is closed. The kernel drops it when its holder dies, so a lock
// that is held always belongs to a live process, and an operation it leaves open is running,
// not unfinished.
#include <QString>
#include <functional>

namespace history {

// What a waiting install shows: the window's status line, one line on the command line.
QString waitingText();

class WriterLock
{
public:
    enum Mode { Wait, NoWait };

    // programFolder is a Windows path. Without a history there is nothing to guard and the
    // lock counts as held. Taken again in a process that holds it, it is shared with the
    // holder rather than waited for.
    WriterLock(const QString &programFolder, Mode mode);
    ~WriterLock();
    WriterLock(const WriterLock &) = delete;
    WriterLock &operator=(const WriterLock &) = delete;

    // False only after NoWait found another process holding it.
    bool held() const { return m_held; }
    // True when this process already held it before this lock was taken.
    bool nested() const { return m_nested; }

    // Told true once a lock has to wait for another process, false once it has it. Set by the
    // window (the status line) and the command line (stderr).
    static void setWaitNotice(std::function<void(bool waiting)> notice);

private:
    QString m_key;
    bool m_held = false;
    bool m_nested = false;
};

// Once this process has taken the lock (not again while it holds it), what a process killed in
// the meantime left open is put back before anything reads the journal, and told: through the
// teller when one is set (the window's message), else on stderr.
void recoverAfterTaking(const WriterLock &lock, const QString &programFolder, const QString &gameFolder);
void setRecoveryTeller(std::function<void(const QString &text)> tell);
// Tells text (when there is any) the way a recovery is told.
void tellRecovered(const QString &text);
// How to put back what a killed process left open, returning what to tell. The history, which
// lies above the lock, hands it over; until it does, taking the lock recovers nothing.
void setRecovery(std::function<QString(const QString &programFolder, const QString &gameFolder)> recover);

} // namespace history
