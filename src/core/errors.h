#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace genosieve {

// The one error type that ends a Run; front ends show what() to the user.
struct RunError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Input/output error codes of the Run and their French messages.
inline constexpr int kIoFileNotFound = 2;
inline constexpr int kIoBadFileName = 3;
inline constexpr int kIoTooManyOpenFiles = 4;
inline constexpr int kIoAccessDenied = 5;
inline constexpr int kIoReadPastEnd = 100;
inline constexpr int kIoDiskFull = 101;
inline constexpr int kIoBadNumericInput = 106;

// "Fichier introuvable" for 2, ..., "Erreur E/S %d" for any other code.
std::string IoErrorMessage(int code);

// Maps a system errno value to the I/O error code above (or the errno itself when
// no code fits; such a value may coincide with a code above, so build messages from
// errno with IoErrorMessageFromErrno or ThrowIoErrorFromErrno).
int IoCodeFromErrno(int err);

[[noreturn]] void ThrowIoError(int code);
[[noreturn]] void ThrowIoErrorFromErrno(int err);

// "'<text>' n'est pas une valeur entière correcte"
[[noreturn]] void ThrowConversionError(std::string_view text);

// Converts text to a 32-bit signed integer the way the Run converts every integer
// (optional leading blanks, optional sign, decimal digits, nothing after them);
// anything else, or a value outside the 32-bit range, is a conversion error naming
// the text.
int ConvertInteger(std::string_view text);

// The same conversion without throwing: the value, or nothing when the text is not an
// integer in the 32-bit range.
std::optional<int32_t> ParseInteger(std::string_view text);

// "'<text>' n'est pas une valeur entière correcte", for callers that add context.
std::string ConversionErrorMessage(std::string_view text);

// The message of a system error number: the French message of its I/O code, or
// "Erreur E/S <errno>" when no code fits.
std::string IoErrorMessageFromErrno(int err);

}  // namespace genosieve
