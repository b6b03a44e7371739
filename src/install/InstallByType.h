#pragma once
// A single chosen file is routed by its extension: packages to the package installer, maps,
// landscapes and meshes into their folder of the game after the file they replace is backed
// up, bitmaps to the tattoo manager, anything else refused.
#include <QByteArray>
#include <QString>
#include <functional>

namespace installbytype {

// Text after the last "." of the whole path (folders included); the whole path without one.
QString FileExtensionOf(const QString &path);
// Text after the last backslash; the whole path without one.
QString BareFileNameOf(const QString &path);

enum class Route { Package, GameFile, Tattoo, Archive, Invalid };

struct FileType
{
    QString extension;  // empty for the catch-all row
    QString caption;    // lblType's text
    Route route;
    QString subfolder;  // for Route::GameFile, relative to GameFolder
};

// The row for an extension, compared exactly and case-sensitively; the last row for any other.
const FileType &typeForExtension(const QString &extension);
// An add-on archive (".zip", ".7z", ".rar", ".tar.gz", ... in any case) by its name, else the
// row for its extension.
const FileType &typeForPath(const QString &path);

inline const QString kInvalidTypeMessage =
    QStringLiteral("please select a valid filetype or create a '.brx' to inmstall these files automatically");
inline const QString kTattooMessage = QStringLiteral(
    "To install tattoos you must use the tatto manager..Follow the instructions at the bottom of the screen to "
    "install and manage them");
inline const QString kNoteBackingUp = QStringLiteral("Backing up file");
inline const QString kNoteInstalling = QStringLiteral("Installing Script");
inline const QString kNoteDone = QStringLiteral("Your file was backed and then installed to the correct directory.");

// The chosen file as read when it was chosen: text as a text buffer holds it, or, for a file
// that is not text, its bytes.
struct ChosenFile
{
    QString path;        // Windows path, as the dialog gave it
    bool readable = false;
    bool binary = false;
    QString text;        // CR LF line breaks
    QByteArray bytes;    // only for a binary file
};
ChosenFile loadChosenFile(const QString &windowsPath);

struct GameFileResult
{
    QString target;          // GameFolder + subfolder + bare name
    QString backup;          // ProgramFolder + bare name + ".bak"
    bool backedUp = false;
    bool olderBackupKept = false; // nothing was replaced, and the ".bak" already held a backup
    bool installed = false;
    QString backupError;     // why the backup failed, if it did
    QString installError;    // why the install failed, if it did
    bool withoutUndo = false; // installed without undo, as the player chose

    // Installed, and the file it replaced backed up (or there was none and an older backup stays).
    bool succeeded() const;
};

// What lblNote says when the install is over: kNoteDone only when it succeeded, otherwise what
// went wrong and which files it concerns.
QString outcomeNote(const GameFileResult &r);

struct GameFileSteps
{
    std::function<void(const QString &)> note;   // lblNote
    std::function<void(int)> progress;           // prg1's value, maximum 100
    // Asked, with why, when the file replaced cannot be kept for undo; true installs without
    // undo. Unset: the install stops before anything is written.
    std::function<bool(const QString &why)> askWithoutUndo = {};
};

// Backs up the file about to be replaced as ProgramFolder + name + ".bak" (a lone CR LF when
// there is none, unless that would replace a backup holding something), then writes the
// chosen file into GameFolder + subfolder, both as one install operation. Text goes through as
// text + CR LF; a file that is not text, new or old, is copied byte for byte. Each step is
// skipped on failure and the next one runs; the last note is outcomeNote's, and the progress
// reaches 100 only when the file was installed.
GameFileResult InstallGameFile(const ChosenFile &chosen, const QString &gameFolder, const QString &programFolder,
                               const QString &subfolder, const GameFileSteps &steps = {});

} // namespace installbytype
