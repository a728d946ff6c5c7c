#include "io/output_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <utility>

#include "errors.h"
#include "io/io_error.h"
#include "messages.h"

namespace genosieve {

namespace {

[[noreturn]] void FailName(const std::string& name, const std::string& what) {
  throw RunError(Located({.lead = messages::kOutputFileLead, .path = name}, what));
}

[[noreturn]] void FailOn(int err, const std::string& shown, std::string doing) {
  ThrowIoErrorFromErrno(err, shown, messages::kOutputFileLead, std::move(doing));
}

// The folder part of a name, with its final '/' ("" for a name without one).
std::string_view FolderPart(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : name.substr(0, slash + 1);
}

// Sixteen hexadecimal digits that another process cannot guess: the system's entropy,
// or when that fails the time, the process and a counter (a taken name is never reused:
// the temporary file is created exclusively).
std::string RandomSuffix() {
  uint64_t bits = 0;
  if (::getentropy(&bits, sizeof bits) != 0) {
    static std::atomic<uint64_t> counter{0};
    bits = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (static_cast<uint64_t>(::getpid()) << 32) ^ (counter++ * 0x9E3779B97F4A7C15u);
  }
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (char& digit : text) {
    digit = kDigits[bits & 15];
    bits >>= 4;
  }
  return text;
}

void WriteAll(int fd, std::string_view bytes, const std::string& shown) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      FailOn(errno, shown, messages::CannotWrite());
    }
    if (written == 0) FailOn(ENOSPC, shown, messages::CannotWrite());  // no progress, no errno
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

// Refuses what stands under the name of an output, as CheckOutputName says; `status` is
// that of the name itself, links not followed.
void CheckWhatStandsThere(const std::string& name, const std::string& shown,
                          const struct stat& status, ExistingName existing) {
  if (S_ISDIR(status.st_mode)) FailName(name, messages::NameOfAFolder());
  if (S_ISREG(status.st_mode)) return;
  // A link in the working folder is replaced, never followed; a named pipe, a device or a
  // socket could block the Run or is no place for its results.
  if (S_ISLNK(status.st_mode) && existing == ExistingName::kReplaceLinks) return;
  const std::string kind = messages::FileKind(status.st_mode);
  ThrowIoError(kIoAccessDenied, shown, messages::kOutputFileLead,
               existing == ExistingName::kReplaceLinks ? messages::NameTakenBy(kind)
                                                       : messages::WriteDataNameTakenBy(kind));
}

// Exchanges the temporary and the final names in one step, where the system can (Linux);
// false when it cannot or when nothing has the final name yet: the caller renames.
bool ExchangeNames(const OutputFile& file) {
#ifdef RENAME_EXCHANGE
  return ::renameat2(file.folderFd, file.temporary.c_str(), file.folderFd, file.path.c_str(),
                     RENAME_EXCHANGE) == 0;
#else
  (void)file;
  return false;
#endif
}

// Closes and removes the temporary file, keeping errno for the caller's message.
void Abandon(OutputFile& file) {
  const int saved = errno;
  if (file.fd >= 0) ::close(file.fd);
  file.fd = -1;
  if (!file.temporary.empty()) ::unlinkat(file.folderFd, file.temporary.c_str(), 0);
  file.temporary.clear();
  errno = saved;
}

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path(std::move(other.path)),
      shown(std::move(other.shown)),
      temporary(std::exchange(other.temporary, {})),
      folderFd(other.folderFd),
      fd(std::exchange(other.fd, -1)),
      buffer(std::move(other.buffer)),
      used(std::exchange(other.used, 0)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Abandon(*this);
    path = std::move(other.path);
    shown = std::move(other.shown);
    temporary = std::exchange(other.temporary, {});
    folderFd = other.folderFd;
    fd = std::exchange(other.fd, -1);
    buffer = std::move(other.buffer);
    used = std::exchange(other.used, 0);
  }
  return *this;
}

OutputFile::~OutputFile() { Abandon(*this); }

void CheckOutputName(const WorkingFolder& folder, const std::string& name, ExistingName existing) {
  if (name.empty()) FailName(name, messages::NameEmpty());
  const std::string_view folderPart = FolderPart(name);
  const std::string_view base = std::string_view(name).substr(folderPart.size());
  if (base.empty() || base == "." || base == "..") FailName(name, messages::NameOfAFolder());
  if (!folderPart.empty()) {
    const std::string parent(folderPart);
    // Named without its final '/', unless it is the root.
    const std::string shown = parent.size() > 1 ? parent.substr(0, parent.size() - 1) : parent;
    struct stat status {};
    if (::fstatat(folder.fd, parent.c_str(), &status, 0) != 0) {
      const int err = errno;
      if (err == ENOENT) FailName(name, messages::FolderMissing(shown));
      if (err == ENOTDIR) FailName(name, messages::FolderNotAFolder(shown));
      FailOn(err, PathInFolder(folder, name), messages::CannotCheckName());
    }
    if (!S_ISDIR(status.st_mode)) FailName(name, messages::FolderNotAFolder(shown));
  }
  struct stat status {};
  if (::fstatat(folder.fd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return;
    FailOn(errno, PathInFolder(folder, name), messages::CannotCheckName());
  }
  CheckWhatStandsThere(name, PathInFolder(folder, name), status, existing);
}

bool IsSameFile(const WorkingFolder& folder, const std::string& name, const std::string& path) {
  struct stat output {};
  struct stat other {};
  return ::fstatat(folder.fd, name.c_str(), &output, 0) == 0 && ::stat(path.c_str(), &other) == 0 &&
         output.st_dev == other.st_dev && output.st_ino == other.st_ino;
}

OutputFile CreateOutputFile(const WorkingFolder& folder, const std::string& name,
                            ExistingName existing) {
  CheckOutputName(folder, name, existing);
  OutputFile file;
  file.path = name;
  file.shown = PathInFolder(folder, name);
  file.folderFd = folder.fd;
  file.existing = existing;
  const std::string prefix = std::string(FolderPart(name)) + std::string(kTemporaryPrefix);
  for (int attempt = 0; file.fd < 0; ++attempt) {
    std::string temporary = prefix + RandomSuffix() + ".tmp";
    do {
      file.fd = ::openat(folder.fd, temporary.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd >= 0) {
      file.temporary = std::move(temporary);
    } else if (errno != EEXIST || attempt == 100) {
      FailOn(errno, file.shown, messages::CannotCreate());
    }
  }
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) FailOn(errno, file.shown, messages::CannotCreate());
  if (!S_ISREG(status.st_mode)) FailOn(EACCES, file.shown, messages::CannotCreate());
  // Held while the file is written, so that a Run cleaning its folder tells a temporary
  // file that a live program writes from one that a killed Run left (folder_lock.h). The
  // file is new: nothing else can hold it.
  ::flock(file.fd, LOCK_EX | LOCK_NB);
  // Left uninitialised: every byte is written before it is flushed.
  file.buffer.reset(new char[OutputFile::kBufferSize]);
  return file;
}

void FlushOutputFile(OutputFile& file) {
  WriteAll(file.fd, std::string_view(file.buffer.get(), file.used), file.shown);
  file.used = 0;
}

void CommitOutputFile(OutputFile& file, Replacement replacement) {
  FlushOutputFile(file);
  const int fd = std::exchange(file.fd, -1);
  // A failed close can report a delayed write error.
  if (::close(fd) != 0 && errno != EINTR) FailOn(errno, file.shown, messages::CannotWrite());
  if (file.existing == ExistingName::kRegularOnly) {
    // What stands under the name now, not only when the file was started.
    struct stat status {};
    if (::fstatat(file.folderFd, file.path.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
      CheckWhatStandsThere(file.path, file.shown, status, file.existing);
    }
  }
  if (replacement == Replacement::kExchange && ExchangeNames(file)) {
    // The temporary name now holds the old file (or the link that stood there).
    if (::unlinkat(file.folderFd, file.temporary.c_str(), 0) != 0) {
      FailOn(errno, file.shown, messages::CannotPutInPlace());
    }
    file.temporary.clear();
    return;
  }
  if (::renameat(file.folderFd, file.temporary.c_str(), file.folderFd, file.path.c_str()) != 0) {
    FailOn(errno, file.shown, messages::CannotPutInPlace());
  }
  file.temporary.clear();
}

void WriteWholeFile(const WorkingFolder& folder, const std::string& name, std::string_view text,
                    Replacement replacement) {
  OutputFile out = CreateOutputFile(folder, name);
  PutText(out, text);
  CommitOutputFile(out, replacement);
}

void WriteWholeFile(const WorkingFolder& folder, const std::string& name, std::string_view text,
                    ExistingName existing, const StopCheck& stop) {
  const auto stopIfAsked = [&stop] {
    if (stop && stop()) throw RunStopped();
  };
  stopIfAsked();
  OutputFile out = CreateOutputFile(folder, name, existing);
  while (!text.empty()) {
    const std::size_t part = std::min(text.size(), OutputFile::kBufferSize);
    WriteAll(out.fd, text.substr(0, part), out.shown);
    text.remove_prefix(part);
    stopIfAsked();
  }
  CommitOutputFile(out);
}

void WriteToStandardOutput(std::string_view text, std::string_view what, const StopCheck& stop) {
  while (!text.empty()) {
    if (stop && stop()) throw RunStopped();
    const std::size_t part = std::min(text.size(), OutputFile::kBufferSize);
    const ssize_t written = ::write(STDOUT_FILENO, text.data(), part);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      throw RunError(StandardOutputFailure(what, written < 0 ? errno : ENOSPC));
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
}

}  // namespace genosieve
