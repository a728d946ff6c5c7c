#include "errors.h"

#include <cerrno>

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

std::string IoErrorMessage(int code) {
  switch (code) {
    case kIoFileNotFound:
      return "Fichier introuvable";
    case kIoBadFileName:
      return "Nom de fichier incorrect";
    case kIoTooManyOpenFiles:
      return "Trop de fichiers ouverts";
    case kIoAccessDenied:
      return "Accès au fichier refusé";
    case kIoReadPastEnd:
      return "Lecture au-delà de la fin de fichier";
    case kIoDiskFull:
      return "Disque plein";
    case kIoBadNumericInput:
      return "Saisie numérique incorrecte";
    default:
      return "Erreur E/S " + std::to_string(code);
  }
}

int IoCodeFromErrno(int err) {
  const int code = MappedIoCode(err);
  return code != 0 ? code : err;
}

std::string IoErrorMessageFromErrno(int err) {
  const int code = MappedIoCode(err);
  // An unmapped errno such as EIO (5) must not be taken for the code with that number.
  return code != 0 ? IoErrorMessage(code) : "Erreur E/S " + std::to_string(err);
}

void ThrowIoError(int code) { throw RunError(IoErrorMessage(code)); }

void ThrowIoErrorFromErrno(int err) { throw RunError(IoErrorMessageFromErrno(err)); }

std::string ConversionErrorMessage(std::string_view text) {
  static constexpr std::string_view kTail = "' n'est pas une valeur entière correcte";
  std::string message(text.size() + 1 + kTail.size(), '\'');
  text.copy(message.data() + 1, text.size());
  kTail.copy(message.data() + 1 + text.size(), kTail.size());
  return message;
}

void ThrowConversionError(std::string_view text) { throw RunError(ConversionErrorMessage(text)); }

std::optional<int32_t> ParseInteger(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  if (i == text.size()) return std::nullopt;
  // Accumulate the magnitude in 64 bits and stop as soon as it leaves the 32-bit range,
  // so long runs of digits cannot overflow.
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

int ConvertInteger(std::string_view text) {
  const std::optional<int32_t> value = ParseInteger(text);
  if (!value) ThrowConversionError(text);
  return *value;
}

}  // namespace genosieve
