// Reading packages in one pass over their bytes, holding only names and places.
//
// The markers hold no line breaks, so they sit in the raw file exactly where they sit in the
// text with its breaks made CR LF, shifted by the lone CRs and LFs before them. The scan
// therefore finds markers in the raw bytes and counts lone breaks on the way to turn raw
// offsets into the positions the format speaks of, without building the normalised text.
// Every search of the format ("first M at or after P") only ever moves forward, so one pass
// that remembers, for the entry being read, the first occurrence of each marker past its
// starting point gives the same entries and the same errors as searching the whole text.
#include "brx/BrxScanner.h"

#include "platform/FileIO.h"
#include "platform/LineBreaks.h"

#include <QFile>
#include <QHashFunctions>
#include <cstring>

namespace brx {

namespace {

QString describe(Marker m) { return QString::fromLatin1(kMarkerText[m]); }

} // namespace

quint64 hashOf(const Entry &e)
{
    return qHashMulti(0, e.installPath, e.title, e.binary, e.offset, e.length, e.looseBreaks, e.size);
}

void Scanner::take(const char *data, qint64 base, qint64 size, qint64 from, qint64 limit)
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

void Scanner::finish(ReadResult &result)
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

void Scanner::countBreaksTo(qint64 to)
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

void Scanner::append(Capture &c, qint64 to)
{
    if (c.on && c.from < to) {
        c.bytes.append(m_data + (c.from - m_base), to - c.from);
        c.from = to;
    }
}

void Scanner::feedContent(qint64 to)
{
    if (m_entry.feeding && m_entry.feedFrom < to) {
        m_entry.base64.feed(m_data + (m_entry.feedFrom - m_base), to - m_entry.feedFrom);
        m_entry.feedFrom = to;
    }
}

void Scanner::flush(qint64 limit)
{
    countBreaksTo(limit);
    append(m_entry.path, limit);
    append(m_entry.title, limit);
    feedContent(limit);
}

void Scanner::event(Marker m, qint64 r)
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

void Scanner::fail(const QString &reason)
{
    m_error = ReadError{m_read + 1, reason};
    m_stopped = true;
    m_entry = Reading();
}

void Scanner::missing(Marker m, qint64 from)
{
    fail(QStringLiteral("no %1 at or after position %2").arg(describe(m)).arg(from));
}

void Scanner::decide(bool atEnd)
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
    if (m_keep && keepAtMost >= 0 && m_keep->size() >= keepAtMost) {
        // Too many to hold: they are read again when they are wanted.
        m_keep->clear();
        m_keep->squeeze();
        m_keep = nullptr;
    }
    if (m_keep)
        m_keep->append(std::move(entry));

    // The next entry's searches start after this end marker.
    const qint64 next = n.e + kMarkerLength[End];
    m_entry = Reading();
    m_entry.p = next;
}

QByteArray Scanner::normalized(const QByteArray &bytes) const
{
    if (!m_normalize || (!bytes.contains('\r') && !bytes.contains('\n')))
        return bytes;
    QByteArray out;
    linebreaks::appendCrLf(out, bytes.constData(), bytes.size());
    return out;
}

bool Pieces::feed(Scanner &scanner, QString *error)
{
    if (!m_file) {
        const qint64 limit = qMin(qint64(m_bytes.size()), m_from + kChunk);
        m_end = limit == m_bytes.size();
        scanner.take(m_bytes.constData(), 0, m_bytes.size(), m_from, limit);
        m_from = limit;
        return true;
    }
    // A piece, or the whole file when it is smaller: a short package costs no more to read
    // than its own size.
    if (m_buffer.isEmpty())
        m_buffer.resize(qMin(kChunk, qMax(m_file->size(), qint64(0)) + 1) + kLongestMarker);
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

bool Pieces::failed(QString *error)
{
    if (error)
        *error = m_file->errorString();
    return false;
}

} // namespace brx
