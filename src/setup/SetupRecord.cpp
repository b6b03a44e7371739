#include "setup/SetupRecord.h"

#include "platform/HostFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace setuprecord {

namespace {

const char kPrefixKey[] = "prefix=";
const char kProgramKey[] = "program-folder=";

// Windows names are matched without regard to case; so is the options file's name.
bool holdsOptionsFile(const QString &folder)
{
    const QStringList found = QDir(folder).entryList({QStringLiteral("options.txt")}, QDir::Files | QDir::Readable);
    return !found.isEmpty();
}

QString samePlace(const QString &path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? QDir::cleanPath(QDir(path).absolutePath()) : real;
}

} // namespace

QString fileIn(const QString &configHome) { return configHome + QLatin1String("/setup.txt"); }

bool write(const QString &configHome, const Record &record, QString *error)
{
    if (!QDir().mkpath(configHome)) {
        *error = QStringLiteral("could not create %1").arg(configHome);
        return false;
    }
    const QByteArray text = kPrefixKey + record.prefix.toUtf8() + '\n' + kProgramKey + record.programFolder.toUtf8();
    return hostfs::writeFile(fileIn(configHome), text, "\n", error);
}

Record read(const QString &configHome)
{
    QFile file(fileIn(configHome));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    Record record;
    // A few short lines; anything longer is not ours.
    const QList<QByteArray> lines = file.read(64 * 1024).split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith(kPrefixKey))
            record.prefix = QString::fromUtf8(line.mid(int(sizeof kPrefixKey) - 1));
        else if (line.startsWith(kProgramKey))
            record.programFolder = QString::fromUtf8(line.mid(int(sizeof kProgramKey) - 1));
    }
    return record;
}

bool samePlaces(const Record &a, const Record &b)
{
    return a.isValid() && b.isValid() && samePlace(a.prefix) == samePlace(b.prefix)
        && samePlace(a.programFolder) == samePlace(b.programFolder);
}

Record startInstead(const QString &currentFolder, const Record &note, const QString &winePrefix)
{
    if (!note.isValid() || holdsOptionsFile(currentFolder) || !holdsOptionsFile(note.programFolder))
        return {};
    if (!winePrefix.isEmpty() && samePlace(winePrefix) != samePlace(note.prefix))
        return {};
    return note;
}

} // namespace setuprecord
