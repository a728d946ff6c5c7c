#include "errors.h"

namespace genosieve {

std::string IoErrorMessage(int code) { return "Erreur E/S " + std::to_string(code); }

int IoCodeFromErrno(int err) { return err; }

void ThrowIoError(int code) { throw RunError(IoErrorMessage(code)); }

void ThrowIoErrorFromErrno(int err) { ThrowIoError(IoCodeFromErrno(err)); }

void ThrowConversionError(std::string_view text) {
  throw RunError("'" + std::string(text) + "' n'est pas une valeur entière correcte");
}

int ConvertInteger(std::string_view text) { return std::stoi(std::string(text)); }

}  // namespace genosieve
