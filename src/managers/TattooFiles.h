#pragma once
// The tattoo slots: where each sits in the window, what it is called in a profile and in the
// backup folder, and putting a picked picture into a profile without losing the old one.
#include <QByteArray>
#include <QString>
#include <functional>

#include "common/Twips.h"

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

// Why these bytes cannot be a tattoo, in words for the player; empty when they are a whole
// Windows bitmap. The game reads only bitmaps, so what counts is the content, not the name: a
// PNG renamed ".bmp" is refused like a bitmap cut short.
QString refusalOf(const QByteArray &bytes);

struct PickInstall
{
    bool pickKept = false;     // Backup\tattoos\symbolN.bmp holds the picture
    bool installed = false;    // the profile's symbolN.bmp holds it
    bool safetyCopied = false; // the profile had a picture there and it is kept
    QString problem;           // why the profile was left as it was; empty when it was not
    bool withoutUndo = false;  // the player chose to go on without undo
};

// One pick as one install operation, so that one undo takes back one pick: the copy of the
// picture in Backup\tattoos\ and, when a profile is loaded (profileFolder not empty), the
// picture as the profile's symbolN.bmp. The profile's current picture of that slot, if it has
// one, is copied to its backup first unless a backup of it exists already (that one holds the
// player's own picture); when that copy cannot be made the profile is left untouched. A copy
// in Backup\tattoos\ that cannot be written is left alone, as the window always did.
// askWithoutUndo is asked, before anything is written, when a file the pick replaces cannot be
// kept for undo; unset or false leaves everything as it was.
PickInstall installPick(const QByteArray &picture, const QString &gameFolder, const QString &programFolder,
                        const QString &profileFolder, int n,
                        const std::function<bool(const QString &why)> &askWithoutUndo = {});

} // namespace tattoo
