// An options file as any bytes: decoded from the code page and read the way start-up and the
// Options dialog read it. Every byte must survive decoding, no line may hold a line break, and
// the settings written back must read back as the same settings.
#include "brx/Brx.h"
#include "common/OptionsFile.h"
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

    const QStringList lines = optionsfile::splitLines(text);
    for (const QString &line : lines) {
        if (line.contains(QLatin1Char('\r')) || line.contains(QLatin1Char('\n')))
            std::abort();
    }
    if (optionsfile::splitLines(normal) != lines)
        std::abort();

    Settings record;
    Settings fields;
    optionsfile::applyAllLines(record, fields, lines);
    Settings startup;
    optionsfile::applyStartupLines(startup, lines);
    if (startup.GameFolder != record.GameFolder || !startup.SkinEditorPath.isEmpty())
        std::abort();

    // What the dialog writes must come back unchanged on the next read.
    Settings again;
    Settings againFields;
    optionsfile::applyAllLines(again, againFields, optionsfile::splitLines(optionsfile::optionsText(fields) + QLatin1String("\r\n")));
    for (int i = 0; i < optionsfile::kLineCount; ++i) {
        if (optionsfile::field(again, i) != optionsfile::field(fields, i))
            std::abort();
    }
    return 0;
}
