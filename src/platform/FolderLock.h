#pragma once
// An exclusive lock on a folder between processes, as the system gives it: flock on the folder
// itself, or LockFileEx on a lock file inside it on Windows. The system drops a lock when its
// holder dies. Plain C++, so that the Windows side can be built and run on its own under Wine.
#include <cstdint>
#include <filesystem>

namespace folderlock {

using Handle = std::intptr_t;
constexpr Handle kNone = -1;

enum class Locked { Taken, Busy, Unsupported };

// An open handle on the folder to lock, or kNone when it cannot be opened.
Handle open(const std::filesystem::path &folder);
void close(Handle handle);

// Takes the lock; blocking waits for as long as its holder lives. Locks are per handle, not per
// process: a second handle in the same process is kept waiting too. Unsupported: the file system
// cannot lock at all (some network shares).
Locked lock(Handle handle, bool blocking);

} // namespace folderlock
