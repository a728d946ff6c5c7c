#pragma once

#include <cstdint>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace genosieve {

// The one error type that ends a Run; front ends show what() to the user.
struct RunError : std::runtime_error {
  using std::runtime_error::runtime_error;
  // The file an input/output error is about, as the Run reached it (absolute, or from
  // the current folder; empty for an empty data path); nothing when the error names no
  // file. The message does not repeat it: the system's messages are bare, and a front
  // end shows the file before them (MessageNamingFile).
  std::optional<std::string> file;
  // With `file`: which of the Run's files it is ("Data file", "Output file", "File"), and
  // what the Run was doing with it ("cannot open it for reading"); either may be empty.
  std::string fileRole;
  std::string doing;
};

// The error's message as a user reads it: for an error about a file, the file (its full
// path, control characters escaped), what was being done, then the message itself, which
// stays the system's text; "No data file given: " and the message for an empty data
// path; otherwise the message alone.
std::string MessageNamingFile(const RunError& error);

// A Run that its user stopped (the window's Stop button or close box, an interrupt of the
// command line); its message is "Run interrupted".
struct RunStopped : RunError {
  RunStopped();
};

// A consistency check of the program itself that failed: a fault of the program, never
// of the user's data. It still ends the Run like any other error, so front ends need
// not tell it apart, but tests and readers of a report can.
struct InternalError : RunError {
  using RunError::RunError;
};

// Throws an InternalError whose message says "Internal error", the function, file and
// line of the check that failed, then `what`. The defaults take the caller's place
// (builtins of GCC and Clang; std::source_location is missing from older Clang).
[[noreturn]] void ThrowInternalError(std::string_view what,
                                     const char* function = __builtin_FUNCTION(),
                                     const char* file = __builtin_FILE(),
                                     int line = __builtin_LINE());

// "Mémoire insuffisante (<what>)"
[[noreturn]] void ThrowOutOfMemory(std::string_view what);

// Runs `step`: a failed allocation in it ends the Run with "Mémoire insuffisante" and
// `what`, the thing being allocated, rather than with the bare system exception.
template <typename Step>
decltype(auto) Allocating(std::string_view what, Step&& step) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    ThrowOutOfMemory(what);
  }
}

// "'<text>' n'est pas une valeur entière correcte"
[[noreturn]] void ThrowConversionError(std::string_view text);

// Converts text to a 32-bit signed integer the way the Run converts every integer
// (optional leading blanks, optional sign, decimal digits, nothing after them);
// anything else, or a value outside the 32-bit range, is a conversion error naming
// the text.
int ConvertInteger(std::string_view text);

// The same conversion without throwing: the value, or nothing when the text is not an
// integer in the 32-bit range. Every integer the program reads goes through it (inline:
// the genotype file loader converts every number with it).
inline std::optional<int32_t> ParseInteger(std::string_view text) {
  const char* c = text.data();
  const char* const end = c + text.size();
  while (c != end && *c == ' ') ++c;
  bool negative = false;
  if (c != end && (*c == '+' || *c == '-')) {
    negative = *c == '-';
    ++c;
  }
  if (c == end) return std::nullopt;
  // Accumulate the magnitude in 64 bits and stop as soon as it leaves the 32-bit range,
  // so long runs of digits cannot overflow.
  const uint64_t limit = negative ? 2147483648u : 2147483647u;
  uint64_t magnitude = 0;
  for (; c != end; ++c) {
    const unsigned digit = static_cast<unsigned char>(*c) - static_cast<unsigned>('0');
    if (digit > 9) return std::nullopt;
    magnitude = magnitude * 10 + digit;
    if (magnitude > limit) return std::nullopt;
  }
  const auto value = static_cast<int64_t>(magnitude);
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace genosieve
