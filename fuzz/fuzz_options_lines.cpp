// A settings file as any bytes: decoded from the code page, line breaks made CR LF, split into
// lines. Every byte must survive, the split must put the text back together, and the byte-level
// line-break rule the packages use must agree with the text-level one.
#include "installer/Brx.h"
#include "platform/FileIO.h"

#include <QStringList>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = fileio::decode1252(raw);
    if (fileio::encode1252(text) != raw)
        std::abort();
    const QString normal = fileio::normalizeLineBreaks(text);
    if (fileio::normalizeLineBreaks(normal) != normal)
        std::abort();
    if (fileio::encode1252(normal) != brx::normalizeBreaks(raw))
        std::abort();

    const QStringList lines = normal.split(QStringLiteral("\r\n"));
    for (const QString &line : lines) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            std::abort();
    }
    if (lines.join(QStringLiteral("\r\n")) != normal)
        std::abort();
    return 0;
}
