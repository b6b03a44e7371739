#pragma once
// Where a program folder keeps its install history, and whether it keeps one at all: below
// everything that reads or writes the history.
#include <QString>

namespace history {

// ProgramFolder + "Backup\history\" (a Windows path).
QString folderOf(const QString &programFolder);
// True when the program folder keeps a history.
bool isKept(const QString &programFolder);
// Creates "Backup\history\" (and "Backup\" if needed) at the player's request.
bool createFolder(const QString &programFolder, QString *error = nullptr);

} // namespace history
