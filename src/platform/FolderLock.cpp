#include "platform/FolderLock.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace folderlock {

#ifdef _WIN32
namespace {
HANDLE native(Handle handle) { return reinterpret_cast<HANDLE>(handle); }
} // namespace

// A folder cannot be locked on Windows, so a file in it stands for it; it is left there, as
// removing it would race with a process about to open it.
Handle open(const std::filesystem::path &folder)
{
    const std::filesystem::path name = folder / L"journal.lock";
    const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return h == INVALID_HANDLE_VALUE ? kNone : reinterpret_cast<Handle>(h);
}

void close(Handle handle) { CloseHandle(native(handle)); }

Locked lock(Handle handle, bool blocking)
{
    OVERLAPPED whole {};
    const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (blocking ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
    if (LockFileEx(native(handle), flags, 0, MAXDWORD, MAXDWORD, &whole))
        return Locked::Taken;
    return GetLastError() == ERROR_LOCK_VIOLATION ? Locked::Busy : Locked::Unsupported;
}
#else
// The folder itself is locked: locking creates nothing, so a dry run or a refused install
// leaves the folder as it found it.
Handle open(const std::filesystem::path &folder)
{
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd < 0 ? kNone : Handle(fd);
}

void close(Handle handle) { ::close(int(handle)); }

Locked lock(Handle handle, bool blocking)
{
    int r;
    do
        r = ::flock(int(handle), LOCK_EX | (blocking ? 0 : LOCK_NB));
    while (r != 0 && errno == EINTR);
    if (r == 0)
        return Locked::Taken;
    return errno == EWOULDBLOCK ? Locked::Busy : Locked::Unsupported;
}
#endif

} // namespace folderlock
