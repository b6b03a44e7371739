// Planning and installing an add-on archive. The archive is read twice: once through every
// byte to check it and plan where each file goes (nothing written), once more to install the
// files the player kept, streaming one entry at a time into a single install transaction.
#include "install/ArchivePlan.h"

#include "brx/Brx.h"
#include "common/GameFolders.h"
#include "install/InstallByType.h"
#include "install/InstallTransaction.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QSet>

#include <algorithm>

namespace archiveplan {

namespace {

// A package inside an archive is read whole to plan its entries; past this it is left out.
constexpr qint64 kLargestPackage = qint64(256) << 20;

const QLatin1String kDownloads("Downloads\\");

QStringList partsOf(const QString &path)
{
    QStringList parts;
    for (const QString &part : QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'))) {
        if (!part.isEmpty() && part != QLatin1String("."))
            parts << part;
    }
    return parts;
}

bool isReadme(const QString &bareName)
{
    const QString lower = bareName.toLower();
    return lower.startsWith(QLatin1String("readme")) || lower.endsWith(QLatin1String(".nfo"))
        || lower.endsWith(QLatin1String(".htm")) || lower.endsWith(QLatin1String(".html"));
}

// The game folder a path inside the archive names, after any leading folders: the folder as
// the game spells it and the rest of the path below it.
bool gamePlace(const QStringList &parts, QString *folder, QString *rest)
{
    auto is = [&](int i, const char *name) { return parts.at(i).compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
    for (int i = 0; i + 2 < parts.size(); ++i) {
        QString found;
        const int below = i + 2;
        if (is(i, "Scripts") && is(i + 1, "Playgrounds"))
            found = folders::kPlaygrounds;
        else if (is(i, "Data") && is(i + 1, "Landscape"))
            found = folders::kLandscape;
        else if (is(i, "Data") && is(i + 1, "CreatureMesh"))
            found = folders::kCreatureMesh;
        else if (is(i, "Profiles"))
            found = folders::kProfiles + parts.at(i + 1) + QLatin1Char('\\');
        if (found.isEmpty())
            continue;
        *folder = found;
        *rest = parts.mid(below).join(QLatin1Char('\\'));
        return true;
    }
    return false;
}

bool hostFolderExists(const QString &windowsPath)
{
    const qsizetype cut = windowsPath.lastIndexOf(QLatin1Char('\\'));
    return cut > 0 && QFileInfo(winpath::toHost(windowsPath.left(cut + 1))).isDir();
}

struct PackageSeen
{
    QList<brx::Entry> entries;
    QString problem;
};

Plan planChecked(const archives::Checked &checked, const QHash<int, PackageSeen> &packages, const QString &archivePath,
                 const QString &gameFolder, const QString &programFolder, bool lookAtDisk)
{
    Plan plan;
    plan.archive = archivePath;
    plan.name = keptFolderName(archivePath);
    plan.refusal = checked.refusal;
    if (!plan.ok())
        return plan;
    if (checked.files.isEmpty()) {
        plan.refusal = QStringLiteral("%1 holds no files.").arg(winpath::bareFileName(archivePath));
        return plan;
    }
    const QString kept = programFolder + kDownloads + plan.name + QLatin1Char('\\');
    QHash<QString, QString> taken; // folded target -> the source that goes there
    auto place = [&](Item &item) {
        if (item.target.isEmpty())
            return;
        const QString folded = item.target.toCaseFolded();
        const auto it = taken.constFind(folded);
        if (it != taken.constEnd()) {
            item.reason = QStringLiteral("%1 goes to the same place").arg(it.value());
            item.kind = Item::LeftOut;
            item.target.clear();
            item.chosen = false;
            return;
        }
        taken.insert(folded, item.source);
    };
    for (const archives::Entry &entry : checked.files) {
        Item item;
        item.source = entry.path;
        item.entry = entry.index;
        item.size = entry.size;
        const QStringList parts = partsOf(entry.path);
        const QString bare = parts.isEmpty() ? QString() : parts.last();
        QString folder, rest;
        const QString extension = bare.contains(QLatin1Char('.')) ? installbytype::FileExtensionOf(bare) : QString();
        if (bare.isEmpty()) {
            item.reason = QStringLiteral("it has no name");
        } else if (isReadme(bare)) {
            item.kind = Item::Readme;
            item.target = kept + bare;
        } else if (gamePlace(parts, &folder, &rest)) {
            item.kind = Item::GameFile;
            item.target = gameFolder + folder + rest;
        } else if (extension == QLatin1String("brx")) {
            const PackageSeen seen = packages.value(entry.index, {{}, QStringLiteral("the package is too large to read from inside an archive")});
            if (!seen.problem.isEmpty()) {
                item.reason = seen.problem;
            } else {
                for (int k = 0; k < seen.entries.size(); ++k) {
                    Item part = item;
                    part.kind = Item::PackageEntry;
                    part.packageEntry = k;
                    part.target = seen.entries.at(k).installPath;
                    part.backup = brx::backupPathFor(programFolder, seen.entries.at(k).title);
                    part.size = seen.entries.at(k).installSize();
                    if (part.target.isEmpty()) {
                        part.kind = Item::LeftOut;
                        part.reason = QStringLiteral("entry %1 of the package names no place to go").arg(k + 1);
                    }
                    part.chosen = part.kind != Item::LeftOut;
                    place(part);
                    plan.items << part;
                }
                continue;
            }
        } else if (extension == QLatin1String("bmp")) {
            item.kind = Item::Tattoo;
            item.target = kept + bare;
            item.reason = kTattooNote;
        } else {
            const installbytype::FileType &type = installbytype::typeForExtension(extension);
            if (type.route == installbytype::Route::GameFile) {
                item.kind = Item::GameFile;
                item.target = gameFolder + type.subfolder + bare;
            } else {
                item.reason = QStringLiteral("not a kind of file Veldrin installs");
            }
        }
        // No folder is created in the game: a file whose folder is missing stays out.
        if (item.kind == Item::GameFile && lookAtDisk && !hostFolderExists(item.target)) {
            item.kind = Item::LeftOut;
            item.reason = QStringLiteral("the game has no folder %1").arg(item.target.left(item.target.lastIndexOf(QLatin1Char('\\')) + 1));
            item.target.clear();
        }
        item.chosen = item.kind != Item::LeftOut;
        place(item);
        plan.items << item;
    }
    return plan;
}

template<typename Check>
Plan planWith(const Check &check, const QString &archivePath, const QString &gameFolder, const QString &programFolder,
              bool lookAtDisk)
{
    QHash<int, PackageSeen> packages;
    const auto keep = [](const archives::Entry &entry) {
        return entry.path.endsWith(QLatin1String(".brx")) && entry.size <= kLargestPackage;
    };
    const auto take = [&](const archives::Entry &entry, const QByteArray &bytes) {
        PackageSeen seen;
        brx::PackageReader reader(brx::normalizeBreaks(bytes));
        QString why;
        const brx::ReadResult read = reader.scan(&why);
        if (!why.isEmpty())
            seen.problem = QStringLiteral("the package inside cannot be read: %1").arg(why);
        else if (!read.valid())
            seen.problem = QStringLiteral("the package inside is not a valid package");
        else if (read.error)
            seen.problem = QStringLiteral("the package inside is damaged: %1").arg(brx::damagedMessage(*read.error));
        else
            seen.entries = read.entries;
        packages.insert(entry.index, seen);
    };
    return planChecked(check(keep, take), packages, archivePath, gameFolder, programFolder, lookAtDisk);
}

} // namespace

QString outsideQuestion(const QStringList &outside)
{
    return QStringLiteral("This archive installs files outside the game folder and the program folder:\n\n%1\n\n"
                          "Install them as written? No cancels the whole archive.")
        .arg(outside.join(QLatin1Char('\n')));
}

QString keptFolderName(const QString &archivePath)
{
    QString name = winpath::bareFileName(QString(archivePath).replace(QLatin1Char('/'), QLatin1Char('\\')));
    name.chop(archives::archiveExtension(name).size());
    for (QChar &c : name) {
        if (c.unicode() < 32 || QStringLiteral("<>:\"/\\|?*").contains(c))
            c = QLatin1Char('_');
    }
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')))
        name.prepend(QLatin1String("archive"));
    return name;
}

int Plan::chosenCount() const
{
    int n = 0;
    for (const Item &item : items)
        n += item.chosen && item.kind != Item::LeftOut ? 1 : 0;
    return n;
}

Plan makePlan(const QString &archivePath, const QString &gameFolder, const QString &programFolder,
              const archives::Limits &limits)
{
    const QString host = winpath::toHost(archivePath);
    const QString name = winpath::bareFileName(archivePath);
    return planWith(
        [&](const archives::KeepBytes &keep, const archives::TakeBytes &take) {
            return archives::check(host, name, limits, keep, take);
        },
        archivePath, gameFolder, programFolder, true);
}

Plan makePlanFromMemory(const QByteArray &bytes, const QString &name, const QString &gameFolder,
                        const QString &programFolder, const archives::Limits &limits)
{
    return planWith(
        [&](const archives::KeepBytes &keep, const archives::TakeBytes &take) {
            return archives::checkMemory(bytes, name, limits, keep, take);
        },
        name, gameFolder, programFolder, false);
}

QStringList planLines(const Plan &plan)
{
    QStringList lines;
    for (const Item &item : plan.items) {
        const QString where = item.kind == Item::LeftOut ? QStringLiteral("left out: ") + item.reason
                            : item.chosen             ? item.target
                                                      : QStringLiteral("left out: unticked");
        // A name may hold any character: one line per file, two fields, whatever it holds.
        QString source = item.source;
        for (QChar &c : source) {
            if (c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
        }
        lines << source + QLatin1Char('\t') + where;
    }
    return lines;
}

InstallResult install(const Plan &plan, const QString &gameFolder, const QString &programFolder,
                      const std::function<bool(const QStringList &)> &confirmOutside)
{
    InstallResult result;
    if (!plan.ok()) {
        result.outcome = InstallResult::Refused;
        result.message = QStringLiteral("The archive was not installed: %1").arg(plan.refusal);
        return result;
    }
    QMultiHash<int, int> byEntry; // archive entry -> chosen items, in plan order
    bool keepsFiles = false;
    for (int i = 0; i < plan.items.size(); ++i) {
        const Item &item = plan.items.at(i);
        if (item.kind == Item::LeftOut || !item.chosen)
            continue;
        byEntry.insert(item.entry, i);
        keepsFiles = keepsFiles || item.kind == Item::Readme || item.kind == Item::Tattoo;
    }
    if (byEntry.isEmpty()) {
        result.message = QStringLiteral("No file of the archive was chosen to install.");
        return result;
    }

    install::Transaction transaction(QStringLiteral("archive"), plan.archive, gameFolder, programFolder);
    QHash<int, int> fileOf, backupOf; // item -> transaction target
    for (auto it = byEntry.cbegin(); it != byEntry.cend(); ++it) {
        const Item &item = plan.items.at(it.value());
        QString why;
        const int index = transaction.add(item.target, &why);
        if (index < 0) {
            result.outcome = InstallResult::Failed;
            result.message = QStringLiteral("The archive was not installed: %1 cannot be written (%2).").arg(item.target, why);
            return result;
        }
        fileOf.insert(it.value(), index);
        if (!item.backup.isEmpty())
            backupOf.insert(it.value(), transaction.add(item.backup));
    }
    // Readmes and pictures are kept in the add-on's own folder under Downloads\ on purpose;
    // anything else aimed at Veldrin's own files is not an archive's to write.
    QStringList own;
    for (auto it = fileOf.cbegin(); it != fileOf.cend(); ++it) {
        const Item::Kind kind = plan.items.at(it.key()).kind;
        if (kind == Item::Readme || kind == Item::Tattoo)
            continue;
        const QString what = transaction.ownFile(it.value());
        if (!what.isEmpty())
            own << QStringLiteral("%1 (%2)").arg(transaction.target(it.value()).path, what);
    }
    if (!own.isEmpty()) {
        result.outcome = InstallResult::Refused;
        result.message = QStringLiteral("The archive was not installed: it writes Veldrin's own files: %1.")
                             .arg(own.join(QLatin1String("; ")));
        return result;
    }
    QSet<int> asked;
    for (auto it = fileOf.cbegin(); it != fileOf.cend(); ++it) {
        if (transaction.target(it.value()).outside && !asked.contains(it.value())) {
            asked.insert(it.value());
            result.outside << transaction.shown(it.value());
        }
    }
    if (!result.outside.isEmpty() && !(confirmOutside && confirmOutside(result.outside))) {
        result.outcome = InstallResult::Declined;
        return result;
    }
    // The add-on's own folder under Downloads\ is made for it, and goes again if nothing lands there.
    QString madeFolder;
    if (keepsFiles) {
        const QString kept = winpath::toHost(programFolder + kDownloads + plan.name + QLatin1Char('\\'));
        if (!QFileInfo(kept).isDir())
            madeFolder = kept;
        if (!QDir().mkpath(kept)) {
            result.outcome = InstallResult::Failed;
            result.message = QStringLiteral("The archive was not installed: the folder %1 cannot be created.")
                                 .arg(programFolder + kDownloads + plan.name);
            return result;
        }
    }

    auto failed = [&](const QString &path, const QString &why) {
        const int written = transaction.writesDone() + transaction.pendingWrites();
        const QStringList notPutBack = transaction.rollBack();
        if (!madeFolder.isEmpty())
            QDir().rmdir(madeFolder);
        result.outcome = InstallResult::Failed;
        result.message = QStringLiteral("The archive was not installed: %1 could not be written (%2).").arg(path, why);
        if (!notPutBack.isEmpty())
            result.message += QStringLiteral(" These files could not be put back: %1").arg(notPutBack.join(QLatin1String("; ")));
        else if (written > 0)
            result.message += QStringLiteral(" Every file it had written was put back as it was.");
        return result;
    };

    const int batch = hostfs::filesAtOnce();
    transaction.setBatched(true);
    QString why;
    if (!transaction.begin(&why))
        return failed(plan.archive, why);
    archives::Reader reader;
    if (!reader.open(winpath::toHost(plan.archive), &why))
        return failed(plan.archive, why);
    archives::Entry entry;
    QByteArray bytes, part;
    QSet<int> done;
    QStringList backupFailures;
    const qsizetype wanted = byEntry.uniqueKeys().size();
    while (done.size() < wanted && reader.next(entry, &why)) {
        if (!byEntry.contains(entry.index))
            continue;
        QList<int> items = byEntry.values(entry.index);
        std::reverse(items.begin(), items.end()); // QMultiHash gives the last inserted first
        const Item &first = plan.items.at(items.first());
        const qint64 expected = first.kind == Item::PackageEntry ? kLargestPackage : first.size;
        // Exactly the entry's size: growing by appends could take twice that.
        if (first.kind != Item::PackageEntry && bytes.capacity() < first.size)
            bytes.reserve(qsizetype(first.size));
        if (!reader.readAll(bytes, expected, &why))
            return failed(first.target, why);
        if (first.kind != Item::PackageEntry && bytes.size() != first.size)
            return failed(first.target, QStringLiteral("the archive changed since it was checked"));
        std::unique_ptr<brx::PackageReader> package;
        QList<brx::Entry> packageEntries;
        if (first.kind == Item::PackageEntry) {
            package = std::make_unique<brx::PackageReader>(brx::normalizeBreaks(bytes));
            packageEntries = package->scan().entries;
        }
        for (int i : std::as_const(items)) {
            const Item &item = plan.items.at(i);
            const QByteArray *data = &bytes;
            if (item.kind == Item::PackageEntry) {
                if (item.packageEntry >= packageEntries.size()
                    || !package->entryBytes(packageEntries.at(item.packageEntry), part, &why))
                    return failed(item.target, QStringLiteral("the archive changed since it was checked"));
                data = &part;
            }
            if (!transaction.write(fileOf.value(i), *data, QByteArray(), &why))
                return failed(item.target, why);
            ++result.written;
            if (backupOf.contains(i) && backupOf.value(i) >= 0 && !transaction.write(backupOf.value(i), *data, QByteArray(), &why))
                backupFailures << QStringLiteral("%1: %2").arg(item.backup, why);
        }
        done.insert(entry.index);
        QString path;
        if (transaction.pendingWrites() >= batch && !transaction.flush(&why, &path))
            return failed(path, why);
    }
    if (done.size() < wanted)
        return failed(plan.archive, why.isEmpty() ? QStringLiteral("the archive changed since it was checked") : why);
    QString path;
    if (!transaction.flush(&why, &path))
        return failed(path, why);
    // A commit that fails has put everything back itself.
    QStringList notPutBack;
    if (!transaction.commit(&why, &notPutBack)) {
        if (!madeFolder.isEmpty())
            QDir().rmdir(madeFolder);
        result.outcome = InstallResult::Failed;
        result.written = 0;
        result.message = QStringLiteral("The archive was not installed: the install could not be finished (%1).").arg(why);
        if (!notPutBack.isEmpty())
            result.message += QStringLiteral(" These files could not be put back: %1").arg(notPutBack.join(QLatin1String("; ")));
        return result;
    }
    result.operation = transaction.operationId();
    result.outcome = InstallResult::Installed;
    if (!backupFailures.isEmpty())
        result.message = QStringLiteral("The archive was installed, but these backup copies could not be written:\n%1")
                             .arg(backupFailures.join(QLatin1Char('\n')));
    return result;
}

} // namespace archiveplan
