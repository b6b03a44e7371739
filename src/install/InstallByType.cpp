#include "install/InstallByType.h"

#include "brx/Archive.h"
#include "common/GameFolders.h"
#include "install/InstallTransaction.h"
#include "platform/FileIO.h"

namespace installbytype {

QString FileExtensionOf(const QString &path)
{
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? path : path.mid(dot + 1);
}

QString BareFileNameOf(const QString &path)
{
    const qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    return cut < 0 ? path : path.mid(cut + 1);
}

const FileType &typeForExtension(const QString &extension)
{
    static const FileType rows[] = {
        {QStringLiteral("brx"), QStringLiteral("File Type: Bracken Installation File"), Route::Package, {}},
        {QStringLiteral("txt"), QStringLiteral("File Type: Map"), Route::GameFile, QString(folders::kPlaygrounds)},
        {QStringLiteral("bmp"), QStringLiteral("File Type: Tatoo"), Route::Tattoo, {}},
        {QStringLiteral("lnd"), QStringLiteral("File Type: Landscape"), Route::GameFile, QString(folders::kLandscape)},
        {QStringLiteral("l3d"), QStringLiteral("File Type: Skin/Mesh"), Route::GameFile, QString(folders::kCreatureMesh)},
        {QString(), QStringLiteral("Invalid file type set"), Route::Invalid, {}},
    };
    constexpr int known = int(std::size(rows)) - 1;
    for (int i = 0; i < known; ++i) {
        if (rows[i].extension == extension)
            return rows[i];
    }
    return rows[known];
}

const FileType &typeForPath(const QString &path)
{
    static const FileType archive{QString(), QStringLiteral("File Type: Archive"), Route::Archive, {}};
    return archives::isArchiveName(path) ? archive : typeForExtension(FileExtensionOf(path));
}

ChosenFile loadChosenFile(const QString &windowsPath)
{
    ChosenFile chosen;
    chosen.path = windowsPath;
    const auto bytes = fileio::readBytes(windowsPath);
    if (!bytes)
        return chosen;
    chosen.readable = true;
    if (fileio::isText(*bytes)) {
        chosen.text = fileio::normalizeLineBreaks(fileio::decode1252(*bytes));
    } else {
        chosen.binary = true;
        chosen.bytes = *bytes;
    }
    return chosen;
}

GameFileResult InstallGameFile(const ChosenFile &chosen, const QString &gameFolder, const QString &programFolder,
                               const QString &subfolder, const GameFileSteps &steps)
{
    auto note = [&](const QString &text) {
        if (steps.note)
            steps.note(text);
    };
    auto progress = [&](int value) {
        if (steps.progress)
            steps.progress(value);
    };

    GameFileResult result;
    const QString name = BareFileNameOf(chosen.path);
    result.target = gameFolder + subfolder + name;
    result.backup = programFolder + name + QLatin1String(".bak");
    install::Transaction transaction(QStringLiteral("file"), chosen.path, gameFolder, programFolder);
    std::optional<QByteArray> bytes;
    if (chosen.readable)
        bytes = chosen.binary ? chosen.bytes : fileio::encode1252(chosen.text);
    const install::ReplacementResult r = install::backUpAndReplace(
        transaction, {result.target, result.backup, true, steps.askWithoutUndo}, bytes,
        chosen.binary ? QByteArray() : QByteArrayLiteral("\r\n"), [&](int step) {
            if (step == 0) {
                note(kNoteBackingUp);
            } else {
                progress(50);
                note(kNoteInstalling);
            }
        });
    result.backedUp = r.backedUp;
    result.olderBackupKept = r.olderBackupKept;
    result.backupError = r.backupError;
    result.installed = r.installed;
    result.installError = r.installError;
    result.withoutUndo = r.withoutUndo;
    if (result.installed)
        progress(100);
    note(outcomeNote(result));
    return result;
}

bool GameFileResult::succeeded() const { return installed && (backedUp || olderBackupKept); }

QString outcomeNote(const GameFileResult &r)
{
    if (r.succeeded())
        return r.withoutUndo ? kNoteDone + QLatin1Char(' ') + install::kInstalledWithoutUndo : kNoteDone;
    const auto reason = [](const QString &why) {
        return why.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(why);
    };
    if (r.installed)
        return QStringLiteral("Your file was installed to the correct directory, but the file it replaced was not "
                              "backed up: \"%1\" could not be written%2.")
            .arg(r.backup, reason(r.backupError));
    return QStringLiteral("Your file was not installed: \"%1\" could not be written%2.")
        .arg(r.target, reason(r.installError));
}

} // namespace installbytype
