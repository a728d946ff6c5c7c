#pragma once

// The files a Run writes into its working folder. Once the data are read, every name
// the Run will write is known; all are checked before the first is written.

#include <cstdint>
#include <string>
#include <vector>

#include "analysis/run_settings.h"
#include "io/working_folder.h"
#include "reports/results_file.h"

namespace genosieve {

// Where the Run's files go, and the results file's text so far.
struct RunFiles {
  const WorkingFolder& folder;
  ResultsFile results;
};

// One file a Run writes: its name, relative to the working folder, and what it is, to
// name it in messages ("results file", "clone report", ...).
struct RunOutput {
  std::string name;
  std::string role;
};

// Every file a Run with these settings writes for data of P populations and L loci and
// N iterations: the results file, the clone files, the p-value files the settings ask
// for, the summary, clonality and psex tables, the table of randomized values and the
// figures when asked,
// and the intermediate genotype files ("temp.txt" only when N >= 1). A new output of
// the Run is added here, so that the checks below cover it.
std::vector<RunOutput> RunOutputs(const RunSettings& settings, int32_t populations, int32_t loci,
                                  int32_t iterations);

// Refuses, with a RunError and before anything is written: an output whose name cannot
// be written (CheckOutputName in io/output_file.h); two outputs, or an output and the
// folder's lock file, that would be one file (the same name in the same folder, however
// the names are written); and a data file that is one of the outputs (the same file,
// links followed on both sides), which the Run would destroy.
void CheckRunOutputs(const WorkingFolder& folder, const std::string& dataPath,
                     const std::string& resultName, const std::vector<RunOutput>& outputs);

}  // namespace genosieve
