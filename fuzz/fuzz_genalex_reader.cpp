// Feeds arbitrary bytes to the GenAlEx reader: every input must be refused with a RunError or
// give data that fit their header and come back the same through the native layout; never
// a crash, a hang or a huge allocation.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_checks.h"
#include "fuzz_working_folder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  genosieve::fuzz::WorkingFolder();
  const std::string problem = genosieve::fuzz::CheckReader(
      genosieve::DataFormat::kGenalex, std::string_view(reinterpret_cast<const char*>(data), size));
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
