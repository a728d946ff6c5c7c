// Feeds arbitrary bytes as a data file to a whole Run (one iteration, every analysis on):
// every input must end in "done ! " or a RunError, never a crash, a hang or a huge
// allocation.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_checks.h"

namespace {

// The Run writes into the working folder: give the fuzzer a private one, under TMPDIR
// (scripts/fuzz points it into the build folder and empties it afterwards: libFuzzer
// ends without running exit handlers). Corpus and artifact paths given to the fuzzer
// must therefore be absolute.
const std::filesystem::path& WorkingFolder() {
  static const std::filesystem::path folder = [] {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "genosieve-fuzz-XXXXXX").string();
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr) std::abort();
    std::filesystem::current_path(made);
    return std::filesystem::path(made);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path path = WorkingFolder() / "input.txt";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const std::string problem = genosieve::fuzz::CheckDataFileRun(path.string());
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
