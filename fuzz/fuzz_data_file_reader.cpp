// Feeds arbitrary bytes as a data file to a whole Run (one iteration, every analysis on):
// every input must end in "done ! " or a RunError, never a crash, a hang or a huge
// allocation.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "fuzz_checks.h"
#include "fuzz_working_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path path = genosieve::fuzz::WorkingFolder() / "input.txt";
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
