// Any bytes as a downloaded archive, under each name the installer reads: checking and planning
// must never crash or hang, must refuse or plan every file, and must never plan a write outside
// the game folder, the program folder or the places a package inside names.
#include "install/ArchivePlan.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    static const char *const names[] = {"a.zip", "a.7z", "a.tar.gz", "a.rar"};
    const QString name = QLatin1String(names[data[0] % 4]);
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    // Small limits, so that the fuzzer reaches them.
    archives::Limits limits;
    limits.maxTotal = 1 << 20;
    limits.ratioFrom = 64 << 10;
    limits.maxEntries = 64;
    const QString game = QStringLiteral("C:\\G\\"), program = QStringLiteral("C:\\V\\");
    const archiveplan::Plan plan = archiveplan::makePlanFromMemory(bytes, name, game, program, limits);
    if (!plan.ok()) {
        if (!plan.items.isEmpty() || !plan.refusal.startsWith(name))
            std::abort();
        return 0;
    }
    if (plan.items.isEmpty() || archiveplan::planLines(plan).size() != plan.items.size())
        std::abort();
    for (const archiveplan::Item &item : plan.items) {
        if (archives::escapes(item.source))
            std::abort();
        switch (item.kind) {
        case archiveplan::Item::LeftOut:
            if (!item.target.isEmpty() || item.reason.isEmpty() || item.chosen)
                std::abort();
            break;
        case archiveplan::Item::GameFile:
            if (!item.target.startsWith(game) || archives::escapes(item.target.mid(game.size())))
                std::abort();
            break;
        case archiveplan::Item::Readme:
        case archiveplan::Item::Tattoo:
            if (!item.target.startsWith(program + QLatin1String("Downloads\\"))
                || archives::escapes(item.target.mid(program.size())))
                std::abort();
            break;
        case archiveplan::Item::PackageEntry:
            break; // a package names its own install paths, which the install asks about
        }
    }
    return 0;
}
