// Feeds arbitrary bytes as a data file to a whole Run (one iteration, every analysis on):
// every input must end in "done ! " or a RunError, never a crash, a hang or a huge
// allocation.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "analysis/run.h"
#include "errors.h"

namespace {

struct NullView : genosieve::RunView {
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ClearChart() override {}
  void AddChartPoint(double) override {}
  void ShowChartSeries() override {}
  void ShowMessage(const std::string&) override {}
};

// The Run writes into the working folder: give the fuzzer a private one.
const std::filesystem::path& WorkingFolder() {
  static const std::filesystem::path folder = [] {
    char pattern[] = "/tmp/genosieve-fuzz-XXXXXX";
    const char* made = mkdtemp(pattern);
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
  genosieve::RunSettings settings;
  settings.dataPath = path.string();
  settings.iterationsText = "1";
  settings.createPValueFiles = true;
  settings.perLocusAnalysis = true;
  settings.perPopulationAnalysis = true;
  settings.seed = 0;
  NullView view;
  try {
    genosieve::Run(settings, view);
  } catch (const genosieve::RunError&) {
    // Refused input: expected.
  }
  return 0;
}
