#include "install/HistoryFolder.h"
#include "platform/Fail.h"

#include "common/GameFolders.h"
#include "platform/HostFiles.h"
#include "platform/WinPath.h"

#include <QDir>
#include <QFileInfo>

namespace history {

using failure::fail;

QString folderOf(const QString &programFolder) { return programFolder + folders::kBackupHistory; }

bool isKept(const QString &programFolder)
{
    return !programFolder.isEmpty() && QFileInfo(hostfs::realPlace(winpath::toHost(folderOf(programFolder)))).isDir();
}

bool createFolder(const QString &programFolder, QString *error)
{
    if (programFolder.isEmpty())
        return fail(error, QStringLiteral("no program folder is set"));
    const QString program = hostfs::realPlace(winpath::toHost(programFolder));
    if (!QFileInfo(program).isDir())
        return fail(error, QStringLiteral("the program folder %1 does not exist").arg(programFolder));
    // Only the history's own folders are made: the rest of the tree is the player's.
    QDir dir(program);
    const QString backup = winpath::bareFileName(QString(folders::kBackup).chopped(1));
    const QString name = winpath::bareFileName(QString(folders::kBackupHistory).chopped(1));
    if ((!dir.exists(backup) && !dir.mkdir(backup)) || !dir.cd(backup) || (!dir.exists(name) && !dir.mkdir(name)))
        return fail(error, QStringLiteral("%1 could not be created").arg(folderOf(programFolder)));
    return true;
}

} // namespace history
