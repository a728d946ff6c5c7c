#pragma once

// One Run per working folder. Two Runs writing the same fixed names into one folder
// would read back each other's intermediate files; the second Run is refused instead.
// The lock is an exclusive flock on a hidden file of the folder: the kernel releases it
// when the process ends, however it ends.

#include <sys/types.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "io/working_folder.h"

namespace genosieve {

inline constexpr std::string_view kLockFileName = ".genosieve.lock";

struct FolderLock {
  int folderFd = -1;
  int fd = -1;

  FolderLock() = default;
  FolderLock(FolderLock&& other) noexcept;
  FolderLock& operator=(FolderLock&& other) noexcept;
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;
  // Removes the lock file, then releases the lock.
  ~FolderLock();
};

// Takes the folder's lock at once, or fails with a RunError naming the folder (after
// `lead`: "Working folder", "Output folder") when another Run holds it. The lock file is
// created if needed (never through a link) and removed when the lock is released. Once
// it holds the lock, it removes the stale temporary files of the folder
// (RemoveStaleTemporaryFiles).
FolderLock LockFolder(const WorkingFolder& folder, std::string_view lead);
FolderLock LockWorkingFolder(const WorkingFolder& folder);

// The folders that a Run's output names reach besides its working folder (their folder
// parts: "res/" of "res/results.txt", links followed, so that a link to another Run's
// folder is that folder), each locked as a working folder is: a Run writing into a folder
// meets the Run working there, and a second Run writing into it.
struct OutputFolderLocks {
  std::vector<WorkingFolder> folders;  // declared first: closed after their locks go
  std::vector<FolderLock> locks;
  // The folders locked, the working folder first, as (device, inode): each is locked
  // once, however its names reach it.
  std::vector<std::pair<dev_t, ino_t>> held;
};

// Locks the folder of each of `names` (relative to the working folder, whose own lock
// the Run holds already) that `locks` does not hold yet. A folder that cannot be opened
// fails as CheckOutputName (io/output_file.h) would.
void LockOutputFolders(const WorkingFolder& working, const std::vector<std::string>& names,
                       OutputFolderLocks& locks);

// Removes from the folder, whose lock this Run holds, the temporary files a Run left when
// it was killed (SIGKILL, a power cut) before it could remove them. Only the program's own
// names (kTemporaryPrefix, 16 hexadecimal digits, ".tmp") that are regular files which no
// process holds locked: every Run holds its temporary files locked while it writes them,
// and the folder's lock while it works there, so a file that passes both tests is no live
// Run's.
void RemoveStaleTemporaryFiles(const WorkingFolder& folder);

}  // namespace genosieve
