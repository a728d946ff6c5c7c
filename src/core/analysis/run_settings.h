#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "data/data_format.h"

namespace genosieve {

// What the user chose for one Run.
struct RunSettings {
  std::string dataPath = "C:\\";
  // The layout of the data file; kAuto recognises it.
  DataFormat format = DataFormat::kAuto;
  // The folder that receives every output and intermediate file; the data path is used
  // as it is (relative to the process's current folder).
  std::string workingFolder = ".";
  std::string iterationsText = "1000";
  std::string resultName = "results.txt";
  bool createPValueFiles = false;
  bool perLocusAnalysis = false;
  bool perPopulationAnalysis = false;
  // Writes every randomized Fis of every test to "Fisvalues_" + stem + ".tsv".
  bool writeFisValues = false;
  // The view draws figures of the tests, which the Run writes at its end
  // (RunView::FilesToWrite); their names are checked with the other outputs.
  bool drawFigures = false;
  // Every test's outcome carries the central 95 % of its randomized values
  // (TestOutcome::centralRange), for a view that shows it; a Run that draws figures keeps
  // them anyway. Costs about N / 20 values per test while the tests run.
  bool keepCentralRanges = false;
  // Seeds every test's random generator instead of the clock, so a Run can be repeated.
  std::optional<uint32_t> seed;
  // Threads that work out the randomized values: 0 for the machine's cores, 1 for none
  // besides the Run's own. Every file is the same whatever the count.
  int32_t threads = 0;
  // Decimal separator of the user's regional settings, used in the results files.
  char decimalSeparator = '.';
};

}  // namespace genosieve
