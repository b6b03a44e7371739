#include "brx/Archive.h"

#include "brx/ArchiveApi.h"
#include "platform/FileIO.h"

#include <QFileInfo>
#include <QLocale>

namespace archives {

namespace {

const char *const kArchiveExtensions[] = {".zip", ".7z", ".rar", ".tar", ".tar.gz", ".tgz", ".tar.bz2",
                                          ".tbz2", ".tar.xz", ".txz", ".tar.zst", ".tar.lzma"};

constexpr size_t kBlock = 64 * 1024;

// Only reached once a reader or writer has loaded the library (make() and Writer's constructor).
const ArchiveApi &api() { return *archiveApi(); }

QString lastError(struct archive *a, const char *fallback)
{
    const char *text = a ? api().archive_error_string(a) : nullptr;
    return QString::fromUtf8(text && *text ? text : fallback);
}

QString sizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

} // namespace

bool escapes(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1Char('\\')))
        return true;
    if (path.size() >= 2 && path.at(1) == QLatin1Char(':'))
        return true;
    const QStringList parts = QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/'));
    for (const QString &part : parts) {
        // Windows ignores trailing dots and blanks: "..." and ".. " climb as ".." does.
        QString trimmed = part;
        while (trimmed.endsWith(QLatin1Char(' ')) || trimmed.endsWith(QLatin1Char('.')))
            trimmed.chop(1);
        if (trimmed.isEmpty() && part.startsWith(QLatin1String("..")))
            return true;
    }
    return false;
}

struct Reader::Private
{
    struct archive *a = nullptr;
    bool started = false;
    ~Private()
    {
        if (a)
            api().archive_read_free(a);
    }
    bool make(QString *error)
    {
        if (!archiveApi(error))
            return false;
        a = api().archive_read_new();
        if (!a) {
            if (error)
                *error = QStringLiteral("out of memory");
            return false;
        }
        api().archive_read_support_filter_all(a);
        // The formats add-ons come in, named one by one: "all" would take in mtree, whose
        // plain-text listings name files on this machine to read.
        api().archive_read_support_format_zip(a);
        api().archive_read_support_format_7zip(a);
        api().archive_read_support_format_rar(a);
        api().archive_read_support_format_rar5(a);
        api().archive_read_support_format_tar(a);
        api().archive_read_support_format_gnutar(a);
        api().archive_read_support_format_cab(a);
        api().archive_read_support_format_lha(a);
        return true;
    }
};

Reader::Reader() : d(std::make_unique<Private>()) {}
Reader::~Reader() = default;

bool Reader::open(const QString &hostPath, QString *error)
{
    if (!d->make(error))
        return false;
    if (api().archive_read_open_filename(d->a, QFile::encodeName(hostPath).constData(), kBlock) != ARCHIVE_OK) {
        if (error)
            *error = lastError(d->a, "cannot be opened");
        return false;
    }
    return true;
}

bool Reader::openMemory(const QByteArray &bytes, QString *error)
{
    if (!d->make(error))
        return false;
    if (api().archive_read_open_memory(d->a, bytes.constData(), size_t(bytes.size())) != ARCHIVE_OK) {
        if (error)
            *error = lastError(d->a, "cannot be opened");
        return false;
    }
    return true;
}

bool Reader::next(Entry &entry, QString *error)
{
    if (!d->a) {
        if (error)
            *error = QStringLiteral("the archive is not open");
        return false;
    }
    struct archive_entry *header = nullptr;
    const int r = api().archive_read_next_header(d->a, &header);
    if (r == ARCHIVE_EOF)
        return false;
    if (r < ARCHIVE_WARN || !header) {
        if (error)
            *error = lastError(d->a, "damaged header");
        return false;
    }
    d->started = true;
    const char *utf8 = api().archive_entry_pathname_utf8(header);
    if (utf8) {
        entry.path = QString::fromUtf8(utf8);
    } else {
        const char *raw = api().archive_entry_pathname(header);
        entry.path = raw ? fileio::decode1252(QByteArray(raw)) : QString();
    }
    entry.encrypted = api().archive_entry_is_encrypted(header);
    entry.size = api().archive_entry_size_is_set(header) ? api().archive_entry_size(header) : 0;
    if (api().archive_entry_hardlink(header))
        entry.kind = Entry::HardLink;
    else {
        switch (api().archive_entry_filetype(header)) {
        case AE_IFREG: entry.kind = Entry::File; break;
        case AE_IFDIR: entry.kind = Entry::Folder; break;
        case AE_IFLNK: entry.kind = Entry::Link; break;
        default: entry.kind = Entry::Device; break;
        }
    }
    ++entry.index;
    return true;
}

bool Reader::readBlocks(const std::function<bool(const char *, qsizetype)> &sink, QString *error)
{
    if (!d->a) {
        if (error)
            *error = QStringLiteral("the archive is not open");
        return false;
    }
    char block[kBlock];
    for (;;) {
        const la_ssize_t n = api().archive_read_data(d->a, block, sizeof block);
        if (n == 0)
            return true;
        if (n < 0) {
            if (error)
                *error = lastError(d->a, "damaged data");
            return false;
        }
        if (!sink(block, qsizetype(n)))
            return false;
    }
}

bool Reader::readAll(QByteArray &bytes, qint64 limit, QString *error)
{
    bytes.resize(0); // keeps the capacity: one buffer serves entry after entry
    return readBlocks(
        [&](const char *data, qsizetype n) {
            if (bytes.size() + n > limit) {
                if (error)
                    *error = QStringLiteral("the entry is larger than it was when the archive was checked");
                return false;
            }
            bytes.append(data, n);
            return true;
        },
        error);
}

QString Reader::formatName() const
{
    const char *name = d->started ? api().archive_format_name(d->a) : nullptr;
    return QString::fromUtf8(name ? name : "unknown");
}

bool Reader::isZip() const
{
    return d->started && (api().archive_format(d->a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
}

namespace {

Checked checkWith(Reader &reader, const QString &openError, qint64 packed, const QString &name,
                  const Limits &limits, const KeepBytes &keep, const TakeBytes &take)
{
    Checked checked;
    auto refuse = [&](const QString &why) {
        checked.files.clear();
        checked.refusal = why;
        return checked;
    };
    // Not the archive's fault: say so rather than call it damaged.
    QString unreadable;
    if (!archiveApi(&unreadable))
        return refuse(QStringLiteral("%1 cannot be read: %2.").arg(name, unreadable));
    const bool zipName = name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive);
    if (!openError.isEmpty() && zipName)
        return refuse(QStringLiteral("%1 is not a zip archive (%2).").arg(name, openError));
    if (!openError.isEmpty())
        return refuse(QStringLiteral("%1 is damaged or cut short, or is no archive: %2.").arg(name, openError));
    Entry entry;
    QString error;
    int count = 0;
    QByteArray whole;
    for (;;) {
        if (!reader.next(entry, &error)) {
            if (!error.isEmpty() && count == 0 && zipName)
                return refuse(QStringLiteral("%1 is not a zip archive (%2).").arg(name, error));
            if (!error.isEmpty())
                return refuse(QStringLiteral("%1 is damaged or cut short: %2.").arg(name, error));
            break;
        }
        if (count == 0 && zipName && !reader.isZip())
            return refuse(QStringLiteral("%1 is not a zip archive (it reads as %2).").arg(name, reader.formatName()));
        if (++count > limits.maxEntries)
            return refuse(QStringLiteral("%1 holds more than %2 entries.").arg(name).arg(limits.maxEntries));
        if (escapes(entry.path))
            return refuse(QStringLiteral("%1 names a place outside itself: \"%2\".").arg(name, entry.path));
        switch (entry.kind) {
        case Entry::Link:
        case Entry::HardLink:
            return refuse(QStringLiteral("%1 holds a link: \"%2\".").arg(name, entry.path));
        case Entry::Device:
            return refuse(QStringLiteral("%1 holds a device or special file: \"%2\".").arg(name, entry.path));
        case Entry::Folder:
        case Entry::File:
            break;
        }
        if (entry.encrypted)
            return refuse(QStringLiteral("%1 holds an encrypted entry: \"%2\".").arg(name, entry.path));
        if (entry.kind == Entry::Folder)
            continue;
        const bool wanted = keep && take && keep(entry);
        whole.clear();
        qint64 size = 0;
        QString why;
        const bool read = reader.readBlocks(
            [&](const char *data, qsizetype n) {
                size += n;
                checked.total += n;
                if (checked.total > limits.maxTotal) {
                    why = QStringLiteral("%1 unpacks to more than %2.").arg(name, sizeText(limits.maxTotal));
                    return false;
                }
                if (checked.total > limits.ratioFrom && double(checked.total) > limits.maxRatio * double(qMax<qint64>(packed, 1))) {
                    why = QStringLiteral("%1 unpacks to more than %2 times its size, as only a decompression bomb does.")
                              .arg(name)
                              .arg(limits.maxRatio);
                    return false;
                }
                if (wanted)
                    whole.append(data, n);
                return true;
            },
            &error);
        if (!why.isEmpty())
            return refuse(why);
        if (!read)
            return refuse(QStringLiteral("%1 is damaged or cut short: %2.").arg(name, error));
        entry.size = size;
        if (wanted)
            take(entry, whole);
        checked.files.append(entry);
    }
    if (count == 0 && zipName)
        return refuse(QStringLiteral("%1 is not a zip archive.").arg(name));
    return checked;
}

} // namespace

Checked check(const QString &hostPath, const QString &name, const Limits &limits, const KeepBytes &keep,
              const TakeBytes &take)
{
    Reader reader;
    QString error;
    reader.open(hostPath, &error);
    return checkWith(reader, error, QFileInfo(hostPath).size(), name, limits, keep, take);
}

Checked checkMemory(const QByteArray &bytes, const QString &name, const Limits &limits, const KeepBytes &keep,
                    const TakeBytes &take)
{
    Reader reader;
    QString error;
    reader.openMemory(bytes, &error);
    return checkWith(reader, error, bytes.size(), name, limits, keep, take);
}

// ---- Writing ------------------------------------------------------------------------------

struct Writer::Private
{
    struct archive *a = nullptr;
    QByteArray bytes;
    QString error;
    bool finished = false;

    static la_ssize_t append(struct archive *, void *self, const void *data, size_t n)
    {
        static_cast<Private *>(self)->bytes.append(static_cast<const char *>(data), qsizetype(n));
        return la_ssize_t(n);
    }
    bool fail()
    {
        if (error.isEmpty())
            error = lastError(a, "cannot write the archive");
        return false;
    }
    bool header(const QString &path, mode_t type, qint64 size, const std::function<void(archive_entry *)> &more = {})
    {
        if (!error.isEmpty())
            return false;
        archive_entry *entry = api().archive_entry_new();
        api().archive_entry_set_pathname_utf8(entry, path.toUtf8().constData());
        api().archive_entry_set_filetype(entry, type);
        api().archive_entry_set_perm(entry, type == AE_IFDIR ? 0755 : 0644);
        api().archive_entry_set_size(entry, size);
        api().archive_entry_set_mtime(entry, 1000000000, 0);
        if (more)
            more(entry);
        const int r = api().archive_write_header(a, entry);
        api().archive_entry_free(entry);
        return r == ARCHIVE_OK || fail();
    }
};

Writer::Writer(Format format, const QByteArray &zipPassphrase) : d(std::make_unique<Private>())
{
    if (!archiveApi(&d->error))
        return;
    d->a = api().archive_write_new();
    int r = ARCHIVE_OK;
    switch (format) {
    case Zip:
        r = api().archive_write_set_format_zip(d->a);
        if (r == ARCHIVE_OK && !zipPassphrase.isEmpty()) {
            r = api().archive_write_set_options(d->a, "zip:encryption=zipcrypt");
            if (r == ARCHIVE_OK)
                r = api().archive_write_set_passphrase(d->a, zipPassphrase.constData());
        }
        break;
    case TarGz:
        r = api().archive_write_set_format_pax_restricted(d->a);
        if (r == ARCHIVE_OK)
            r = api().archive_write_add_filter_gzip(d->a);
        break;
    case SevenZip:
        r = api().archive_write_set_format_7zip(d->a);
        break;
    }
    api().archive_write_set_bytes_in_last_block(d->a, 1);
    if (r != ARCHIVE_OK || api().archive_write_open2(d->a, d.get(), nullptr, &Private::append, nullptr, nullptr) != ARCHIVE_OK)
        d->fail();
}

Writer::~Writer()
{
    if (d->a)
        api().archive_write_free(d->a);
}

bool Writer::addFile(const QString &path, const QByteArray &bytes)
{
    if (!d->header(path, AE_IFREG, bytes.size()))
        return false;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const la_ssize_t n = api().archive_write_data(d->a, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return d->fail();
        done += qsizetype(n);
    }
    return true;
}

bool Writer::addFolder(const QString &path) { return d->header(path, AE_IFDIR, 0); }

bool Writer::addLink(const QString &path, const QString &target, bool hard)
{
    const QByteArray to = target.toUtf8();
    if (hard)
        return d->header(path, AE_IFREG, 0, [&](archive_entry *e) { api().archive_entry_set_hardlink(e, to.constData()); });
    return d->header(path, AE_IFLNK, 0, [&](archive_entry *e) { api().archive_entry_set_symlink(e, to.constData()); });
}

bool Writer::addDevice(const QString &path)
{
    return d->header(path, AE_IFCHR, 0, [](archive_entry *e) { api().archive_entry_set_rdev(e, 0x0103); });
}

QByteArray Writer::finish(QString *error)
{
    if (!d->finished) {
        d->finished = true;
        if (d->a && api().archive_write_close(d->a) != ARCHIVE_OK)
            d->fail();
    }
    if (!d->error.isEmpty()) {
        if (error)
            *error = d->error;
        return {};
    }
    return d->bytes;
}

QString archiveExtension(const QString &path)
{
    for (const char *extension : kArchiveExtensions) {
        if (path.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
            return QLatin1String(extension);
    }
    return {};
}

bool isArchiveName(const QString &path) { return !archiveExtension(path).isEmpty(); }

} // namespace archives
