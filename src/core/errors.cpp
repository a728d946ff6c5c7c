#include "errors.h"

#include <filesystem>
#include <system_error>

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

std::string MessageNamingFile(const RunError& error) {
  if (!error.file) return error.what();
  if (error.file->empty()) return std::string("No data file given: ") + error.what();
  std::string path = *error.file;
  // Relative to the current folder, as the Run reached it.
  std::error_code failed;
  const std::filesystem::path absolute = std::filesystem::absolute(path, failed);
  if (!failed) path = absolute.lexically_normal().string();
  // "." is the folder itself, without the final '/' that normalising leaves.
  while (path.size() > 1 && path.ends_with('/')) path.pop_back();
  std::string what = error.doing;
  if (!what.empty()) what += ": ";
  what += error.what();
  return Located({.lead = error.fileRole.empty() ? "File" : error.fileRole, .path = path}, what);
}

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
