#include "errors.h"

#include "messages.h"

namespace genosieve {

namespace {

// The source file from the project's src/ folder on, so that the message does not
// depend on where the program was built.
std::string_view SourceName(std::string_view path) {
  const std::size_t src = path.rfind("/src/");
  return src == std::string_view::npos ? path : path.substr(src + 5);
}

}  // namespace

void ThrowInternalError(std::string_view what, const char* function, const char* file, int line) {
  throw InternalError(
      FillMessage("Internal error in {} ({}:{}): {}", function, SourceName(file), line, what));
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
