// The folder lock's Windows side, run under Wine by test_FolderLockWine as two processes:
//   lockprobe hold DIR    takes the lock, says so, and lets go once the second saw it held;
//   lockprobe second DIR  finds it held, says so, then waits for it and gets it.
// Each step is a file in DIR, so neither process needs the other's timing. Exit 0 when all
// went as it should; otherwise a line on stderr says what did not.
#include "platform/FolderLock.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

// Long enough for a slow machine; only a broken lock makes a step wait this long.
constexpr int kPatienceMs = 120000;

void mark(const fs::path &dir, const char *name) { std::ofstream(dir / name) << name; }

bool waitFor(const fs::path &dir, const char *name)
{
    for (int waited = 0; waited < kPatienceMs; waited += 20) {
        if (fs::exists(dir / name))
            return true;
        Sleep(20);
    }
    std::fprintf(stderr, "lockprobe: %s never appeared\n", name);
    return false;
}

int failed(const char *why)
{
    std::fprintf(stderr, "lockprobe: %s\n", why);
    return 1;
}

int hold(const fs::path &dir)
{
    const folderlock::Handle h = folderlock::open(dir);
    if (h == folderlock::kNone)
        return failed("the first could not open the folder");
    if (folderlock::lock(h, false) != folderlock::Locked::Taken)
        return failed("the first could not take a free lock");
    mark(dir, "held");
    if (!waitFor(dir, "seen-busy"))
        return 1;
    // Said before the handle closes: whoever has the lock after this line must see it.
    mark(dir, "letting-go");
    folderlock::close(h);
    return 0;
}

int second(const fs::path &dir)
{
    if (!waitFor(dir, "held"))
        return 1;
    const folderlock::Handle h = folderlock::open(dir);
    if (h == folderlock::kNone)
        return failed("the second could not open the folder");
    if (folderlock::lock(h, false) != folderlock::Locked::Busy)
        return failed("the second did not find the lock held");
    mark(dir, "seen-busy");
    if (folderlock::lock(h, true) != folderlock::Locked::Taken)
        return failed("the second's wait ended without the lock");
    if (!fs::exists(dir / "letting-go"))
        return failed("the second got the lock while the first still held it");
    folderlock::close(h);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return failed("usage: lockprobe hold|second DIR");
    if (std::strcmp(argv[1], "hold") == 0)
        return hold(argv[2]);
    if (std::strcmp(argv[1], "second") == 0)
        return second(argv[2]);
    return failed("unknown step");
}
