#pragma once
// Where a file fetched by the browser lands. The bytes go into a temporary name beside the
// final one and only a complete file is renamed into place, so a cancelled, failed or
// interrupted download never leaves anything under the name the player will look for. No
// download ever replaces a file: a name that is taken gets a number.
#include <QString>

namespace downloads {

// The folder downloads go to: the program folder's "Downloads\" (a Windows path).
QString folderOf(const QString &programFolder);

// A file name the server suggested, made safe to create in the downloads folder: only its
// last part (no folder parts, no ".."), without the characters Windows refuses, never a device
// name; "download" when nothing is left.
QString safeName(const QString &suggested);

// Whether the name is of a kind the player may want installed right away: a package, map,
// landscape, skin or mesh, tattoo picture, or an archive of them.
bool isAddOn(const QString &name);

// name, "name (2).ext", "name (3).ext", ... for the n-th try; a ".tar.gz" and its kind stay whole.
QString numberedName(const QString &name, int n);

class PartFile
{
public:
    PartFile() = default;
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // Makes the folder when it is missing (its parent must exist) and creates an empty file
    // under a temporary name in it that neither names an entry nor begins one, so that the
    // writer may add its own endings to it without meeting a file of the player's.
    bool begin(const QString &hostFolder, const QString &suggestedName, QString *error);

    // Moves the complete file to the first free name made from the suggested one. Returns the
    // host path it was saved under.
    bool finish(QString *savedPath, QString *error);

    // Removes the temporary file and whatever the writer put beside it under that name.
    void discard();

    QString folder() const { return m_folder; }
    QString name() const { return m_name; }         // the safe name, before any number
    QString tempName() const { return m_tempName; } // file name only
    QString tempPath() const;

private:
    QString m_folder;
    QString m_name;
    QString m_tempName;
};

} // namespace downloads
