// Reading packages: a whole text at once, a file in two passes, and a package's entries one
// at a time without holding them all.
#include "brx/Brx.h"
#include "brx/BrxScanner.h"

#include "platform/FileIO.h"
#include "platform/LineBreaks.h"

#include <QFile>
#include <QFileInfo>

namespace brx {

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
    qsizetype keepAtMost = -1;
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
            *error = kChangedWhileRead;
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

void PackageReader::setKeepAtMost(qsizetype entries) { d->keepAtMost = entries; }

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
    Scanner scanner(d->fromFile, &result.entries);
    scanner.keepAtMost = d->keepAtMost;
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
    // so that a file changed since the scan is caught before it can write past the end; no
    // more, as the install keeps the bytes of every file waiting to be written.
    bytes.resize(entry.binary ? entry.size + qMin(kChunk, entry.length) : 0);
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
            *error = kChangedWhileRead;
        return false;
    }
    return true;
}

} // namespace brx
