#include "io/working_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>

#include "errors.h"
#include "io/io_error.h"
#include "messages.h"

namespace genosieve {

namespace {

std::string AbsoluteName(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  if (error) return path;
  std::string text = absolute.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

[[noreturn]] void Fail(const std::string& shown, const std::string& what,
                       std::string_view lead = "Working folder") {
  throw RunError(Located({lead, shown, 0, 0, {}}, what));
}

}  // namespace

WorkingFolder::WorkingFolder(WorkingFolder&& other) noexcept
    : path(std::move(other.path)), shown(std::move(other.shown)), fd(std::exchange(other.fd, -1)) {}

WorkingFolder& WorkingFolder::operator=(WorkingFolder&& other) noexcept {
  if (this != &other) {
    if (fd >= 0) ::close(fd);
    path = std::move(other.path);
    shown = std::move(other.shown);
    fd = std::exchange(other.fd, -1);
  }
  return *this;
}

WorkingFolder::~WorkingFolder() {
  if (fd >= 0) ::close(fd);
}

WorkingFolder OpenWorkingFolder(const std::string& path) {
  WorkingFolder folder;
  folder.path = path;
  // An empty name would otherwise quietly mean the current folder.
  if (path.empty()) Fail(path, messages::NameEmpty());
  folder.shown = AbsoluteName(path);
  do {
    folder.fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (folder.fd < 0 && errno == EINTR);
  if (folder.fd < 0) {
    const int err = errno;
    if (err == ENOENT) Fail(folder.shown, messages::NoSuchFolder());
    if (err == ENOTDIR) Fail(folder.shown, messages::NotAFolder());
    Fail(folder.shown, IoErrorMessageFromErrno(err));
  }
  return folder;
}

WorkingFolder OpenOutputFolder(const WorkingFolder& working, const std::string& part) {
  WorkingFolder folder;
  folder.path = part;
  folder.shown = AbsoluteName(PathInFolder(working, part));
  do {
    folder.fd = ::openat(working.fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (folder.fd < 0 && errno == EINTR);
  // Named as the folder it is, links resolved ("res" a link to "A" is "A").
  std::error_code error;
  const std::filesystem::path resolved = std::filesystem::canonical(folder.shown, error);
  if (!error) folder.shown = resolved.string();
  if (folder.fd < 0) {
    const int err = errno;
    if (err == ENOENT) Fail(folder.shown, messages::NoSuchFolder(), messages::kOutputFolderLead);
    if (err == ENOTDIR) Fail(folder.shown, messages::NotAFolder(), messages::kOutputFolderLead);
    Fail(folder.shown, IoErrorMessageFromErrno(err), messages::kOutputFolderLead);
  }
  return folder;
}

}  // namespace genosieve
