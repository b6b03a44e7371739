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

    // Every target is judged where it really lands before anything is planned or written. A
    // package may hold many thousand entries: they are read again for each pass rather than
    // held, and only the questions' lists are kept from this one.
    install::Transaction transaction(QStringLiteral("package"), options.source, options.gameFolder,
                                     options.programFolder);
    Entry entry;
    QString unread;
    const auto eachEntry = [&](auto &&take) {
        package.rewind();
        for (int k = 1; package.next(entry, &unread); ++k) {
            if (!take(k))
                return false;
        }
        return unread.isEmpty();
    };
    QSet<QString> askedPlaces;
    const bool judged = eachEntry([&](int k) {
        const install::Target t = transaction.judge(entry.installPath);
        if (t.path.isEmpty())
            return true; // its write says why
        // Veldrin's own files are not a package's to write, asked or not; the backup copies
        // are Veldrin's own writing and go where it keeps them.
        const QString own = transaction.ownFile(t);
        if (!own.isEmpty())
            result.ownFiles << QStringLiteral("entry %1: %2 (%3)").arg(k).arg(transaction.shown(t), own);
        // Only the entries' own paths can lead outside, each asked about once.
        if (t.outside && !askedPlaces.contains(t.real)) {
            askedPlaces.insert(t.real);
            result.outside << t.path;
            result.outsideShown << transaction.shown(t);
        }
        // Every program is named before the first write, wherever it goes.
        if (isProgram(entry.installPath, package.entryStart(entry, 4)))
            result.programs << transaction.shown(t);
        if (options.dryRun) {
            const qint64 size = entry.installSize();
            result.writes.append({PlannedWrite::EntryFile, k, entry.installPath, size});
            const QString backupPath = backupPathFor(options.programFolder, entry.title);
            if (!backupPath.isEmpty())
                result.writes.append({PlannedWrite::Backup, k, backupPath, size});
        }
        return true;
    });
    if (!judged) {
        result.outcome = InstallResult::Unreadable;
        result.failure = unread;
        result.writes.clear();
        return result;
    }
    if (!result.ownFiles.isEmpty()) {
        result.outcome = InstallResult::Refused;
        result.message = ownFilesMessage(result.ownFiles);
        result.writes.clear();
        return result;
    }
    if (options.dryRun) {
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

    // Planned a lot of entries at a time, each lot's originals kept and recorded before the
    // next is planned; the install holds only each entry's two slot numbers.
    transaction.setBatched(true);
    transaction.setWithoutUndo(options.withoutUndo);
    QString notKept;
    bool withoutUndo = false;
    const auto keepOriginals = [&] {
        // The originals could not be kept: nothing is touched unless the player goes on without undo.
        if (install::beginOrAsk(transaction, options.confirmWithoutUndo, &withoutUndo, &notKept))
            return true;
        result.outcome = InstallResult::NotKept;
        result.failure = notKept;
        result.message = notKeptMessage(notKept);
        return false;
    };
    const int lot = qMax(1, install::Transaction::plannedAtOnce() / 2); // two targets an entry
    std::vector<std::pair<int, int>> planned; // the entry's own slot and its backup copy's, -1 for none
    planned.reserve(size_t(read.count));
    // Read again, the package must say what it said when it was judged and asked about.
    const QString &changed = kChangedWhileRead;
    bool same = true;
    const bool kept = eachEntry([&](int k) {
        const int file = transaction.add(entry.installPath);
        if (file >= 0) {
            const install::Target &t = transaction.target(file);
            if (!transaction.ownFile(t).isEmpty() || (t.outside && !askedPlaces.contains(t.real))) {
                same = false;
                return false;
            }
        }
        const QString backupPath = backupPathFor(options.programFolder, entry.title);
        planned.emplace_back(file, backupPath.isEmpty() ? -1 : transaction.add(backupPath));
        return k % lot != 0 || keepOriginals();
    });
    if (result.outcome == InstallResult::NotKept || (kept && !keepOriginals()))
        return result;
    if (!kept) {
        result.outcome = InstallResult::Unreadable;
        result.failure = same ? unread : changed;
        return result;
    }

    auto moveBar = [&] {
        result.progress = advance(result.progress, *step);
        if (options.onProgress)
            options.onProgress(result.progress);
    };

    auto failed = [&](int k, const QString &why, const QString &path = QString()) {
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
        return false;
    };
    // Copies flushed to disk together, a batch at a time: one flush after another, each
    // waiting for the disk, made installs many times slower than copying the files.
    const int batch = hostfs::filesAtOnce();
    QByteArray bytes; // one entry's bytes at a time, the same memory for each
    int last = 0;
    const bool wrote = eachEntry([&](int k) {
        last = k;
        if (size_t(k) > planned.size())
            return failed(k, changed);
        const auto [file, backup] = planned.at(size_t(k - 1));
        const QString backupPath = backup >= 0 ? backupPathFor(options.programFolder, entry.title) : QString();
        if ((file >= 0 && transaction.target(file).path != entry.installPath)
            || (backup >= 0 && transaction.target(backup).path != backupPath))
            return failed(k, changed);
        if (options.state) {
            options.state->EntryInstallPath = entry.installPath;
            options.state->EntryTitle = entry.title;
        }
        QString why;
        if (file < 0)
            (void)transaction.judge(entry.installPath, &why);
        const bool read = file >= 0 && package.entryBytes(entry, bytes, &why);
        if (read && isProgram(entry.installPath, bytes) && !result.programs.contains(transaction.shown(file)))
            return failed(k, changed);
        const QByteArray tail;
        if (!read || !transaction.write(file, bytes, tail, &why))
            return failed(k, why);
        ++result.written;
        if (options.state)
            ++options.state->EntriesInstalled;
        moveBar();

        if (backup >= 0) {
            if (transaction.write(backup, bytes, tail, &why))
                ++result.written;
            else
                result.backupFailures << QStringLiteral("%1: %2").arg(backupPath, why);
        }
        moveBar();
        QString path;
        if (transaction.pendingWrites() >= batch && !transaction.flush(&why, &path))
            return failed(k, why, path);
        return true;
    });
    if (result.outcome == InstallResult::WriteFailed)
        return result;
    if (!wrote || last != int(planned.size())) {
        failed(last + 1, unread.isEmpty() ? changed : unread, QStringLiteral("entry %1").arg(last + 1));
        return result;
    }
    QString why, path;
    if (last > 0 && !transaction.flush(&why, &path)) {
        failed(last, why, path);
        return result;
    }
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
