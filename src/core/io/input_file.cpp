#include "io/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "errors.h"
#include "io/io_error.h"
#include "io/stop_check.h"
#include "messages.h"

namespace genosieve {

InputFile::~InputFile() {
  if (fd >= 0) ::close(fd);
}

namespace {

thread_local const StopReadingWhen* innermostStop = nullptr;

void OpenAt(InputFile& file, int folderFd, const std::string& path, int flags, std::string shown,
            std::string_view role) {
  file.path = std::move(shown);
  file.role = role;
  // An empty path names no file at all.
  if (path.empty()) {
    ThrowIoError(kIoFileNotFound, file.path, file.role, messages::CannotOpenForReading());
  }
  // Non-blocking, so that opening a named pipe does not wait for a writer; reading a
  // regular file ignores the flag.
  do {
    file.fd = ::openat(folderFd, path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags);
  } while (file.fd < 0 && errno == EINTR);
  if (file.fd < 0) {
    ThrowIoErrorFromErrno(errno, file.path, file.role, messages::CannotOpenForReading());
  }
  struct stat status {};
  if (::fstat(file.fd, &status) != 0) {
    ThrowIoErrorFromErrno(errno, file.path, file.role, messages::CannotOpenForReading());
  }
  // A folder opens on this system but cannot be read as a file. Nor can a device or a
  // pipe: /dev/zero or a pipe would never end the reading.
  if (!S_ISREG(status.st_mode)) {
    ThrowIoError(kIoAccessDenied, file.path, file.role,
                 messages::NotARegularFile(messages::FileKind(status.st_mode)));
  }
}

std::string ReadToEnd(InputFile& file) {
  std::string content;
  // Room for the whole file at once: grown by doubling, a large data file's text would
  // take up to twice its size while the table is read from it.
  struct stat status {};
  if (::fstat(file.fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0) {
    content.reserve(static_cast<std::size_t>(status.st_size));
  }
  while (Refill(file)) content.append(file.buffer, file.length);
  return content;
}

}  // namespace

StopReadingWhen::StopReadingWhen(StopCheck check) : check(std::move(check)), outer(innermostStop) {
  innermostStop = this;
}

StopReadingWhen::~StopReadingWhen() { innermostStop = outer; }

void StopReadingIfAsked() {
  for (const StopReadingWhen* stop = innermostStop; stop != nullptr; stop = stop->outer) {
    if (stop->check && stop->check()) throw RunStopped();
  }
}

void OpenForRead(InputFile& file, const std::string& path) {
  OpenAt(file, AT_FDCWD, path, 0, path, messages::kDataFileRole);
}

bool Refill(InputFile& file) {
  if (file.ended) return false;
  StopReadingIfAsked();
  ssize_t count;
  do {
    count = ::read(file.fd, file.buffer, sizeof file.buffer);
  } while (count < 0 && errno == EINTR);
  if (count < 0) ThrowIoErrorFromErrno(errno, file.path, file.role, messages::CannotRead());
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
  OpenAt(file, folder.fd, name, O_NOFOLLOW, PathInFolder(folder, name), messages::kFileRole);
  return ReadToEnd(file);
}

}  // namespace genosieve
