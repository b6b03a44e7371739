#include "installer/InstallByType.h"

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
        {QStringLiteral("txt"), QStringLiteral("File Type: Map"), Route::GameFile, QStringLiteral("Scripts\\Playgrounds\\")},
        {QStringLiteral("bmp"), QStringLiteral("File Type: Tatoo"), Route::Tattoo, {}},
        {QStringLiteral("lnd"), QStringLiteral("File Type: Landscape"), Route::GameFile, QStringLiteral("Data\\Landscape\\")},
        {QStringLiteral("l3d"), QStringLiteral("File Type: Skin/Mesh"), Route::GameFile, QStringLiteral("Data\\CreatureMesh\\")},
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

    // Only a file that is really there gets a ".bak": an empty or stale backup would pass for
    // a copy of something the player never had.
    const auto old = fileio::readBytes(result.target);
    note(kNoteBackingUp);
    if (old) {
        result.backup = programFolder + name + QLatin1String(".bak");
        result.backedUp = fileio::isText(*old)
            ? fileio::writeText(result.backup, fileio::normalizeLineBreaks(fileio::decode1252(*old)), &result.backupError)
            : fileio::writeBytes(result.backup, *old, &result.backupError);
    }
    progress(50);

    note(kNoteInstalling);
    if (!chosen.readable)
        result.installError = QStringLiteral("the chosen file could not be read");
    else if (chosen.binary)
        result.installed = fileio::writeBytes(result.target, chosen.bytes, &result.installError);
    else
        result.installed = fileio::writeText(result.target, chosen.text, &result.installError);
    progress(100);
    note(kNoteDone);
    return result;
}

} // namespace installbytype
