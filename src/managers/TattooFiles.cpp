#include "managers/TattooFiles.h"

#include "common/GameFolders.h"
#include "install/InstallTransaction.h"
#include "managers/PictureCheck.h"
#include "platform/FileIO.h"

namespace tattoo {

namespace {
constexpr int kColumns = 4;
constexpr QLatin1String kBackupFolder = folders::kBackupTattoos;
} // namespace

Place slotBox(int n)
{
    const int i = (n - 1) % kColumns;
    const int j = (n - 1) / kColumns;
    return {"", 120 + 1440 * i, 120 + 1080 * j, 960, 960};
}

Place slotButton(int n)
{
    const int i = (n - 1) % kColumns;
    const int j = (n - 1) / kColumns;
    return {"", 1200 + 1440 * i, 840 + 1080 * j, 255, 255};
}

QString slotFileName(int n) { return QStringLiteral("symbol%1.bmp").arg(n); }

QString pickBackupPath(const QString &programFolder, int n) { return programFolder + kBackupFolder + slotFileName(n); }

QString profileFolderOf(const QString &chosenPath)
{
    const int slash = chosenPath.lastIndexOf(QLatin1Char('\\'));
    return slash < 0 ? QString() : chosenPath.left(slash + 1);
}

QString profileName(const QString &profileFolder)
{
    QString folder = profileFolder;
    while (folder.endsWith(QLatin1Char('\\')))
        folder.chop(1);
    QString name = folder.mid(folder.lastIndexOf(QLatin1Char('\\')) + 1);
    // A drive root has no folder name; the backup still needs one.
    if (name.isEmpty() || name.endsWith(QLatin1Char(':')))
        name = QStringLiteral("profile");
    return name;
}

QString profileBackupPath(const QString &programFolder, const QString &profileFolder, int n)
{
    return programFolder + kBackupFolder + profileName(profileFolder) + QLatin1Char('-') + slotFileName(n);
}

QString refusalOf(const QByteArray &bytes)
{
    if (!bytes.startsWith("BM"))
        return QStringLiteral("it is not a BMP picture, and the game reads only those");
    QString why;
    if (!picturecheck::isWhole(bytes, &why))
        return QStringLiteral("it is a BMP picture that is not whole: %1").arg(why);
    return QString();
}

PickInstall installPick(const QByteArray &picture, const QString &gameFolder, const QString &programFolder,
                        const QString &profileFolder, int n, const std::function<bool(const QString &why)> &askWithoutUndo)
{
    PickInstall result;
    install::Transaction transaction(QStringLiteral("tattoo"), QStringLiteral("frmTattoo"), gameFolder, programFolder);
    // Whatever comes of the rest, the work done so far stays; an operation that wrote nothing
    // is rolled back, so it is not shown as an install.
    // A commit that fails has put everything back itself, so nothing of the pick is left.
    const auto finish = [&transaction, &result] {
        if (transaction.writesDone() == 0) {
            const QStringList nothingWritten = transaction.rollBack();
            Q_UNUSED(nothingWritten);
            return;
        }
        QString error;
        QStringList notPutBack;
        if (transaction.commit(&error, &notPutBack))
            return;
        result.pickKept = result.safetyCopied = result.installed = false;
        result.problem = QStringLiteral("Veldrin could not finish the tattoo install (%1), so nothing was changed.").arg(error);
        if (!notPutBack.isEmpty())
            result.problem += QStringLiteral(" Not put back: %1").arg(notPutBack.join(QLatin1String("; ")));
    };
    // Everything the pick may write is planned first, so that the question about files that
    // cannot be kept for undo comes before any of them is written.
    QString error;
    const int pick = transaction.add(pickBackupPath(programFolder, n), &error);
    const QString target = profileFolder.isEmpty() ? QString() : profileFolder + slotFileName(n);
    const bool replacing = !target.isEmpty() && fileio::exists(target);
    const QString backup = replacing ? profileBackupPath(programFolder, profileFolder, n) : QString();
    // The first safety copy holds the player's own picture; a later pick must not replace it
    // with a picture Veldrin put there.
    const auto kept = replacing ? fileio::readBytes(backup) : std::nullopt;
    const bool copyNeeded = replacing && (!kept || kept->isEmpty());
    QString copyError;
    const auto current = copyNeeded ? fileio::readBytes(target, &copyError) : std::nullopt;
    const int safety = current ? transaction.add(backup, &copyError) : -1;
    const int slot = target.isEmpty() || (copyNeeded && safety < 0) ? -1 : transaction.add(target, &error);
    QString why;
    if (!install::beginOrAsk(transaction, askWithoutUndo, &result.withoutUndo, &why)) {
        result.problem = QStringLiteral("The tattoo was not installed: %1. Nothing was changed.").arg(why);
        return result;
    }

    result.pickKept = pick >= 0 && transaction.write(pick, picture, QByteArray(), &error);
    if (target.isEmpty()) {
        finish();
        return result;
    }
    if (copyNeeded && (safety < 0 || !transaction.write(safety, *current, QByteArray(), &copyError))) {
        result.problem = QStringLiteral("Veldrin could not keep a copy of the profile's %1 as \"%2\" (%3), "
                                        "so the tattoo in the profile was left as it was.")
                             .arg(slotFileName(n), backup, copyError);
        finish();
        return result;
    }
    result.safetyCopied = replacing;
    result.installed = slot >= 0 && transaction.write(slot, picture, QByteArray(), &error);
    if (!result.installed)
        result.problem = QStringLiteral("Veldrin could not write the new tattoo to \"%1\" (%2).").arg(target, error);
    finish();
    return result;
}

} // namespace tattoo
