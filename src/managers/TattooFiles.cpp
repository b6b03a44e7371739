#include "managers/TattooFiles.h"

#include "installer/InstallTransaction.h"
#include "platform/FileIO.h"
#include "shell/GameFolders.h"

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

bool keepPick(const QByteArray &picture, const QString &programFolder, int n)
{
    return install::installFile(QStringLiteral("tattoo"), QStringLiteral("frmTattoo"), QString(), programFolder,
                                pickBackupPath(programFolder, n), picture);
}

ProfileInstall installIntoProfile(const QByteArray &picture, const QString &profileFolder,
                                  const QString &programFolder, int n)
{
    ProfileInstall result;
    install::Transaction transaction(QStringLiteral("tattoo"), QStringLiteral("frmTattoo"), QString(), programFolder);
    const QString target = profileFolder + slotFileName(n);
    QString error;

    if (fileio::exists(target)) {
        const QString backup = profileBackupPath(programFolder, profileFolder, n);
        // The first safety copy holds the player's own picture; a later pick must not replace
        // it with a picture Veldrin put there.
        const auto kept = fileio::readBytes(backup);
        if (!kept || kept->isEmpty()) {
            const auto current = fileio::readBytes(target, &error);
            const int slot = transaction.add(backup, &error);
            if (!current || slot < 0 || !transaction.write(slot, *current, QByteArray(), &error)) {
                result.problem = QStringLiteral("Veldrin could not keep a copy of the profile's %1 as \"%2\" (%3), "
                                                "so the tattoo in the profile was left as it was.")
                                     .arg(slotFileName(n), backup, error);
                return result; // the transaction puts back anything it wrote
            }
        }
        result.safetyCopied = true;
    }

    const int slot = transaction.add(target, &error);
    if (slot < 0 || !transaction.write(slot, picture, QByteArray(), &error) || !transaction.commit(&error)) {
        // Whatever was written is put back (by commit itself, or here).
        const QStringList left = transaction.rollBack();
        if (!left.isEmpty())
            error += QStringLiteral("; not put back: %1").arg(left.join(QLatin1String("; ")));
        result.problem = QStringLiteral("Veldrin could not write the new tattoo to \"%1\" (%2).").arg(target, error);
        return result;
    }
    result.installed = true;
    return result;
}

} // namespace tattoo
