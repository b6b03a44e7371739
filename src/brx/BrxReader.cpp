// Reading packages in one pass over their bytes, holding only names and places.
//
// The markers hold no line breaks, so they sit in the raw file exactly where they sit in the
// text with its breaks made CR LF, shifted by the lone CRs and LFs before them. The scan
// therefore finds markers in the raw bytes and counts lone breaks on the way to turn raw
// offsets into the positions the format speaks of, without building the normalised text.
// Every search of the format ("first M at or after P") only ever moves forward, so one pass
// that remembers, for the entry being read, the first occurrence of each marker past its
// starting point gives the same entries and the same errors as searching the whole text.
#include "brx/Brx.h"
#include "brx/BrxSyntax.h"
#include "platform/HostPaths.h"

#include "platform/FileIO.h"
#include "platform/LineBreaks.h"

#include <QFile>
#include <QFileInfo>
#include <QHashFunctions>
#include <cstring>

namespace brx {

namespace {

// Read in pieces of this size: large enough for few system calls, small next to any limit.
constexpr qint64 kChunk = qint64(1) << 20;

QString describe(Marker m) { return QString::fromLatin1(kMarkerText[m]); }

// What tells one list of entries from another read from a changed file: everything but the
// content, in order.
quint64 hashOf(const Entry &e)
{
    return qHashMulti(0, e.installPath, e.title, e.binary, e.offset, e.length, e.looseBreaks, e.size);
}

quint64 mix(quint64 digest, quint64 hash) { return (digest ^ hash) * 0x100000001b3ULL; }

// One pass over a package's bytes, fed in pieces. The entries it reads go to keep when given.
class Scanner
{
public:
    Scanner(bool normalize, QList<Entry> *keep) : m_normalize(normalize), m_keep(keep) {}

    // In-memory packages keep their content in the entries.
    const QByteArray *contentOf = nullptr;
    bool sharing = false;

    // Looks at the marker starts in [from, limit) of the bytes [base, base + size); at the end of
    // the package limit is base + size. Bytes before limit - 1 are not needed again.
    void take(const char *data, qint64 base, qint64 size, qint64 from, qint64 limit)
    {
        m_data = data;
        m_base = base;
        for (qint64 at = from; at < limit;) {
            const auto *hash = static_cast<const char *>(std::memchr(data + (at - base), '#', size_t(limit - at)));
            if (!hash)
                break;
            const qint64 r = base + (hash - data);
            const Marker m = markerAt(hash, base + size - r);
            if (m != NoMarker)
                event(m, r);
            at = r + 1;
        }
        // Carry what the entry being read keeps up to the limit, so the pieces can go.
        if (limit > base && limit < base + size)
            flush(limit);
    }

    void finish(ReadResult &result)
    {
        if (!m_stopped)
            decide(true);
        result.count = m_begins;
        if (m_read >= m_begins) {
            if (m_keep)
                m_keep->resize(m_begins);
            result.error.reset();
        } else {
            result.error = m_error;
        }
    }

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
    void countBreaksTo(qint64 to)
    {
        if (!m_normalize) {
            m_counted = to;
            return;
        }
        const auto *d = reinterpret_cast<const unsigned char *>(m_data) - m_base;
        qint64 lone = 0;
        qint64 j = m_counted;
        if (j == 0 && j < to) {
            lone += unsigned(d[0] == '\n') + unsigned(d[0] == '\r' && d[1] != '\n');
            ++j;
        }
        const auto step = [&] {
            const unsigned c = d[j];
            lone += unsigned(c == '\n') & unsigned(d[j - 1] != '\r');
            lone += unsigned(c == '\r') & unsigned(d[j + 1] != '\n');
            ++j;
        };
        // Eight bytes at a time past those with no break in them: most of a package is lines
        // of base64 far longer than that.
        constexpr quint64 kOnes = 0x0101010101010101ULL, kHighs = 0x8080808080808080ULL;
        const auto hasByte = [](quint64 word, unsigned char b) {
            const quint64 v = word ^ (kOnes * b);
            return ((v - kOnes) & ~v & kHighs) != 0;
        };
        while (j + 8 <= to) {
            quint64 word;
            std::memcpy(&word, d + j, 8);
            if (!hasByte(word, '\r') && !hasByte(word, '\n')) {
                j += 8;
                continue;
            }
            for (int k = 0; k < 8; ++k)
                step();
        }
        while (j < to)
            step();
        m_lone += lone;
        m_counted = to;
    }

    void append(Capture &c, qint64 to)
    {
        if (c.on && c.from < to) {
            c.bytes.append(m_data + (c.from - m_base), to - c.from);
            c.from = to;
        }
    }

    void feedContent(qint64 to)
    {
        if (m_entry.feeding && m_entry.feedFrom < to) {
            m_entry.base64.feed(m_data + (m_entry.feedFrom - m_base), to - m_entry.feedFrom);
            m_entry.feedFrom = to;
        }
    }

    void flush(qint64 limit)
    {
        countBreaksTo(limit);
        append(m_entry.path, limit);
        append(m_entry.title, limit);
        feedContent(limit);
    }

    void event(Marker m, qint64 r)
    {
        countBreaksTo(r);
        const qint64 x = r + m_lone + 1; // 1-based position in the text with CR LF breaks
        if (m == Begin) {
            ++m_begins;
            // An entry read ahead of its begin marker now counts.
            if (!m_ahead.isEmpty() && m_read - m_ahead.size() < m_begins)
                m_digest = mix(m_digest, m_ahead.takeFirst());
            return;
        }
        if (m_stopped)
            return;
        Reading &n = m_entry;
        switch (m) {
        case Install:
            if (n.i || x < n.p)
                return;
            n.i = x;
            n.path = {true, r + kMarkerLength[Install], {}};
            break;
        case InstallEnd:
            if (!n.i || n.ie || x < n.i + kMarkerLength[Install])
                return;
            n.ie = x;
            append(n.path, r);
            n.path.on = false;
            break;
        case Title:
            if (!n.ie || n.t || x < n.ie)
                return;
            n.t = x;
            n.title = {!n.te, r + kMarkerLength[Title], {}};
            break;
        case TitleEnd:
            if (!n.ie || n.te || x < n.ie)
                return;
            n.te = x;
            n.rawContent = r + kMarkerLength[TitleEnd];
            if (n.t && x >= n.t + kMarkerLength[Title]) {
                append(n.title, r);
                n.binary = n.title.bytes.endsWith(kBinaryMark);
                n.feeding = n.binary;
                n.feedFrom = n.rawContent;
            }
            n.title.on = false;
            break;
        case End:
            if (n.e || x < n.p)
                return;
            n.e = x;
            n.rawEnd = r;
            feedContent(r);
            n.feeding = false;
            break;
        default:
            return;
        }
        decide(false);
    }

    void fail(const QString &reason)
    {
        m_error = ReadError{m_read + 1, reason};
        m_stopped = true;
        m_entry = Reading();
    }

    void missing(Marker m, qint64 from)
    {
        fail(QStringLiteral("no %1 at or after position %2").arg(describe(m)).arg(from));
    }

    // The entry's verdict as the format's searches give it, once every search it needs is answered.
    void decide(bool atEnd)
    {
        const Reading &n = m_entry;
        if (!n.i)
            return atEnd ? missing(Install, n.p) : void();
        const qint64 a = n.i + kMarkerLength[Install];
        if (!n.ie)
            return atEnd ? missing(InstallEnd, a) : void();
        if (!n.t)
            return atEnd ? missing(Title, n.ie) : void();
        const qint64 t1 = n.t + kMarkerLength[Title];
        if (!n.te)
            return atEnd ? missing(TitleEnd, n.ie) : void();
        if (n.te < t1)
            return fail(QStringLiteral("%1 at position %2 comes before the title starts at %3")
                            .arg(describe(TitleEnd)).arg(n.te).arg(t1));
        if (!n.e)
            return atEnd ? missing(End, n.p) : void();
        const qint64 s = n.te + kMarkerLength[TitleEnd];
        if (n.e < s)
            return fail(QStringLiteral("%1 at position %2 comes before the content starts at %3")
                            .arg(describe(End)).arg(n.e).arg(s));
        if (n.binary && !n.base64.valid())
            return fail(QStringLiteral("its content is not valid base64"));

        Entry entry;
        entry.installPath = fileio::decode1252(normalized(n.path.bytes));
        entry.title = fileio::decode1252(normalized(n.title.bytes));
        entry.binary = n.binary;
        entry.offset = n.rawContent;
        entry.length = n.rawEnd - n.rawContent;
        entry.looseBreaks = n.e - s != entry.length;
        entry.size = n.binary ? n.base64.decoded() : n.e - s + 2;
        if (contentOf)
            entry.content = sharing ? QByteArray::fromRawData(contentOf->constData() + entry.offset, entry.length)
                                    : contentOf->mid(entry.offset, entry.length);
        // Entries past the begin markers counted so far are dropped unless more markers come,
        // so their share of the digest waits for them.
        if (++m_read <= m_begins)
            m_digest = mix(m_digest, hashOf(entry));
        else
            m_ahead.append(hashOf(entry));
        if (m_keep)
            m_keep->append(std::move(entry));

        // The next entry's searches start after this end marker.
        const qint64 next = n.e + kMarkerLength[End];
        m_entry = Reading();
        m_entry.p = next;
    }

    QByteArray normalized(const QByteArray &bytes) const
    {
        if (!m_normalize || (!bytes.contains('\r') && !bytes.contains('\n')))
            return bytes;
        QByteArray out;
        linebreaks::appendCrLf(out, bytes.constData(), bytes.size());
        return out;
    }

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

} // namespace

ReadResult readEntries(const QByteArray &text, bool sharing)
{
    ReadResult result;
    Scanner scanner(false, &result.entries);
    scanner.contentOf = &text;
    scanner.sharing = sharing;
    scanner.take(text.constData(), 0, text.size(), 0, text.size());
    scanner.finish(result);
    return result;
}

ReadResult readEntries(const QByteArray &text) { return readEntries(text, false); }

ReadResult readEntries(const QString &package) { return readEntries(fileio::encode1252(package)); }

namespace {

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
    bool feed(Scanner &scanner, QString *error)
    {
        if (!m_file) {
            const qint64 limit = qMin(qint64(m_bytes.size()), m_from + kChunk);
            m_end = limit == m_bytes.size();
            scanner.take(m_bytes.constData(), 0, m_bytes.size(), m_from, limit);
            m_from = limit;
            return true;
        }
        if (m_buffer.isEmpty())
            m_buffer.resize(kChunk + kLongestMarker);
        if (!m_file->seek(m_base + m_have))
            return failed(error);
        while (m_have < m_buffer.size()) {
            const qint64 n = m_file->read(m_buffer.data() + m_have, m_buffer.size() - m_have);
            if (n < 0)
                return failed(error);
            if (n == 0) {
                m_end = true;
                break;
            }
            m_have += n;
        }
        const qint64 limit = m_end ? m_base + m_have : qMax(m_from, m_base + m_have - (kLongestMarker - 1));
        scanner.take(m_buffer.constData(), m_base, m_have, m_from, limit);
        m_from = limit;
        if (!m_end) {
            const qint64 keep = m_base + m_have - (limit - 1);
            std::memmove(m_buffer.data(), m_buffer.constData() + (m_have - keep), size_t(keep));
            m_base = limit - 1;
            m_have = keep;
        }
        return true;
    }

private:
    bool failed(QString *error)
    {
        if (error)
            *error = m_file->errorString();
        return false;
    }

    const QByteArray &m_bytes;
    QFile *m_file;
    QByteArray m_buffer;
    qint64 m_base = 0, m_have = 0, m_from = 0;
    bool m_end = false;
};

// The second reading behind next(): the entries of the piece read last wait in queue.
struct Walk
{
    Walk(bool normalize, const QByteArray &bytes, QFile *file) : scanner(normalize, &queue), pieces(bytes, file) {}

    QList<Entry> queue;
    qsizetype head = 0;
    Scanner scanner;
    Pieces pieces;
};

} // namespace

struct PackageReader::Private
{
    QByteArray bytes;  // a package given in memory
    QFile file;        // or one read from its file
    bool fromFile = false;
    bool keepEntries = true;
    QByteArray chunk;  // the second pass's piece of a binary entry or of loose line breaks
    std::optional<ReadResult> scanned;
    QString scanError;
    // What the scan saw, to tell a file changed since.
    quint64 digest = 0;
    qint64 scannedSize = 0;
    // Where next() is.
    std::unique_ptr<Walk> walk;
    int given = 0;
    quint64 givenDigest = 0;

    // Reads exactly size bytes at offset, or says why not.
    bool readAt(qint64 offset, char *to, qint64 size, QString *error)
    {
        if (!file.seek(offset))
            return failed(error);
        while (size > 0) {
            const qint64 n = file.read(to, size);
            if (n <= 0)
                return failed(error);
            to += n;
            size -= n;
        }
        return true;
    }

    bool failed(QString *error)
    {
        if (error)
            *error = file.error() == QFileDevice::NoError
                ? QStringLiteral("the package file became shorter while it was read")
                : file.errorString();
        return false;
    }

    static bool changed(QString *error)
    {
        if (error)
            *error = QStringLiteral("the package file changed while it was read");
        return false;
    }
};

PackageReader::PackageReader() : d(std::make_unique<Private>()) {}

PackageReader::PackageReader(const QByteArray &package) : PackageReader() { d->bytes = package; }

PackageReader::~PackageReader() = default;

bool PackageReader::open(const QString &hostPath, QString *error)
{
    d->scanned.reset();
    rewind();
    d->file.close();
    d->file.setFileName(hostPath);
    d->fromFile = true;
    if (QFileInfo(hostPath).isDir()) {
        if (error)
            *error = QStringLiteral("it is a folder");
        return false;
    }
    // Unbuffered: the pieces are large, and a second copy in QFile's buffer would only cost.
    if (!d->file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        if (error)
            *error = d->file.errorString();
        return false;
    }
    return true;
}

void PackageReader::setKeepEntries(bool keep) { d->keepEntries = keep; }

ReadResult PackageReader::scan(QString *error)
{
    if (!d->scanned) {
        d->scanned = scanOnce(&d->scanError);
    }
    if (error)
        *error = d->scanError;
    return *d->scanned;
}

ReadResult PackageReader::scanOnce(QString *error)
{
    ReadResult result;
    Scanner scanner(d->fromFile, d->keepEntries ? &result.entries : nullptr);
    if (!d->fromFile) {
        scanner.contentOf = &d->bytes;
        scanner.sharing = true;
    } else if (!d->file.isOpen()) {
        if (error)
            *error = QStringLiteral("not open");
        return {};
    }
    Pieces pieces(d->bytes, d->fromFile ? &d->file : nullptr);
    while (!pieces.atEnd()) {
        if (!pieces.feed(scanner, error))
            return {};
    }
    scanner.finish(result);
    d->digest = scanner.digest();
    d->scannedSize = pieces.size();
    return result;
}

void PackageReader::rewind()
{
    d->walk.reset();
    d->given = 0;
    d->givenDigest = 0;
}

bool PackageReader::next(Entry &entry, QString *error)
{
    if (!d->scanned)
        scan();
    const ReadResult &read = *d->scanned;
    if (!read.valid() || read.error || d->given >= read.count)
        return false;
    if (!read.entries.isEmpty()) {
        entry = read.entries.at(d->given++);
        return true;
    }
    if (!d->walk) {
        d->walk = std::make_unique<Walk>(d->fromFile, d->bytes, d->fromFile ? &d->file : nullptr);
        if (!d->fromFile) {
            d->walk->scanner.contentOf = &d->bytes;
            d->walk->scanner.sharing = true;
        }
    }
    Walk &w = *d->walk;
    while (w.head == w.queue.size()) {
        w.queue.clear();
        w.head = 0;
        // Fewer entries than the scan found, or a file of another length: not what was checked.
        if (w.pieces.atEnd() || w.scanner.stopped() || (d->fromFile && d->file.size() != d->scannedSize))
            return Private::changed(error);
        if (!w.pieces.feed(w.scanner, error))
            return false;
    }
    entry = std::move(w.queue[w.head++]);
    d->givenDigest = mix(d->givenDigest, hashOf(entry));
    if (++d->given == read.count) {
        // The rest of the file holds nothing more to give: its buffer can go.
        d->walk.reset();
        if (d->givenDigest != d->digest)
            return Private::changed(error);
    }
    return true;
}

QByteArray PackageReader::entryStart(const Entry &entry, qsizetype n)
{
    // Four characters of base64 give three bytes; a few line breaks may come between them.
    const qint64 want = qMin(entry.length, entry.binary ? qint64(n) * 2 + 64 : qint64(n));
    QByteArray raw;
    if (!d->fromFile) {
        raw = entry.content.left(want);
    } else {
        raw.resize(want);
        if (!d->readAt(entry.offset, raw.data(), want, nullptr))
            return {};
    }
    if (!entry.binary)
        return raw;
    QByteArray start(raw.size(), Qt::Uninitialized);
    Base64Stream base64;
    base64.feed(raw.constData(), raw.size(), start.data());
    start.truncate(qMin(qint64(n), base64.decoded()));
    return start;
}

bool PackageReader::entryBytes(const Entry &entry, QByteArray &bytes, QString *error)
{
    if (!d->fromFile) {
        bytes = entry.installBytes();
        return true;
    }
    if (!entry.binary && !entry.looseBreaks) {
        bytes.resize(entry.length + 2);
        if (!d->readAt(entry.offset, bytes.data(), entry.length, error))
            return false;
        bytes[entry.length] = '\r';
        bytes[entry.length + 1] = '\n';
        return true;
    }
    // Binary content is decoded, and loose line breaks made CR LF, piece by piece: the raw
    // text can be far longer than what it turns into. Room for one piece more than counted,
    // so that a file changed since the scan is caught before it can write past the end.
    bytes.resize(entry.binary ? entry.size + kChunk : 0);
    Base64Stream base64;
    for (qint64 at = 0; at < entry.length;) {
        const qint64 n = qMin(kChunk, entry.length - at);
        d->chunk.resize(n);
        if (!d->readAt(entry.offset + at, d->chunk.data(), n, error))
            return false;
        // A CR at the end of a piece pairs with an LF at the start of the next: keep it back.
        qint64 use = n;
        if (!entry.binary && use > 1 && at + n < entry.length && d->chunk.endsWith('\r'))
            --use;
        if (entry.binary)
            base64.feed(d->chunk.constData(), use, bytes.data());
        else
            linebreaks::appendCrLf(bytes, d->chunk.constData(), use);
        at += use;
        if ((entry.binary ? base64.decoded() : bytes.size()) > entry.size)
            break;
    }
    if (entry.binary)
        bytes.truncate(base64.decoded());
    else
        bytes.append("\r\n", 2);
    if (bytes.size() != entry.size || (entry.binary && !base64.valid())) {
        if (error)
            *error = QStringLiteral("the package file changed while it was read");
        return false;
    }
    return true;
}

} // namespace brx
