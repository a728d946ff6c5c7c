#include "io/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "io/io_error.h"
#include "messages.h"

namespace genosieve {

InputFile::~InputFile() {
  if (fd >= 0) ::close(fd);
}

namespace {

void OpenAt(InputFile& file, int folderFd, const std::string& path, int flags, std::string shown) {
  file.path = std::move(shown);
  // An empty path names no file at all.
  if (path.empty()) ThrowIoError(kIoFileNotFound, file.path);
  // Non-blocking, so that opening a named pipe does not wait for a writer; reading a
  // regular file ignores the flag.
  do {
    file.fd = ::openat(folderFd, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) ThrowIoErrorFromErrno(errno, file.path);
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) ThrowIoErrorFromErrno(errno, file.path);
  // A folder opens on this system but cannot be read as a file. Nor can a device or a
  // pipe: /dev/zero or a pipe would never end the reading.
  if (S_ISDIR(status.st_mode)) ThrowIoErrorFromErrno(EISDIR, file.path);
  if (!S_ISREG(status.st_mode)) ThrowIoError(kIoAccessDenied, file.path);
}

std::string ReadToEnd(InputFile& file) {
  std::string content;
  while (Refill(file)) content.append(file.buffer, file.length);
  return content;
}

}  // namespace

void OpenForRead(InputFile& file, const std::string& path) {
  OpenAt(file, AT_FDCWD, path, 0, path);
}

bool Refill(InputFile& file) {
  if (file.ended) return false;
  ssize_t count;
  do {
    count = ::read(file.fd, file.buffer, sizeof file.buffer);
  } while (count < 0 && errno == EINTR);
  if (count < 0) ThrowIoErrorFromErrno(errno, file.path);
  file.position = 0;
  file.length = static_cast<std::size_t>(count);
  if (count == 0) file.ended = true;
  return count > 0;
}

std::string ReadWholeFile(const std::string& path) {
  InputFile file;
  OpenForRead(file, path);
  return ReadToEnd(file);
}

std::string ReadWholeFile(const WorkingFolder& folder, const std::string& name) {
  InputFile file;
  OpenAt(file, folder.fd, name, O_NOFOLLOW, PathInFolder(folder, name));
  return ReadToEnd(file);
}

}  // namespace genosieve
