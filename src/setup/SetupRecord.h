#pragma once
// What `--setup` notes for the user who ran it: the prefix and the program folder it made.
// The system's menu entry and a double-clicked package start Veldrin in whatever folder the
// desktop chooses; this note is how such a start still finds the player's options file.
#include <QString>

namespace setuprecord {

struct Record
{
    QString prefix;        // host folder of the Wine prefix
    QString programFolder; // host folder holding options.txt
    bool isValid() const { return !prefix.isEmpty() && !programFolder.isEmpty(); }
};

// The note's file in a per-user configuration folder.
QString fileIn(const QString &configHome);

// Replaces the note; false with *error set when it cannot be written.
bool write(const QString &configHome, const Record &record, QString *error);

// The note, or an invalid record when there is none or it cannot be read.
Record read(const QString &configHome);

// Whether two notes name the same prefix and folder, links resolved.
bool samePlaces(const Record &a, const Record &b);

// Where a start in `currentFolder` should look for its options file instead, given the note
// and the WINEPREFIX in force (empty when unset): an invalid record when the current folder
// holds an options file itself, when there is no usable note, or when WINEPREFIX names
// another prefix (the player chose that one on purpose).
Record startInstead(const QString &currentFolder, const Record &note, const QString &winePrefix);

} // namespace setuprecord
