#include "io/io_error.h"

#include <cerrno>
#include <utility>

#include "errors.h"
#include "messages.h"

namespace genosieve {

namespace {

// Errno values that have an I/O code of their own; 0 when none fits.
int MappedIoCode(int err) {
  switch (err) {
    case ENOENT:
      return kIoFileNotFound;
    case ENAMETOOLONG:
    case EINVAL:
    case ENOTDIR:
    case ELOOP:
    case EILSEQ:
      return kIoBadFileName;
    case EMFILE:
    case ENFILE:
      return kIoTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return kIoAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kIoDiskFull;
    default:
      return 0;
  }
}

}  // namespace

int IoCodeFromErrno(int err) {
  const int code = MappedIoCode(err);
  return code != 0 ? code : err;
}

std::string IoErrorMessageFromErrno(int err) {
  // Some C library calls fail without setting errno.
  if (err == 0) err = EIO;
  const int code = MappedIoCode(err);
  // An unmapped errno such as EIO (5) must not be taken for the code with that number.
  return code != 0 ? IoErrorMessage(code) : "Erreur E/S " + std::to_string(err);
}

void ThrowIoError(int code) { throw RunError(IoErrorMessage(code)); }

void ThrowIoErrorFromErrno(int err) { throw RunError(IoErrorMessageFromErrno(err)); }

namespace {

[[noreturn]] void ThrowAbout(std::string message, std::string file, std::string_view role,
                             std::string doing) {
  RunError error(std::move(message));
  error.file = std::move(file);
  error.fileRole = role;
  error.doing = std::move(doing);
  throw error;
}

}  // namespace

void ThrowIoError(int code, std::string file, std::string_view role, std::string doing) {
  ThrowAbout(IoErrorMessage(code), std::move(file), role, std::move(doing));
}

void ThrowIoErrorFromErrno(int err, std::string file, std::string_view role, std::string doing) {
  ThrowAbout(IoErrorMessageFromErrno(err), std::move(file), role, std::move(doing));
}

std::string StandardOutputFailure(std::string_view what, int err) {
  return FillMessage("cannot write {} to the standard output{}: {}", what,
                     err == EPIPE ? ", which its reader has closed" : "",
                     IoErrorMessageFromErrno(err));
}

std::string PathInFolder(const WorkingFolder& folder, std::string_view name) {
  if (name.starts_with('/')) return std::string(name);
  std::string path = folder.shown;
  if (!path.ends_with('/')) path += '/';
  path += name;
  return path;
}

}  // namespace genosieve
