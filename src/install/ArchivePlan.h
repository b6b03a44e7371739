#pragma once
// Where each file of a downloaded add-on archive goes, shown to the player before anything is
// written, and the install of the files the player keeps ticked as one undoable operation.
#include "brx/Archive.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace archiveplan {

struct Item
{
    enum Kind { GameFile, PackageEntry, Readme, Tattoo, LeftOut };
    QString source;     // the path inside the archive
    int entry = -1;     // the archive entry it comes from
    int packageEntry = -1; // for a package's entry: its place in the package, from 0
    Kind kind = LeftOut;
    QString target;     // Windows path written (empty when left out)
    QString backup;     // a package entry's copy under Backup\brx\, when it gets one
    QString reason;     // why left out, or what the player does next (tattoo pictures)
    qint64 size = 0;
    bool chosen = true; // the player may untick; a left-out file is never written
};

struct Plan
{
    QString archive;   // Windows path of the archive
    QString name;      // the folder under Downloads\ kept for it
    QString refusal;   // set when the archive is refused as a whole: nothing is written
    QList<Item> items;
    bool ok() const { return refusal.isEmpty(); }
    int chosenCount() const;
};

inline const QString kTattooNote = QStringLiteral("tattoo picture: choose a slot in the tattoo window");

// Reads and checks the archive (a Windows path), then plans every file.
Plan makePlan(const QString &archivePath, const QString &gameFolder, const QString &programFolder,
              const archives::Limits &limits = {});
// The same from bytes in memory (no folder on disk is looked at): for fuzzing.
Plan makePlanFromMemory(const QByteArray &bytes, const QString &name, const QString &gameFolder,
                        const QString &programFolder, const archives::Limits &limits = {});

// The folder name an archive's files are kept under: its bare name without the archive
// extensions, made safe for Windows.
QString keptFolderName(const QString &archivePath);

// One line per item: the source path, a tab, and the target Windows path or "left out: reason".
QStringList planLines(const Plan &plan);

// The question asked before an archive writes outside the game and program folders.
QString outsideQuestion(const QStringList &outside);

struct InstallResult
{
    enum Outcome { Installed, Refused, Declined, Nothing, Failed };
    Outcome outcome = Nothing;
    int written = 0;
    qint64 operation = 0;
    QStringList outside;
    QString message;   // for the player; empty when all went as planned
};

// Installs the chosen items as one transaction: all of them or, on any failure, none.
// confirmOutside is asked once about targets outside the game and program folders; unset,
// such an archive is refused.
InstallResult install(const Plan &plan, const QString &gameFolder, const QString &programFolder,
                      const std::function<bool(const QStringList &)> &confirmOutside = {});

} // namespace archiveplan
