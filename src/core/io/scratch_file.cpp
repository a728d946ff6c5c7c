#include "io/scratch_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

#include "io/io_error.h"
#include "io/output_file.h"
#include "messages.h"

namespace genosieve {

namespace {

void Close(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// A name no other file of the folder has, hidden and the program's own: the temporary
// files' pattern, so that a later Run removes one that a killed Run left behind
// (io/folder_lock.h).
std::string ScratchName(int attempt) {
  static std::atomic<uint64_t> counter{0};
  uint64_t bits = 0;
  if (::getentropy(&bits, sizeof bits) != 0) {
    bits = (counter++ + static_cast<uint64_t>(::getpid()) * 1000003u) * 0x9E3779B97F4A7C15u;
  }
  bits += static_cast<uint64_t>(attempt);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string name(kTemporaryPrefix);
  for (int shift = 60; shift >= 0; shift -= 4) name += kHex[(bits >> shift) & 0xF];
  return name + ".tmp";
}

// The Run's I/O error about the scratch file: it names the working folder.
[[noreturn]] void Fail(const ScratchFile& file, int err) {
  ThrowIoErrorFromErrno(err, file.shown, "Working folder", messages::CannotKeepScratchValues());
}

}  // namespace

ScratchFile::ScratchFile(ScratchFile&& other) noexcept
    : fd(std::exchange(other.fd, -1)), shown(std::move(other.shown)) {}

ScratchFile& ScratchFile::operator=(ScratchFile&& other) noexcept {
  if (this != &other) {
    Close(fd);
    fd = std::exchange(other.fd, -1);
    shown = std::move(other.shown);
  }
  return *this;
}

ScratchFile::~ScratchFile() { Close(fd); }

ScratchFile CreateScratchFile(const WorkingFolder& folder) {
  ScratchFile file;
  file.shown = folder.shown;
#ifdef O_TMPFILE
  do {
    file.fd = ::openat(folder.fd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd >= 0) return file;
#endif
  // No unnamed files here: a new hidden name, removed as soon as it is open.
  for (int attempt = 0; file.fd < 0; ++attempt) {
    const std::string name = ScratchName(attempt);
    file.fd =
        ::openat(folder.fd, name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (file.fd >= 0) {
      if (::unlinkat(folder.fd, name.c_str(), 0) != 0) {
        const int err = errno;
        Close(file.fd);
        Fail(file, err);
      }
    } else if (errno != EEXIST && errno != EINTR) {
      Fail(file, errno);
    } else if (attempt == 100) {
      Fail(file, EEXIST);
    }
  }
  return file;
}

void WriteScratch(const ScratchFile& file, uint64_t offset, const void* data, std::size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::pwrite(file.fd, bytes, size, static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR) continue;
      Fail(file, errno);
    }
    if (written == 0) Fail(file, ENOSPC);
    bytes += written;
    size -= static_cast<std::size_t>(written);
    offset += static_cast<uint64_t>(written);
  }
}

void ReadScratch(const ScratchFile& file, uint64_t offset, void* data, std::size_t size) {
  char* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::pread(file.fd, bytes, size, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(file, errno);
    }
    if (got == 0)
      ThrowIoError(kIoReadPastEnd, file.shown, "Working folder",
                   messages::CannotKeepScratchValues());
    bytes += got;
    size -= static_cast<std::size_t>(got);
    offset += static_cast<uint64_t>(got);
  }
}

}  // namespace genosieve
