// Any bytes as a package file: counting and reading must never crash, must agree between the
// byte and text doors, and must never name a backup outside the backup folder.
#include "brx/Brx.h"
#include "platform/FileIO.h"

#include <cstdint>
#include <cstdlib>

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
    return 0;
}
