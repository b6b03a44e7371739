#pragma once
// What a file is, by its extension: the table the installer routes by, and that an archive's
// entries are sorted by.
#include <QString>

namespace installbytype {

// Text after the last "." of the whole path (folders included); the whole path without one.
QString FileExtensionOf(const QString &path);
// Text after the last backslash; the whole path without one.
QString BareFileNameOf(const QString &path);

enum class Route { Package, GameFile, Tattoo, Archive, Invalid };

struct FileType
{
    QString extension;  // empty for the catch-all row
    QString caption;    // lblType's text
    Route route;
    QString subfolder;  // for Route::GameFile, relative to GameFolder
};

// The row for an extension, compared exactly and case-sensitively; the last row for any other.
const FileType &typeForExtension(const QString &extension);

} // namespace installbytype
