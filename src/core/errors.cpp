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

RunStopped::RunStopped() : RunError(std::string(messages::kRunInterrupted)) {}

void ThrowOutOfMemory(std::string_view what) { throw RunError(messages::OutOfMemoryFor(what)); }

void ThrowConversionError(std::string_view text) { throw RunError(ConversionErrorMessage(text)); }

int ConvertInteger(std::string_view text) {
  const std::optional<int32_t> value = ParseInteger(text);
  if (!value) ThrowConversionError(text);
  return *value;
}

}  // namespace genosieve
