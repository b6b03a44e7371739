#include "installer/InstallByType.h"

#include "installer/InstallTransaction.h"
#include "platform/FileIO.h"
#include "shell/GameFolders.h"

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

    // The ".bak" holds what a text buffer would: the replaced file's text and a CR LF, or its
    // bytes when it is not text, or a lone CR LF when nothing was replaced. That last one never
    // takes the place of a backup that holds something: it would pass for the player's file.
    const auto old = fileio::readBytes(result.target);
    note(kNoteBackingUp);
    QByteArray backup;
    if (old && !fileio::isText(*old))
        backup = *old;
    else if (old)
        backup = fileio::encode1252(fileio::normalizeLineBreaks(fileio::decode1252(*old))) + QByteArrayLiteral("\r\n");
    const bool nothingReplaced = !old || old->isEmpty();
    const int bak = transaction.add(result.backup, &result.backupError);
    const auto earlier = bak >= 0 && nothingReplaced ? transaction.previous(bak) : std::nullopt;
    if (earlier && !earlier->isEmpty() && *earlier != QByteArrayLiteral("\r\n")) {
        result.olderBackupKept = true;
    } else if (bak >= 0) {
        result.backedUp = transaction.write(bak, nothingReplaced ? QByteArrayLiteral("\r\n") : backup, QByteArray(),
                                            &result.backupError);
    }
    progress(50);

    note(kNoteInstalling);
    const int target = transaction.add(result.target, &result.installError);
    if (!chosen.readable)
        result.installError = QStringLiteral("the chosen file could not be read");
    else if (target >= 0 && chosen.binary)
        result.installed = transaction.write(target, chosen.bytes, QByteArray(), &result.installError);
    else if (target >= 0)
        result.installed = transaction.write(target, fileio::encode1252(chosen.text), QByteArrayLiteral("\r\n"),
                                             &result.installError);
    // Each step stands on its own: a backup written stays written when the install fails.
    transaction.commit();
    progress(100);
    note(kNoteDone);
    return result;
}

} // namespace installbytype
