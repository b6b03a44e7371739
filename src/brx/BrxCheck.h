#pragma once
// What checking a package finds beyond "every entry reads": a package can read without an
// error and still not hold what its author packed, when an entry's text held a marker.
#include <QList>
#include <QString>

namespace brx {

class PackageReader;
struct ReadResult;

struct Doubt
{
    int entry = 0;   // 1-based
    QString what;    // "its text holds ###Install###", ...
};

// Entries whose text holds marker text, and text after an entry's end marker that belongs to
// no entry (what is left over when an entry was cut at an "###End_BRX###" inside it). The
// package file at hostPath must have been scanned by reader without an error. Reads one entry
// and one stretch between entries at a time, so a package of any size is checked in little
// memory; error says why when the file cannot be read through.
QList<Doubt> doubtsAbout(PackageReader &reader, const ReadResult &read, const QString &hostPath, QString *error);

} // namespace brx
