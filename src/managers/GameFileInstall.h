#pragma once
// Putting a file into the game's folder tree after keeping a copy of the file it replaces.
// Text goes out as Windows-1252 with CR LF plus one closing CR LF; anything that is not text
// is carried byte for byte so that nothing in it is reinterpreted.
#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace gamefile {

// What is about to be installed: the text as edited in a view, or the loaded file's bytes.
struct Source
{
    bool binary = false;
    QString text;
    QByteArray bytes;
};

// A file as a content window keeps it after loading: its bytes, whether they are text, and
// for text the content as a view shows it (CR LF line breaks).
struct Loaded
{
    QByteArray bytes;
    bool binary = false;
    QString text;
};
std::optional<Loaded> load(const QString &windowsPath);

enum class Backup {
    Written,
    NothingInstalled, // no installed file of that name (or an empty one): the old backup stays
    Failed,           // e.g. the backup folder does not exist
};

enum class Step {
    InstalledFileRead, // the file to be replaced has been read (or found missing)
    BackupDone,        // the backup step is over, whatever came of it
    Installed,         // the new file is in place
};

struct Result
{
    Backup backup = Backup::NothingInstalled;
    bool installed = false;
    QString backupPath; // where the copy of the replaced file went, when one was tried
    QString backupText; // the replaced file as text, when it was text
    QString backupError;  // why the backup failed
    QString installError; // why the install failed
    bool withoutUndo = false; // installed without undo, as the player chose
};

// Which install this is, for the install history, and the folders it writes in.
struct Where
{
    QString route;          // "landscape", "skin"
    QString source;         // the window or the loaded file
    QString gameFolder;
    QString programFolder;
    // Asked, with why, when the file replaced cannot be kept for undo; true installs without
    // undo. Unset: the install stops before anything is written.
    std::function<bool(const QString &why)> askWithoutUndo = {};
};

// backupPath with " (N)" before its extension (" (2)" for the second copy); backupPath itself
// for N = 1.
QString numberedBackupPath(const QString &backupPath, int number);
// Where the copy of a replaced file goes: backupPath while it holds nothing or the same bytes
// the copy would hold, else the first numbered name beside it that is free or holds the same
// bytes. So the first copy, the game's own file, is never written over by a later one.
QString backupPathFor(const QString &backupPath, const QByteArray &replaced);

// Reads the installed file at targetPath, writes it to backupPath or beside it (backupPathFor;
// same rule as the install: text as text, anything else byte for byte), then writes the source
// over targetPath, both as one install operation. Each step runs whatever came of the one
// before; onStep hears of each step's end.
Result installWithBackup(const Source &source, const QString &targetPath, const QString &backupPath,
                         const Where &where, const std::function<void(Step)> &onStep = {});

// What a view shows instead of a file that is not text.
QString binarySummary(const QString &fileName, qint64 size);

// Any file as a text view may show it: Windows-1252, with the control bytes a text view
// cannot show made visible as their control pictures.
QString shownAsText(const QByteArray &bytes);

} // namespace gamefile
