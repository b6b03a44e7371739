#pragma once
// One pass over a package's bytes, fed a piece at a time: what the whole-text reader, the
// package scan and the walk over its entries share.
#include "brx/Brx.h"
#include "brx/BrxSyntax.h"

class QFile;

namespace brx {

// Read in pieces of this size: large enough for few system calls, small next to any limit.
inline constexpr qint64 kChunk = qint64(1) << 20;

// What tells one list of entries from another read from a changed file: everything but the
// content, in order.
quint64 hashOf(const Entry &entry);
inline quint64 mix(quint64 digest, quint64 hash) { return (digest ^ hash) * 0x100000001b3ULL; }

// One pass over a package's bytes, fed in pieces. The entries it reads go to keep when given.
class Scanner
{
public:
    Scanner(bool normalize, QList<Entry> *keep) : m_normalize(normalize), m_keep(keep) {}

    // In-memory packages keep their content in the entries.
    const QByteArray *contentOf = nullptr;
    bool sharing = false;
    // Past this many entries none are kept (-1: no limit).
    qsizetype keepAtMost = -1;

    // Looks at the marker starts in [from, limit) of the bytes [base, base + size); at the end of
    // the package limit is base + size. Bytes before limit - 1 are not needed again.
    void take(const char *data, qint64 base, qint64 size, qint64 from, qint64 limit);

    // The end of the package: the count of begin markers, and the error that stopped the
    // reading unless it came after as many entries as those.
    void finish(ReadResult &result);

    // No entry follows once one could not be read.
    bool stopped() const { return m_stopped; }
    // The mix of the first entries read, as many as there are begin markers or fewer.
    quint64 digest() const { return m_digest; }

private:
    struct Capture
    {
        bool on = false;
        qint64 from = 0;
        QByteArray bytes;
    };

    // The entry being read: the first of each marker past its starting point (1-based
    // positions in the text with CR LF breaks, 0 while not found), and where its parts lie.
    struct Reading
    {
        qint64 p = 1;
        qint64 i = 0, ie = 0, t = 0, te = 0, e = 0;
        qint64 rawContent = 0, rawEnd = 0;
        Capture path, title;
        bool binary = false;
        bool feeding = false;
        qint64 feedFrom = 0;
        Base64Stream base64;
    };

    // Lone CRs and LFs before raw offset to: each becomes two bytes in the text read.
    void countBreaksTo(qint64 to);
    void append(Capture &c, qint64 to);
    void feedContent(qint64 to);
    void flush(qint64 limit);
    void event(Marker m, qint64 r);
    void fail(const QString &reason);
    void missing(Marker m, qint64 from);
    // The entry's verdict as the format's searches give it, once every search it needs is answered.
    void decide(bool atEnd);

    QByteArray normalized(const QByteArray &bytes) const;

    bool m_normalize;
    QList<Entry> *m_keep;
    int m_read = 0;
    quint64 m_digest = 0;
    QList<quint64> m_ahead;
    const char *m_data = nullptr;
    qint64 m_base = 0;
    qint64 m_counted = 0; // raw offset up to which lone breaks are counted
    qint64 m_lone = 0;
    int m_begins = 0;
    bool m_stopped = false;
    ReadError m_error;
    Reading m_entry;
};

// Hands a package's bytes to a scanner one piece at a time: bytes in memory as they lie, a file
// through a buffer of one piece plus the last few bytes of the one before, so that a marker
// split between two reads is seen whole. The file is sought before every read: entry bytes
// are fetched from it between the pieces.
class Pieces
{
public:
    Pieces(const QByteArray &bytes, QFile *file) : m_bytes(bytes), m_file(file) {}

    bool atEnd() const { return m_end; }
    // The bytes read through so far.
    qint64 size() const { return m_file ? m_base + m_have : m_from; }

    // False, with the reason, when the file cannot be read.
    bool feed(Scanner &scanner, QString *error);

private:
    bool failed(QString *error);

    const QByteArray &m_bytes;
    QFile *m_file;
    QByteArray m_buffer;
    qint64 m_base = 0, m_have = 0, m_from = 0;
    bool m_end = false;
};

} // namespace brx
