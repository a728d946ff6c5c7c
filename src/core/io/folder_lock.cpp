#include "io/folder_lock.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <utility>

#include "errors.h"
#include "io/io_error.h"
#include "io/output_file.h"
#include "messages.h"

namespace genosieve {

namespace {

const std::string kLockName(kLockFileName);

[[noreturn]] void Fail(std::string_view lead, const WorkingFolder& folder,
                       const std::string& what) {
  throw RunError(Located({lead, folder.shown, 0, 0, {}}, what));
}

// Whether `name` is one of the program's temporary names: the prefix, sixteen
// hexadecimal digits, ".tmp".
bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view kSuffix = ".tmp";
  if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kSuffix)) return false;
  const std::string_view digits =
      name.substr(kTemporaryPrefix.size(), name.size() - kTemporaryPrefix.size() - kSuffix.size());
  return digits.size() == 16 &&
         digits.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` (the lock file's by default) still leads to the file open as `fd`.
bool StillNamed(int folderFd, int fd, const std::string& name = kLockName) {
  struct stat open {};
  struct stat named {};
  return ::fstat(fd, &open) == 0 &&
         ::fstatat(folderFd, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
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

FolderLock LockFolder(const WorkingFolder& folder, std::string_view lead) {
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
      if (errno == ELOOP) Fail(lead, folder, messages::LockFileNotRegular(kLockFileName));
      Fail(lead, folder,
           messages::CannotCreateLockFile(kLockFileName, IoErrorMessageFromErrno(errno)));
    }
    struct stat status {};
    if (::fstat(candidate.fd, &status) != 0) {
      Fail(lead, folder,
           messages::CannotCreateLockFile(kLockFileName, IoErrorMessageFromErrno(errno)));
    }
    if (!S_ISREG(status.st_mode)) Fail(lead, folder, messages::LockFileNotRegular(kLockFileName));
    int locked;
    do {
      locked = ::flock(candidate.fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
      if (errno == EWOULDBLOCK) Fail(lead, folder, messages::FolderInUse());
      Fail(lead, folder,
           messages::CannotCreateLockFile(kLockFileName, IoErrorMessageFromErrno(errno)));
    }
    if (StillNamed(folder.fd, candidate.fd)) {
      FolderLock lock;
      lock.folderFd = folder.fd;
      lock.fd = std::exchange(candidate.fd, -1);
      RemoveStaleTemporaryFiles(folder);
      return lock;
    }
  }
  Fail(lead, folder, messages::FolderInUse());
}

FolderLock LockWorkingFolder(const WorkingFolder& folder) {
  return LockFolder(folder, "Working folder");
}

void LockOutputFolders(const WorkingFolder& working, const std::vector<std::string>& names,
                       OutputFolderLocks& locks) {
  const auto identity = [](int fd) {
    struct stat status {};
    if (::fstat(fd, &status) != 0) return std::pair<dev_t, ino_t>{0, 0};
    return std::pair<dev_t, ino_t>{status.st_dev, status.st_ino};
  };
  if (locks.held.empty()) locks.held.push_back(identity(working.fd));
  for (const std::string& name : names) {
    const std::size_t slash = name.rfind('/');
    if (slash == std::string::npos) continue;
    // With its final '/': the root for "/a.txt", and a link to a folder followed.
    WorkingFolder folder = OpenOutputFolder(working, name.substr(0, slash + 1));
    const std::pair<dev_t, ino_t> place = identity(folder.fd);
    if (std::find(locks.held.begin(), locks.held.end(), place) != locks.held.end()) continue;
    locks.locks.push_back(LockFolder(folder, messages::kOutputFolderLead));
    locks.held.push_back(place);
    locks.folders.push_back(std::move(folder));
  }
}

void RemoveStaleTemporaryFiles(const WorkingFolder& folder) {
  int listFd;
  do {
    listFd = ::openat(folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (listFd < 0 && errno == EINTR);
  if (listFd < 0) return;
  DIR* listing = ::fdopendir(listFd);
  if (listing == nullptr) {
    ::close(listFd);
    return;
  }
  std::vector<std::string> stale;
  while (const dirent* entry = ::readdir(listing)) {
    if (IsTemporaryName(entry->d_name)) stale.emplace_back(entry->d_name);
  }
  ::closedir(listing);
  for (const std::string& name : stale) {
    // Never a link, nor a pipe to wait on; what cannot be checked is left alone.
    const int fd =
        ::openat(folder.fd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && StillNamed(folder.fd, fd, name)) {
      ::unlinkat(folder.fd, name.c_str(), 0);
    }
    ::close(fd);
  }
}

}  // namespace genosieve
