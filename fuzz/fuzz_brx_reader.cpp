// Any bytes as a package file: counting and reading must never crash, must agree between the
// byte and text doors, must give the same entries walked one at a time as scanned whole, and
// must never name a backup outside the backup folder.
#include "brx/Brx.h"
#include "platform/FileIO.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdint>
#include <cstdlib>

namespace {

bool same(const brx::Entry &a, const brx::Entry &b)
{
    return a.installPath == b.installPath && a.title == b.title && a.binary == b.binary && a.offset == b.offset
        && a.length == b.length && a.looseBreaks == b.looseBreaks && a.size == b.size && a.content == b.content;
}

// The reader that keeps no entries must count and fail alike, and its cursor must give the kept
// entries exactly, from the file (open is set) and from memory.
void walkAlike(const QByteArray &raw, const QString &file)
{
    brx::PackageReader kept(raw), walked(raw);
    if (!file.isEmpty() && (!kept.open(file) || !walked.open(file)))
        std::abort();
    walked.setKeepAtMost(0);
    const brx::ReadResult want = kept.scan();
    const brx::ReadResult read = walked.scan();
    if (read.count != want.count || !read.entries.isEmpty() || read.error.has_value() != want.error.has_value()
        || (read.error && (read.error->entry != want.error->entry || read.error->reason != want.error->reason)))
        std::abort();
    brx::Entry entry;
    QString why;
    qsizetype given = 0;
    while (walked.next(entry, &why)) {
        if (given >= want.entries.size() || !same(entry, want.entries.at(given++)))
            std::abort();
    }
    if (!why.isEmpty() || given != (want.valid() && !want.error ? want.count : 0))
        std::abort();
}

// One file, rewritten for every input and removed at exit; in memory where the system has a
// folder for that, as a disk that frees and trims blocks at every rewrite would set the pace.
struct TempPackage
{
    QString path = QDir(QFileInfo(QStringLiteral("/dev/shm")).isDir() ? QStringLiteral("/dev/shm") : QDir::tempPath())
                       .filePath(QStringLiteral("fuzz_brx_reader_%1.brx").arg(QCoreApplication::applicationPid()));
    ~TempPackage() { QFile::remove(path); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const QByteArray package = brx::normalizeBreaks(raw);
    if (brx::normalizeBreaks(package) != package)
        std::abort();

    const brx::ReadResult read = brx::readEntries(package);
    if (read.count != brx::countEntries(package) || read.count != brx::countEntries(fileio::decode1252(package)))
        std::abort();
    if (read.entries.size() > read.count || (!read.error && read.entries.size() != read.count))
        std::abort();
    if (read.error && (read.error->entry != read.entries.size() + 1 || read.error->reason.isEmpty()))
        std::abort();

    const QString folder = QStringLiteral("C:\\V\\Backup\\brx\\");
    for (const brx::Entry &e : read.entries) {
        const QByteArray bytes = e.installBytes();
        if (!e.binary && bytes.size() != e.content.size() + 2)
            std::abort();
        const QString backup = brx::backupPathFor(QStringLiteral("C:\\V\\"), e.title);
        if (!backup.isEmpty()) {
            const QString name = backup.mid(folder.size());
            if (!backup.startsWith(folder) || name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/'))
                || name == QLatin1String("..") || name == QLatin1String("."))
                std::abort();
        }
    }

    // The wizard's text buffer reads the same entries.
    const brx::ReadResult viaText = brx::readEntries(fileio::decode1252(package));
    if (viaText.entries.size() != read.entries.size() || viaText.error.has_value() != read.error.has_value())
        std::abort();

    static const TempPackage temp;
    QFile file(temp.path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(raw) != raw.size())
        std::abort();
    file.close();
    walkAlike(raw, temp.path);
    walkAlike(raw, QString());
    return 0;
}
