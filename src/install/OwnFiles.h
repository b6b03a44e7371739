#pragma once
// Veldrin's own files in its program folder: the settings, the backups, the downloads and the
// programs it set up. They are Veldrin's to write, not a package's: a package or archive that
// names one of them is refused, and the install history is written by no install route at all.
// Every judgement is made on real host places (links resolved), as inside and outside are.
#include <QString>

namespace install {

// What the real place is, as the player is told ("Veldrin's settings file"), or empty when it is
// none of Veldrin's own files. programReal is the real host place of the program folder.
QString ownFile(const QString &real, const QString &programReal);

// True when the real place lies in the install history's folder (or is that folder).
bool inHistoryStore(const QString &real, const QString &programReal);

} // namespace install
