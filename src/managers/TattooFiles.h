#pragma once
// The tattoo slots: where each sits in the window, what it is called in a profile and in the
// backup folder, and putting a picked picture into a profile without losing the old one.
#include <QByteArray>
#include <QString>

#include "shell/Twips.h"

namespace tattoo {

constexpr int kSlotCount = 16;

// Slot n (1..16) runs left to right, then top to bottom, four to a row. The place's name is
// left empty: callers name their own widgets.
Place slotBox(int n);
Place slotButton(int n);

// "symbol1.bmp" ... "symbol16.bmp"
QString slotFileName(int n);

// ProgramFolder & "Backup\tattoos\" & "symbolN.bmp": the copy every pick leaves behind.
QString pickBackupPath(const QString &programFolder, int n);

// The chosen file's folder, up to and including its last backslash; empty when it has none.
QString profileFolderOf(const QString &chosenPath);

// The profile folder's own name ("Player1" for "...\Profiles\Player1\").
QString profileName(const QString &profileFolder);

// ProgramFolder & "Backup\tattoos\" & "<profile>-symbolN.bmp": the profile's picture as it
// was before a pick replaced it.
QString profileBackupPath(const QString &programFolder, const QString &profileFolder, int n);

// Writes the pick's copy, ProgramFolder & "Backup\tattoos\symbolN.bmp", as its own install.
bool keepPick(const QByteArray &picture, const QString &programFolder, int n);

struct ProfileInstall
{
    bool installed = false;
    bool safetyCopied = false; // the profile had a picture there and it was kept
    QString problem;           // why nothing was installed, for the user; empty on success
};

// Puts the picture's bytes into the profile as symbolN.bmp. The profile's current picture
// of that slot, if it has one, is copied to its backup first unless a backup of it exists
// already (that one holds the player's own picture); when that copy cannot be made the
// profile is left untouched.
ProfileInstall installIntoProfile(const QByteArray &picture, const QString &profileFolder,
                                  const QString &programFolder, int n);

} // namespace tattoo
