#include "io/output_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "io/io_error.h"

namespace genosieve {

namespace {

OutputFile OpenOutputFile(const std::string& path, int flags) {
  OutputFile file;
  file.path = path;
  do {
    file.fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | flags, 0666);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) ThrowIoErrorFromErrno(errno);
  file.buffer = std::make_unique_for_overwrite<char[]>(OutputFile::kBufferSize);
  return file;
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowIoErrorFromErrno(errno);
    }
    if (written == 0) ThrowIoErrorFromErrno(ENOSPC);  // no progress and no errno
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void Abandon(OutputFile& file) {
  if (file.fd >= 0) ::close(file.fd);
  file.fd = -1;
}

}  // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept
    : path(std::move(other.path)),
      fd(std::exchange(other.fd, -1)),
      buffer(std::move(other.buffer)),
      used(std::exchange(other.used, 0)) {}

OutputFile& OutputFile::operator=(OutputFile&& other) noexcept {
  if (this != &other) {
    Abandon(*this);
    path = std::move(other.path);
    fd = std::exchange(other.fd, -1);
    buffer = std::move(other.buffer);
    used = std::exchange(other.used, 0);
  }
  return *this;
}

OutputFile::~OutputFile() { Abandon(*this); }

OutputFile CreateOutputFile(const std::string& path) {
  return OpenOutputFile(path, O_CREAT | O_TRUNC);
}

OutputFile AppendOutputFile(const std::string& path) {
  // No O_CREAT: appending continues a file this Run created, which must still be there.
  return OpenOutputFile(path, O_APPEND);
}

void FlushOutputFile(OutputFile& file) {
  WriteAll(file.fd, std::string_view(file.buffer.get(), file.used));
  file.used = 0;
}

void CommitOutputFile(OutputFile& file) {
  FlushOutputFile(file);
  const int fd = std::exchange(file.fd, -1);
  // A failed close can report a delayed write error.
  if (::close(fd) != 0 && errno != EINTR) ThrowIoErrorFromErrno(errno);
}

}  // namespace genosieve
