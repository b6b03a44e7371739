#pragma once
// Installing a package into the game: the wizard's, the package tool's and the tests' one way
// in, all through the install transaction.
#include "brx/Brx.h"

#include <functional>

class Prompts;
struct InstallerState;

namespace brx {

// A package file's text as installing reads it: its bytes with line breaks made CR LF. A file
// that cannot be read counts as empty text (error tells why).
QByteArray loadPackage(const QString &windowsPath, QString *error = nullptr);

// The question asked before a package writes outside the game and program folders.
QString outsideQuestion(const QStringList &outside);

// True when an entry installs a program: by its install path's extension (exe, dll, com, bat,
// cmd, scr, sh) or by the first bytes it writes (MZ, ELF, "#!").
bool isProgram(const QString &installPath, const QByteArray &start);
// The question asked before a package that contains programs installs them.
QString programsQuestion(const QStringList &programs);

// The message of a package refused for writing into Veldrin's own files, one line an entry.
QString ownFilesMessage(const QStringList &ownFiles);
// What the player is told, and asked, when the files a package replaces cannot be kept.
QString notKeptMessage(const QString &why);
QString withoutUndoQuestion(const QString &why);

struct PlannedWrite
{
    enum Kind { EntryFile, Backup };
    Kind kind = EntryFile;
    int entry = 0;            // 1-based
    QString path;             // Windows path
    qint64 size = 0;          // bytes written
};

struct InstallOptions
{
    QString programFolder;       // Settings.ProgramFolder, ends with a backslash
    QString gameFolder;          // Settings.GameFolder
    float progressStart = 0.0f;  // the bar's value before the install (an install never resets it)
    std::function<void(float)> onProgress;          // after each write, with the bar's new value
    // Asked once, before anything is written, with every install path outside both folders
    // (as shown to the player, see InstallResult::outsideShown);
    // true installs them as written. Unset: such a package is refused.
    std::function<bool(const QStringList &outside)> confirmOutside;
    // Asked once, before anything is written and after the outside question, with the install
    // path of every entry that is a program (see isProgram); true installs them. Unset: such a
    // package is refused.
    std::function<bool(const QStringList &programs)> confirmPrograms;
    // Asked when the history is kept but the files the package replaces cannot be (the store
    // is full or cannot be written), with why; true installs without undo. Unset: NotKept.
    std::function<bool(const QString &why)> confirmWithoutUndo;
    bool withoutUndo = false;    // go on without undo without asking (the command line's --no-history)
    QString source;              // what the history names as the package (its path)
    bool dryRun = false;         // plan only: nothing written, no question asked
    InstallerState *state = nullptr; // mirrored for the rest of the program when given
};

struct [[nodiscard]] InstallResult
{
    enum Outcome { Installed, NotValid, Damaged, Declined, WriteFailed, Unreadable, Refused, NotKept };
    Outcome outcome = NotValid;
    int count = 0;
    std::optional<ReadError> damage;
    QList<PlannedWrite> writes;      // on a dry run, every write planned, in order
    int written = 0;                 // files written, backup copies included
    QStringList outside;             // install paths outside both folders
    QStringList outsideShown;        // the same as asked: with where each really lands, when that differs
    QStringList programs;            // install paths of the entries that are programs
    QStringList ownFiles;            // "entry N: path (what it is)" for entries aimed at Veldrin's own files
    QString failedPath;              // the write that failed
    QString failure;                 // and why (or why the package could not be read)
    QStringList backupFailures;      // "path: reason" of backup copies that could not be written
    QStringList rollbackFailures;    // files that could not be put back (should stay empty)
    float progress = 0.0f;
    qint64 operation = 0;            // the install history's record, 0 without history
    // The message the user is shown, empty when there is none.
    QString message;
};

// Installs a package all or nothing. Reads every entry first; a damaged or empty package
// writes nothing, nor does one with an entry aimed at Veldrin's own files (Refused, each such
// entry named in ownFiles and the message). Entries go in file order, each followed by its backup copy. The old bytes
// of every file replaced are kept aside until the package is done, so that a failing entry
// puts every file back as it was and removes the files the package created. A backup copy
// that cannot be written is reported but does not undo the package.
InstallResult installPackage(const QByteArray &package, const InstallOptions &options);
InstallResult installPackage(const QString &package, const InstallOptions &options);
// The same from a package reader: one entry's bytes in memory at a time.
InstallResult installPackage(PackageReader &package, const InstallOptions &options);

// The wizard's route for a chosen ".brx": reads the file (an unreadable file counts as empty
// text), installs it, and shows the result's message through prompts, if any. With
// loadedText given, it receives the package text as loaded.
InstallResult installPackageFile(const QString &packagePath, InstallOptions options, Prompts &prompts,
                                 QString *loadedText = nullptr);

} // namespace brx
