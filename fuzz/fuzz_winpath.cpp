// Windows paths from anywhere mapped to the host and back, inside a throw-away prefix.
#include "platform/WinPath.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdlib>

namespace {
QTemporaryDir *prefix = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    prefix = new QTemporaryDir;
    QDir().mkpath(prefix->path() + QStringLiteral("/drive_c/Games"));
    qputenv("WINEPREFIX", prefix->path().toLocal8Bit());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    if (input.contains(QChar(0)))
        return 0;
    const QString host = winpath::toHost(input);
    (void)winpath::fromHost(host.isEmpty() ? QStringLiteral("/") : host);
    (void)winpath::bareFileName(input);

    // Plain names under C: land inside the prefix's drive_c and come back unchanged.
    static const QRegularExpression separators(QStringLiteral("[\\\\/]"));
    const QStringList parts = input.split(separators, Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String(".") || part == QLatin1String("..") || part.trimmed().isEmpty())
            return 0;
    }
    if (parts.isEmpty())
        return 0;
    const QString windows = QStringLiteral("C:\\Games\\") + parts.join(QLatin1Char('\\'));
    const QString mapped = winpath::toHost(windows);
    if (!mapped.startsWith(prefix->path() + QStringLiteral("/drive_c/Games/")))
        std::abort();
    if (winpath::fromHost(mapped) != windows)
        std::abort();
    return 0;
}
