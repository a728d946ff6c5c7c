// Feeds arbitrary bytes to the engine's loader and, when they load, to the estimator:
// every input must load and evaluate or end in a RunError, never crash or over-allocate.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "engine/engine.h"
#include "engine/genotype_file.h"
#include "errors.h"

namespace {

const std::filesystem::path& WorkingFolder() {
  static const std::filesystem::path folder = [] {
    char pattern[] = "/tmp/genosieve-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) std::abort();
    return std::filesystem::path(made);
  }();
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::filesystem::path path = WorkingFolder() / "temp.txt";
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  try {
    const genosieve::EngineInput input = genosieve::LoadGenotypeFile(path.string());
    (void)genosieve::EvaluateFis(input);
  } catch (const genosieve::RunError&) {
    // Refused input: expected.
  }
  return 0;
}
