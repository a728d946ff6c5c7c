#include "io/folder_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "errors.h"
#include "io/io_error.h"
#include "messages.h"

namespace genosieve {

namespace {

const std::string kLockName(kLockFileName);

[[noreturn]] void Fail(const WorkingFolder& folder, const std::string& what) {
  throw RunError(Located({"Working folder", folder.shown, 0, 0, {}}, what));
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the lock file's name still leads to the file open as `fd`.
bool StillNamed(int folderFd, int fd) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 &&
         ::fstatat(folderFd, kLockName.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         SameFile(open, named);
}

void Release(FolderLock& lock) {
  if (lock.fd < 0) return;
  // Removed while still locked, and only if it is still this lock's file: a Run that
  // opened it meanwhile finds, once it holds the lock, that the name has gone, and
  // starts again with a new file.
  if (StillNamed(lock.folderFd, lock.fd)) ::unlinkat(lock.folderFd, kLockName.c_str(), 0);
  ::close(lock.fd);
  lock.fd = -1;
}

}  // namespace

FolderLock::FolderLock(FolderLock&& other) noexcept
    : folderFd(other.folderFd), fd(std::exchange(other.fd, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
  if (this != &other) {
    Release(*this);
    folderFd = other.folderFd;
    fd = std::exchange(other.fd, -1);
  }
  return *this;
}

FolderLock::~FolderLock() { Release(*this); }

FolderLock LockWorkingFolder(const WorkingFolder& folder) {
  // A file open but not (yet) locked by this Run: closed, never removed, on a failure.
  struct Candidate {
    int fd = -1;
    ~Candidate() {
      if (fd >= 0) ::close(fd);
    }
  };
  // A few rounds at most: a new round is needed only when the Run that held the lock
  // removed its file between our open and our lock.
  for (int round = 0; round < 100; ++round) {
    Candidate candidate;
    // Read-only is enough for flock, and lets a Run of another user lock a file this
    // user's Run left behind. Non-blocking and without following a link: a named pipe
    // or a link planted under the name is refused below, never waited on or followed.
    do {
      candidate.fd = ::openat(folder.fd, kLockName.c_str(),
                              O_RDONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (candidate.fd < 0 && errno == EINTR);
    if (candidate.fd < 0) {
      if (errno == ELOOP) Fail(folder, messages::LockFileNotRegular(kLockFileName));
      Fail(folder, IoErrorMessageFromErrno(errno));
    }
    struct stat status {};
    if (::fstat(candidate.fd, &status) != 0) Fail(folder, IoErrorMessageFromErrno(errno));
    if (!S_ISREG(status.st_mode)) Fail(folder, messages::LockFileNotRegular(kLockFileName));
    int locked;
    do {
      locked = ::flock(candidate.fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      if (errno == EWOULDBLOCK) Fail(folder, messages::FolderInUse());
      Fail(folder, IoErrorMessageFromErrno(errno));
    }
    if (StillNamed(folder.fd, candidate.fd)) {
      FolderLock lock;
      lock.folderFd = folder.fd;
      lock.fd = std::exchange(candidate.fd, -1);
      return lock;
    }
  }
  Fail(folder, messages::FolderInUse());
}

}  // namespace genosieve
