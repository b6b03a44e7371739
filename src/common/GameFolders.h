#pragma once
// Every folder name the program relies on, under the game's folder and under its own, in one
// place: Windows spelling, trailing backslash, joined to a folder field by plain concatenation.
#include <QLatin1String>

namespace folders {

// Under GameFolder.
inline constexpr QLatin1String kPlaygrounds("Scripts\\Playgrounds\\");
inline constexpr QLatin1String kLandscape("Data\\Landscape\\");
inline constexpr QLatin1String kCreatureMesh("Data\\CreatureMesh\\");
inline constexpr QLatin1String kProfiles("Profiles\\");

// Under ProgramFolder.
inline constexpr QLatin1String kBackup("Backup\\");
inline constexpr QLatin1String kBackupLandscape("Backup\\Landscape\\");
inline constexpr QLatin1String kBackupSkin("Backup\\Skin\\");
inline constexpr QLatin1String kBackupTattoos("Backup\\tattoos\\");
inline constexpr QLatin1String kBackupBrx("Backup\\brx\\");
// The install history: originals kept for good and the journal of every install.
inline constexpr QLatin1String kBackupHistory("Backup\\history\\");
inline constexpr QLatin1String kDownloads("Downloads\\");
// The programs Veldrin starts from its own folder.
inline constexpr QLatin1String kHelp("Help\\");
inline constexpr QLatin1String kSteadwright("Steadwright\\");
// Left in a program's folder by the setup that put the program there: the folder is Veldrin's,
// not the player's, and no package writes into it.
inline constexpr QLatin1String kSetUpMark("set-up-by-veldrin.txt");

} // namespace folders
