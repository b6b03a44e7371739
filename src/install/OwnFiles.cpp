#include "install/OwnFiles.h"

#include "common/GameFolders.h"

#include <QFileInfo>
#include <QStringList>

namespace install {

namespace {

// The place's components below the program folder; empty when it is not below it. Compared
// without regard to case: under Wine "backup" and "Backup" are one folder.
QStringList below(const QString &real, const QString &programReal)
{
    if (real.isEmpty() || programReal.isEmpty())
        return {};
    QString folder = programReal;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    if (real.size() <= folder.size() || !real.startsWith(folder, Qt::CaseInsensitive))
        return {};
    return real.mid(folder.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

QString nameOf(QLatin1String folder) { return QString(folder).chopped(1); }

bool is(const QString &part, const QString &name) { return part.compare(name, Qt::CaseInsensitive) == 0; }

} // namespace

bool inHistoryStore(const QString &real, const QString &programReal)
{
    const QStringList parts = below(real, programReal);
    const QStringList store = nameOf(folders::kBackupHistory).split(QLatin1Char('\\'));
    if (parts.size() < store.size())
        return false;
    for (int i = 0; i < store.size(); ++i)
        if (!is(parts.at(i), store.at(i)))
            return false;
    return true;
}

QString ownFile(const QString &real, const QString &programReal)
{
    const QStringList parts = below(real, programReal);
    if (parts.isEmpty())
        return {};
    const QString &first = parts.first();
    if (parts.size() == 1 && is(first, QStringLiteral("options.txt")))
        return QStringLiteral("Veldrin's settings file");
    if (inHistoryStore(real, programReal))
        return QStringLiteral("Veldrin's install history");
    if (is(first, nameOf(folders::kBackup)))
        return QStringLiteral("Veldrin's backups");
    if (is(first, nameOf(folders::kDownloads)))
        return QStringLiteral("Veldrin's downloads");
    if (is(first, nameOf(folders::kHelp)))
        return QStringLiteral("Veldrin's help program");
    if (is(first, nameOf(folders::kSteadwright)) && parts.size() > 1) {
        // Only a Steadwright Veldrin put there itself is Veldrin's; one the player installed is
        // the player's to update.
        QString folder = programReal;
        if (!folder.endsWith(QLatin1Char('/')))
            folder += QLatin1Char('/');
        if (QFileInfo::exists(folder + first + QLatin1Char('/') + QString(folders::kSetUpMark)))
            return QStringLiteral("the Steadwright program Veldrin set up");
    }
    return {};
}

} // namespace install
