// Whatever the writer writes, the reader gives back: paths, titles, text and binary contents.
// The input is split into entries of (flags, path, title, content) at 0x1E bytes and fields at
// 0x1F bytes.
#include "brx/Brx.h"
#include "platform/FileIO.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    struct Written { QString path, title; QByteArray content; bool binary; };
    QList<Written> written;
    QByteArray package;
    for (const QByteArray &chunk : input.split('\x1e')) {
        const QList<QByteArray> f = chunk.split('\x1f');
        if (f.size() != 4 || f[0].isEmpty())
            continue;
        // Marker text inside a field is not escaped by the format, so such entries prove nothing;
        // nor do paths and titles that join the markers around them into new marker text
        // ("#Begin_BRX#", "End_BRX"): the reader then refuses the package as damaged.
        auto makesMarker = [](const QByteArray &field) {
            const QByteArray framed = "###" + field + "###";
            for (const char *name : {"Begin_BRX", "Install", "/Install", "Title", "/Title", "End_BRX"}) {
                if (framed.indexOf("###" + QByteArray(name) + "###") >= 0)
                    return true;
            }
            return false;
        };
        if (f[1].contains("###") || f[2].contains("###") || f[3].contains("###") || f[2].contains('|')
            || makesMarker(f[1]) || makesMarker(f[2])
            || f[1].contains('\r') || f[1].contains('\n') || f[2].contains('\r') || f[2].contains('\n'))
            continue;
        const bool binary = f[0].at(0) & 1;
        const QString path = fileio::decode1252(f[1]);
        const QString title = fileio::decode1252(f[2]);
        if (binary)
            brx::appendBinaryEntry(package, path, title, f[3]);
        else
            brx::appendEntry(package, path, title, f[3]);
        written.append({path, binary ? title + QLatin1String(brx::kBinaryMark) : title, f[3], binary});
    }
    package.append("\r\n");

    const brx::ReadResult read = brx::readEntries(package);
    if (read.error || read.count != written.size() || read.entries.size() != written.size())
        std::abort();
    for (qsizetype i = 0; i < written.size(); ++i) {
        const brx::Entry &e = read.entries.at(i);
        const Written &w = written.at(i);
        if (e.installPath != w.path || e.title != w.title || e.binary != w.binary)
            std::abort();
        const QByteArray expected = w.binary ? w.content : "\r\n" + w.content + "\r\n\r\n";
        if (e.installBytes() != expected)
            std::abort();
    }
    return 0;
}
