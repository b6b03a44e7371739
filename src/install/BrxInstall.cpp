// Installing a package all or nothing: plan every write from the whole package, ask once about
// paths outside the player's folders, then write in file order inside one install transaction,
// which keeps the old bytes of every file touched so a failure puts the game back exactly.
#include "install/BrxInstall.h"

#include "brx/Brx.h"
#include "install/InstallTransaction.h"
#include "install/ShortList.h"
#include "platform/HostFiles.h"
#include "platform/HostPaths.h"

#include "common/Modual1.h"
#include "common/Prompts.h"
#include "platform/FileIO.h"
#include "platform/WinPath.h"

#include <QSet>

namespace brx {

namespace {

QString failureMessage(const Entry &entry, int k, const QString &why, const QStringList &notPutBack, int written)
{
    QString message = entry.installPath.isEmpty()
        ? QStringLiteral("The package was not installed: entry %1 has no install path.").arg(k)
        : QStringLiteral("The package was not installed: %1 could not be written (%2).").arg(entry.installPath, why);
    if (!notPutBack.isEmpty())
        message += QStringLiteral(" These files could not be put back: %1").arg(history::shortList(notPutBack, QStringLiteral("; ")));
    else if (written > 0)
        message += QStringLiteral(" Every file it had written was put back as it was.");
    return message;
}

} // namespace

QString notKeptMessage(const QString &why)
{
    return QStringLiteral("The package was not installed: %1, so it could not be undone. Nothing in the game was "
                          "changed.")
        .arg(why);
}

QString withoutUndoQuestion(const QString &why)
{
    return QStringLiteral("Veldrin cannot keep the files this package replaces: %1.\n\nInstall without undo? The "
                          "package could not be undone later. No leaves the game as it is.")
        .arg(why);
}

QString ownFilesMessage(const QStringList &ownFiles)
{
    return QStringLiteral("The package was not installed: it would write into Veldrin's own files, which no package "
                          "may change:\n\n%1")
        .arg(ownFiles.join(QLatin1Char('\n')));
}

QByteArray loadPackage(const QString &windowsPath, QString *error)
{
    const auto bytes = fileio::readBytes(windowsPath, error);
    return bytes ? normalizeBreaks(*bytes) : QByteArray();
}

QString outsideQuestion(const QStringList &outside)
{
    return QStringLiteral("This package installs files outside the game folder and the program folder:\n\n%1\n\n"
                          "Install them as written? No cancels the whole package.")
        .arg(outside.join(QLatin1Char('\n')));
}

bool isProgram(const QString &installPath, const QByteArray &start)
{
    static const QStringList kinds = {QStringLiteral("exe"), QStringLiteral("dll"), QStringLiteral("com"),
                                      QStringLiteral("bat"), QStringLiteral("cmd"), QStringLiteral("scr"),
                                      QStringLiteral("sh")};
    const QString name = winpath::bareFileName(installPath);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0 && kinds.contains(name.mid(dot + 1), Qt::CaseInsensitive))
        return true;
    return start.startsWith("MZ") || start.startsWith("\x7f" "ELF") || start.startsWith("#!");
}

QString programsQuestion(const QStringList &programs)
{
    return QStringLiteral("This package contains programs: %1\n\nA program can change anything on this computer once "
                          "it is started. Install them? No cancels the whole package.")
        .arg(programs.join(QLatin1String(", ")));
}

InstallResult installPackage(const QByteArray &package, const InstallOptions &options)
{
    PackageReader reader(package);
    return installPackage(reader, options);
}

InstallResult installPackage(PackageReader &package, const InstallOptions &options)
{
    InstallResult result;
    result.progress = options.progressStart;
    QString unreadable;
    const ReadResult read = package.scan(&unreadable);
    if (!unreadable.isEmpty()) {
        result.outcome = InstallResult::Unreadable;
        result.failure = unreadable;
        return result;
    }
    result.count = read.count;
    const std::optional<double> step = progressStep(read.count);
    if (options.state) {
        options.state->PackageCursor = 1;
        options.state->EntriesInstalled = 0;
        options.state->PackageEntryCount = qint16(read.count);
        if (step)
            options.state->ProgressStep = *step;
    }
    if (!read.valid()) {
        result.outcome = InstallResult::NotValid;
        result.message = kNotValidMessage;
        return result;
    }
    if (read.error) {
        result.outcome = InstallResult::Damaged;
        result.damage = read.error;
        result.message = damagedMessage(*read.error);
        return result;
    }

    // Every target is planned, and judged where it really lands, before anything is written.
    install::Transaction transaction(QStringLiteral("package"), options.source, options.gameFolder,
                                     options.programFolder);
    struct Planned
    {
        int file = -1;
        int backup = -1;
        QString backupPath;
        QString why;
    };
    QList<Planned> plan;
    plan.reserve(read.entries.size());
    for (const Entry &entry : read.entries) {
        Planned p;
        p.file = transaction.add(entry.installPath, &p.why);
        p.backupPath = backupPathFor(options.programFolder, entry.title);
        if (!p.backupPath.isEmpty())
            p.backup = transaction.add(p.backupPath);
        plan.append(p);
    }
    // Veldrin's own files are not a package's to write, asked or not; the backup copies below
    // are Veldrin's own writing and go where it keeps them.
    int number = 0;
    for (const Planned &p : std::as_const(plan)) {
        ++number;
        const QString own = p.file >= 0 ? transaction.ownFile(p.file) : QString();
        if (!own.isEmpty())
            result.ownFiles << QStringLiteral("entry %1: %2 (%3)").arg(number).arg(transaction.shown(p.file), own);
    }
    if (!result.ownFiles.isEmpty()) {
        result.outcome = InstallResult::Refused;
        result.message = ownFilesMessage(result.ownFiles);
        return result;
    }
    // Only the entries' own paths can lead outside; their backup copies go where the player
    // keeps Veldrin's backups.
    QSet<int> asked;
    for (const Planned &p : std::as_const(plan)) {
        if (p.file >= 0 && transaction.target(p.file).outside && !asked.contains(p.file)) {
            asked.insert(p.file);
            result.outside << transaction.target(p.file).path;
            result.outsideShown << transaction.shown(p.file);
        }
    }
    // Every program is named before the first write, wherever it goes.
    {
        int k = 0;
        for (const Entry &entry : read.entries) {
            const Planned &p = plan.at(k++);
            if (p.file >= 0 && isProgram(entry.installPath, package.entryStart(entry, 4)))
                result.programs << transaction.shown(p.file);
        }
    }
    if (options.dryRun) {
        int k = 0;
        for (const Entry &entry : read.entries) {
            const qint64 size = entry.installSize();
            const Planned &p = plan.at(k++);
            result.writes.append({PlannedWrite::EntryFile, k, entry.installPath, size});
            if (p.backup >= 0)
                result.writes.append({PlannedWrite::Backup, k, p.backupPath, size});
        }
        result.outcome = InstallResult::Installed;
        return result;
    }
    if (!result.outside.isEmpty() && !(options.confirmOutside && options.confirmOutside(result.outsideShown))) {
        result.outcome = InstallResult::Declined;
        return result;
    }
    if (!result.programs.isEmpty() && !(options.confirmPrograms && options.confirmPrograms(result.programs))) {
        result.outcome = InstallResult::Declined;
        return result;
    }

    auto moveBar = [&] {
        result.progress = advance(result.progress, *step);
        if (options.onProgress)
            options.onProgress(result.progress);
    };

    auto failed = [&](const Entry &entry, int k, const QString &why, const QString &path = QString()) {
        // Copies still waiting to be flushed count as written: the player sees the same
        // message however far the batch had got.
        const int written = transaction.writesDone() + transaction.pendingWrites();
        result.outcome = InstallResult::WriteFailed;
        result.failedPath = path.isEmpty() ? entry.installPath : path;
        result.failure = why;
        result.rollbackFailures = transaction.rollBack();
        Entry shown = entry;
        shown.installPath = result.failedPath;
        result.message = failureMessage(shown, k, why, result.rollbackFailures, written);
        return result;
    };
    // Copies flushed to disk together, a batch at a time: one flush after another, each
    // waiting for the disk, made installs many times slower than copying the files.
    const int batch = hostfs::filesAtOnce();
    QByteArray bytes; // one entry's bytes at a time, the same memory for each
    transaction.setBatched(true);
    transaction.setWithoutUndo(options.withoutUndo);
    // The originals could not be kept: nothing is touched unless the player goes on without undo.
    QString notKept;
    bool withoutUndo = false;
    if (!install::beginOrAsk(transaction, options.confirmWithoutUndo, &withoutUndo, &notKept)) {
        result.outcome = InstallResult::NotKept;
        result.failure = notKept;
        result.message = notKeptMessage(notKept);
        return result;
    }
    int k = 0;
    for (const Entry &entry : read.entries) {
        const Planned &p = plan.at(k++);
        if (options.state) {
            options.state->EntryInstallPath = entry.installPath;
            options.state->EntryTitle = entry.title;
        }
        QString why = p.why;
        const bool read = p.file >= 0 && package.entryBytes(entry, bytes, &why);
        const QByteArray tail;
        const qint64 size = bytes.size();
        if (!read || !transaction.write(p.file, bytes, tail, &why))
            return failed(entry, k, why);
        result.writes.append({PlannedWrite::EntryFile, k, entry.installPath, size});
        if (options.state)
            ++options.state->EntriesInstalled;
        moveBar();

        if (p.backup >= 0) {
            if (transaction.write(p.backup, bytes, tail, &why))
                result.writes.append({PlannedWrite::Backup, k, p.backupPath, size});
            else
                result.backupFailures << QStringLiteral("%1: %2").arg(p.backupPath, why);
        }
        moveBar();
        QString path;
        if (transaction.pendingWrites() >= batch && !transaction.flush(&why, &path))
            return failed(entry, k, why, path);
    }
    QString why, path;
    if (!read.entries.isEmpty() && !transaction.flush(&why, &path))
        return failed(read.entries.last(), k, why, path);
    if (!transaction.commit(&why, &result.rollbackFailures)) {
        result.outcome = InstallResult::WriteFailed;
        result.failure = why;
        result.message = QStringLiteral("The package was not installed: %1.").arg(why);
        return result;
    }
    result.operation = transaction.operationId();
    result.outcome = InstallResult::Installed;
    if (!result.backupFailures.isEmpty())
        result.message = QStringLiteral("The package was installed, but these backup copies could not be written:\n%1")
                             .arg(result.backupFailures.join(QLatin1Char('\n')));
    return result;
}

InstallResult installPackage(const QString &package, const InstallOptions &options)
{
    return installPackage(normalizeBreaks(fileio::encode1252(package)), options);
}

InstallResult installPackageFile(const QString &packagePath, InstallOptions options, Prompts &prompts,
                                 QString *loadedText)
{
    const QByteArray package = loadPackage(packagePath);
    if (loadedText)
        *loadedText = fileio::decode1252(package);
    if (!options.confirmOutside)
        options.confirmOutside = [&prompts](const QStringList &outside) {
            return prompts.question(outsideQuestion(outside));
        };
    if (!options.confirmWithoutUndo)
        options.confirmWithoutUndo = [&prompts](const QString &why) {
            return prompts.question(withoutUndoQuestion(why));
        };
    if (!options.confirmPrograms)
        options.confirmPrograms = [&prompts](const QStringList &programs) {
            return prompts.question(programsQuestion(programs));
        };
    if (options.source.isEmpty())
        options.source = packagePath;
    InstallResult result = installPackage(package, options);
    if (!result.message.isEmpty())
        prompts.message(result.message);
    return result;
}

} // namespace brx
