// Scans a package file and fetches every entry's bytes, the way an install reads it, then
// prints the peak resident memory in KiB: with "keep" the scan holds every entry, with "walk"
// it holds none and the entries are read again one at a time. For comparing packages of the
// same bytes in more or fewer entries.
#include "brx/Brx.h"

#include <QString>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

int main(int argc, char **argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "keep") != 0 && std::strcmp(argv[2], "walk") != 0)) {
        std::fprintf(stderr, "usage: brx_walk PACKAGE keep|walk\n");
        return 2;
    }
    const bool keep = std::strcmp(argv[2], "keep") == 0;
    brx::PackageReader reader;
    QString why;
    if (!reader.open(QString::fromLocal8Bit(argv[1]), &why)) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    reader.setKeepAtMost(keep ? -1 : 0);
    const brx::ReadResult read = reader.scan(&why);
    if (!why.isEmpty() || !read.valid() || read.error) {
        std::fprintf(stderr, "not read whole: %s\n", qPrintable(why));
        return 1;
    }
    brx::Entry entry;
    QByteArray bytes;
    qint64 total = 0;
    int given = 0;
    while (reader.next(entry, &why)) {
        if (!reader.entryBytes(entry, bytes, &why))
            break;
        total += bytes.size();
        ++given;
    }
    if (!why.isEmpty() || given != read.count) {
        std::fprintf(stderr, "walk stopped at entry %d: %s\n", given + 1, qPrintable(why));
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("entries %d bytes %lld peak_kib %ld\n", given, static_cast<long long>(total), usage.ru_maxrss);
    return 0;
}
