#pragma once

// A folder on a full disk, for the tests of what a failed write leaves behind: a tiny
// file system (tmpfs) filled to the last block, mounted in a private mount namespace of
// a child process, so that nothing outside that child ever sees it.

#include <fcntl.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <functional>
#include <optional>
#include <string>

namespace genosieve::testing {

namespace detail {

inline bool WriteProcFile(const char* path, const std::string& text) {
  const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  return written;
}

// A private mount namespace: directly for root, else inside a new user namespace.
inline bool EnterPrivateMounts() {
  const uid_t uid = ::getuid();
  const gid_t gid = ::getgid();
  if (::unshare(CLONE_NEWNS) != 0) {
    if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    WriteProcFile("/proc/self/setgroups", "deny");
    if (!WriteProcFile("/proc/self/uid_map", "0 " + std::to_string(uid) + " 1") ||
        !WriteProcFile("/proc/self/gid_map", "0 " + std::to_string(gid) + " 1")) {
      return false;
    }
  }
  return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

// Fills the file system of the current folder: writes until no block is left.
inline bool FillCurrentFolder() {
  const int fd = ::open(".filler", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  static const char block[4096] = {};
  for (;;) {
    const ssize_t written = ::write(fd, block, sizeof block);
    if (written < 0) {
      const int err = errno;
      ::close(fd);
      return err == ENOSPC;
    }
    if (written == 0) break;
  }
  ::close(fd);
  return false;
}

inline constexpr int kUnavailable = 77;

}  // namespace detail

// The small file system of InSmallFolder.
struct SmallFolder {
  std::string size = "64k";  // tmpfs's size option
  bool fill = true;          // filled to the last block once prepared
  bool readOnly = false;     // made read-only once prepared (and filled)
};

// Runs `check` in a child process whose current folder is a new, empty folder on a small
// file system made as `how` says (filled: creating files there works, writing any byte
// into one fails with ENOSPC; read-only: nothing can be created, even by root). `prepare`
// runs first, in that folder before it is filled or made read-only. Returns what `check`
// returned (empty when all went as expected), or nothing when no such folder can be made
// here (no mount namespace allowed): the caller then skips.
inline std::optional<std::string> InSmallFolder(const SmallFolder& how,
                                                const std::function<void()>& prepare,
                                                const std::function<std::string()>& check) {
  // Made and removed here; mounted on only in the child.
  std::string mountPoint = "/tmp/genosieve-full-XXXXXX";
  if (::mkdtemp(mountPoint.data()) == nullptr) return "cannot make a folder";
  int channel[2];
  if (::pipe2(channel, O_CLOEXEC) != 0) return "cannot make a pipe";
  const pid_t pid = ::fork();
  if (pid < 0) return "cannot fork";
  if (pid == 0) {
    ::close(channel[0]);
    const std::string options = "size=" + how.size + ",mode=0700";
    if (!detail::EnterPrivateMounts() ||
        ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, options.c_str()) != 0 ||
        ::chdir(mountPoint.c_str()) != 0) {
      ::_exit(detail::kUnavailable);
    }
    std::string problem;
    try {
      prepare();
      if (how.fill && !detail::FillCurrentFolder()) {
        problem = "cannot fill the file system";
      } else if (how.readOnly && ::mount(nullptr, mountPoint.c_str(), nullptr,
                                         MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
        problem = "cannot make the file system read-only";
      } else {
        problem = check();
      }
    } catch (const std::exception& error) {
      problem = std::string("exception: ") + error.what();
    }
    // The mount goes with the namespace.
    ssize_t ignored = ::write(channel[1], problem.data(), problem.size());
    (void)ignored;
    ::_exit(0);
  }
  ::close(channel[1]);
  std::string problem;
  char buffer[512];
  for (;;) {
    const ssize_t count = ::read(channel[0], buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) break;
    problem.append(buffer, static_cast<std::size_t>(count));
  }
  ::close(channel[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  ::rmdir(mountPoint.c_str());
  if (WIFEXITED(status) && WEXITSTATUS(status) == detail::kUnavailable) return std::nullopt;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "the child process failed";
  return problem;
}

// InSmallFolder on 64 KiB filled to the last block.
inline std::optional<std::string> InFullFolder(const std::function<void()>& prepare,
                                               const std::function<std::string()>& check) {
  return InSmallFolder({}, prepare, check);
}

}  // namespace genosieve::testing
