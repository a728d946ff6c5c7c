#include "reports/results_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string_view>

#include "errors.h"
#include "reports/number_format.h"

namespace genosieve {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr size_t kFlushSize = 1 << 16;

enum class OpenMode { kCreate, kAppend };

// Creating empties an existing file. Appending needs the file to exist already: the
// results file is always created by the overall section first, and a file that vanished
// since must not silently become a results file without its overall section.
int OpenOutput(const std::string& fileName, OpenMode mode) {
  const int flags =
      O_WRONLY | O_CLOEXEC | (mode == OpenMode::kCreate ? O_CREAT | O_TRUNC : O_APPEND);
  int fd;
  do {
    fd = ::open(fileName.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) ThrowIoErrorFromErrno(errno);
  return fd;
}

void WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      ThrowIoErrorFromErrno(errno);
    }
    if (written == 0) ThrowIoErrorFromErrno(ENOSPC);  // no progress and no errno
    bytes.remove_prefix(static_cast<size_t>(written));
  }
}

// Writes `produce`'s text to the file and closes it; the descriptor is closed on every
// path, and a failed close (delayed write errors) is an error too.
template <typename Produce>
void WriteFile(const std::string& fileName, OpenMode mode, Produce produce) {
  const int fd = OpenOutput(fileName, mode);
  try {
    std::string buffer;
    auto flush = [&] {
      WriteAll(fd, buffer);
      buffer.clear();
    };
    produce(buffer, flush);
    flush();
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0 && errno != EINTR) ThrowIoErrorFromErrno(errno);
}

void AppendLine(std::string& text, std::string_view line) {
  text += line;
  text += kLineEnd;
}

// The tally must have been sized for the test's iterations: rows 0 to N + 2.
void CheckTally(const TestState& state) {
  if (state.iterations < 0 || state.testTally.size() < static_cast<size_t>(state.iterations) + 3) {
    throw RunError("Internal error: the test tally does not hold the rows of " +
                   std::to_string(state.iterations) + " iterations.");
  }
}

// "Fis", then observed (row 0), expected (row 1) and the P-value (row N + 2).
void AppendBody(std::string& text, const TestState& state, char decimalSeparator) {
  CheckTally(state);
  const TestTally& tally = state.testTally;
  AppendLine(text, "Fis");
  AppendLine(text, FormatNumber(tally[0], decimalSeparator) + "\tObserved");
  AppendLine(text, FormatNumber(tally[1], decimalSeparator) + "\tExpected");
  AppendLine(text,
             FormatNumber(tally[static_cast<size_t>(state.iterations) + 2], decimalSeparator) +
                 "\tp-value");
}

}  // namespace

void WriteOverallSection(const std::string& resultName, const TestState& state,
                         char decimalSeparator) {
  std::string text;
  AppendLine(text, "Overall Loci, Overall Populations");
  AppendBody(text, state, decimalSeparator);
  WriteFile(resultName, OpenMode::kCreate, [&](std::string& buffer, auto&) { buffer = text; });
}

void WritePerLocusSection(const std::string& resultName, const TestState& state, int32_t locus,
                          char decimalSeparator) {
  std::string text;
  AppendLine(text, "");
  if (locus == 1) AppendLine(text, "Per Locus Analyses");
  AppendLine(text, "locus: " + std::to_string(locus));
  AppendBody(text, state, decimalSeparator);
  WriteFile(resultName, OpenMode::kAppend, [&](std::string& buffer, auto&) { buffer = text; });
}

void WritePerPopulationSection(const std::string& resultName, const TestState& state,
                               int32_t population, char decimalSeparator) {
  std::string text;
  AppendLine(text, "");
  AppendLine(text, population == 1 ? "Per Population Analyses" : "");
  AppendLine(text, "Population: " + std::to_string(population));
  AppendBody(text, state, decimalSeparator);
  WriteFile(resultName, OpenMode::kAppend, [&](std::string& buffer, auto&) { buffer = text; });
}

void WritePValueFile(const std::string& fileName, const TestState& state, char decimalSeparator) {
  CheckTally(state);
  WriteFile(fileName, OpenMode::kCreate, [&](std::string& buffer, auto& flush) {
    AppendLine(buffer, "iteration\tp-value");
    for (int32_t i = 1; i <= state.iterations; ++i) {
      buffer += std::to_string(i);
      buffer += '\t';
      buffer += FormatNumber(state.testTally[static_cast<size_t>(i) + 2], decimalSeparator);
      buffer += kLineEnd;
      if (buffer.size() >= kFlushSize) flush();
    }
  });
}

std::string OverallPValueFileName(const std::string& resultName) {
  return "overall p-values_" + resultName;
}

std::string LocusPValueFileName(const std::string& resultName, int32_t locus) {
  return "Locus" + std::to_string(locus) + "p-values_" + resultName;
}

std::string PopulationPValueFileName(const std::string& resultName, int32_t population) {
  return "Pop" + std::to_string(population) + "p-values_" + resultName;
}

}  // namespace genosieve
