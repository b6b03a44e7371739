#pragma once
// Putting back what a process killed in the middle of an install left open. It judges places
// with a transaction, and every transaction recovers first; so the lock, below both, runs it
// through the function this unit hands it when the program starts.
#include <QString>

namespace history {

// Puts back what an install killed in the middle left behind. Returns the text to show the
// player once (what was put back, damaged records found), or empty when there was nothing.
// Only places inside the game and program folders (and not in the history) are written; any
// other place a record names is reported and left alone.
QString recoverUnfinished(const QString &programFolder, const QString &gameFolder);

} // namespace history
