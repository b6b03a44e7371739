#include "platform/DialogPaths.h"

#include "platform/WinPath.h"

#include <QDir>
#include <QFileInfo>

namespace dialogpaths {

QList<Drive> drives()
{
    QList<Drive> found;
    for (char c = 'A'; c <= 'Z'; ++c) {
        const QChar letter = QLatin1Char(c);
        QString root = winpath::driveRoot(letter);
        if (root.isEmpty() || !QFileInfo(root).isDir())
            continue;
        while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);
        found.append({letter, root});
    }
    return found;
}

QString sidebarLabel(const QList<Drive> &drives, const QString &hostFolder, const QString &name)
{
    const QString folder = QDir::cleanPath(hostFolder);
    for (const Drive &drive : drives) {
        if (drive.hostRoot == folder)
            return QStringLiteral("%1: (%2)").arg(drive.letter).arg(name);
    }
    return name;
}

bool isWindowsPath(const QString &text)
{
    if (text.size() < 2 || text.at(1) != QLatin1Char(':'))
        return false;
    const QChar letter = text.at(0);
    const bool isLetter = (letter >= QLatin1Char('a') && letter <= QLatin1Char('z'))
        || (letter >= QLatin1Char('A') && letter <= QLatin1Char('Z'));
    return isLetter && (text.size() == 2 || text.at(2) == QLatin1Char('\\') || text.at(2) == QLatin1Char('/'));
}

Decision decideTyped(const QString &typed, bool save, bool folderAllowed)
{
    const QString text = typed.trimmed();
    if (!isWindowsPath(text))
        return {};
    // "C:" alone is the drive's root, not its current folder: the dialog has no other.
    const QString windowsPath = text.size() == 2 ? text + QLatin1Char('\\') : text;
    const QString host = winpath::toHost(windowsPath);
    const QFileInfo info(host);
    if (info.isDir())
        return {folderAllowed ? Action::Choose : Action::EnterFolder, host};
    if (info.exists())
        return {Action::Choose, host};
    if (save && !windowsPath.endsWith(QLatin1Char('\\')) && !windowsPath.endsWith(QLatin1Char('/'))
        && info.absoluteDir().exists())
        return {Action::Choose, host};
    return {Action::NotFound, host};
}

} // namespace dialogpaths
