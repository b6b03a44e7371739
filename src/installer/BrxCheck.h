#pragma once
// What checking a package finds beyond "every entry reads": a package can read without an
// error and still not hold what its author packed, when an entry's text held a marker.
#include <QList>
#include <QString>

class QByteArray;

namespace brx {

struct ReadResult;

struct Doubt
{
    int entry = 0;   // 1-based
    QString what;    // "its text holds ###Install###", ...
};

// Entries whose text holds marker text, and text after an entry's end marker that belongs to
// no entry (what is left over when an entry was cut at an "###End_BRX###" inside it). The
// package must have read without an error.
QList<Doubt> doubtsAbout(const QByteArray &package, const ReadResult &read);

} // namespace brx
