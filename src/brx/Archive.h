#pragma once
// Add-on archives as players download them (zip, 7z, rar, tar and its compressions), read and
// written through libarchive. Reading streams one entry at a time: memory stays bounded by the
// largest entry, whatever the size of the archive. Anything a hostile or damaged archive could
// do to the player's disk is refused before a single file is written.
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace archives {

// The extension the installer reads an archive by (".zip", ".tar.gz", ... in any case) that the
// name ends with, as listed; empty when the name is not an archive's.
QString archiveExtension(const QString &path);
// Whether the installer reads this file as an archive, by its extension.
bool isArchiveName(const QString &path);

struct Limits
{
    qint64 maxTotal = qint64(2) << 30;        // unpacked bytes of the whole archive
    double maxRatio = 200.0;                  // unpacked to packed size ...
    qint64 ratioFrom = qint64(100) << 20;     // ... once this much has been unpacked
    int maxEntries = 65536;
};

struct Entry
{
    enum Kind { File, Folder, Link, HardLink, Device };
    QString path;        // as the archive names it
    Kind kind = File;
    bool encrypted = false;
    qint64 size = 0;     // unpacked bytes, as the checking pass counted them (files only)
    int index = -1;      // position among all entries of the archive
};

// One pass through an archive, entry by entry.
class Reader
{
public:
    Reader();
    ~Reader();
    Reader(const Reader &) = delete;
    Reader &operator=(const Reader &) = delete;

    bool open(const QString &hostPath, QString *error = nullptr);
    // The bytes must outlive the reader.
    bool openMemory(const QByteArray &bytes, QString *error = nullptr);
    // The next entry's header; false at the end (error empty) or when the archive is damaged.
    bool next(Entry &entry, QString *error = nullptr);
    // Reads the current entry's bytes in blocks; sink returns false to stop (the read fails).
    bool readBlocks(const std::function<bool(const char *, qsizetype)> &sink, QString *error = nullptr);
    // The current entry's bytes, reusing the buffer; fails past limit bytes.
    bool readAll(QByteArray &bytes, qint64 limit, QString *error = nullptr);
    // libarchive's name for the format, and whether it is zip (known after the first next()).
    QString formatName() const;
    bool isZip() const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// What the checking pass found: every file entry with its real size, or why the whole
// archive is refused.
struct Checked
{
    QList<Entry> files;
    QString refusal;
    qint64 total = 0;
    bool ok() const { return refusal.isEmpty(); }
};

// Called during the checking pass for file entries the caller wants whole (a package inside
// the archive); the bytes are valid only during the call.
using KeepBytes = std::function<bool(const Entry &)>;
using TakeBytes = std::function<void(const Entry &, const QByteArray &)>;

// Reads the archive through once, every byte of it, and judges it: paths with ".." or a root,
// links, devices, encrypted entries, too many entries, too much unpacked (in all, or against the
// packed size), a damaged or cut-short archive, a ".zip" that is not a zip. name is the
// archive's file name as the player sees it.
Checked check(const QString &hostPath, const QString &name, const Limits &limits = {},
              const KeepBytes &keep = {}, const TakeBytes &take = {});
Checked checkMemory(const QByteArray &bytes, const QString &name, const Limits &limits = {},
                    const KeepBytes &keep = {}, const TakeBytes &take = {});

// True when a name inside an archive climbs out of it or starts at a root or a drive.
bool escapes(const QString &path);

// Builds an archive in memory (small ones: the sample setup, tests).
class Writer
{
public:
    enum Format { Zip, TarGz, SevenZip };
    explicit Writer(Format format = Zip, const QByteArray &zipPassphrase = QByteArray());
    ~Writer();
    Writer(const Writer &) = delete;
    Writer &operator=(const Writer &) = delete;

    bool addFile(const QString &path, const QByteArray &bytes);
    bool addFolder(const QString &path);
    bool addLink(const QString &path, const QString &target, bool hard);
    bool addDevice(const QString &path);
    // Finishes the archive and gives its bytes; empty when writing failed.
    QByteArray finish(QString *error = nullptr);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace archives
