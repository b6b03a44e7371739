#include "install/FileTypes.h"

#include "common/GameFolders.h"

#include <iterator>

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

} // namespace installbytype
