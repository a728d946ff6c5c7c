#pragma once

// One Run per working folder. Two Runs writing the same fixed names into one folder
// would read back each other's intermediate files; the second Run is refused instead.
// The lock is an exclusive flock on a hidden file of the folder: the kernel releases it
// when the process ends, however it ends.

#include <string_view>

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

// Takes the folder's lock at once, or fails with a RunError naming the folder when
// another Run holds it. The lock file is created if needed (never through a link) and
// removed when the lock is released.
FolderLock LockWorkingFolder(const WorkingFolder& folder);

}  // namespace genosieve
