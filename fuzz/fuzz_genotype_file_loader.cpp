// Feeds arbitrary bytes to the engine's loader and, when they load, to the estimator:
// every input must load and evaluate or end in a RunError, never crash or over-allocate,
// and the engine's paths must agree (see CheckGenotypeFile).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static genosieve::EngineWorkspace reused;
  const std::string problem = genosieve::fuzz::CheckGenotypeFile(
      std::string_view(reinterpret_cast<const char*>(data), size), reused);
  if (!problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
