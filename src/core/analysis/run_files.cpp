#include "analysis/run_files.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <map>
#include <string_view>
#include <tuple>

#include "analysis/clonality.h"
#include "analysis/outcome_files.h"
#include "engine/genotype_file.h"
#include "errors.h"
#include "io/folder_lock.h"
#include "io/io_error.h"
#include "io/output_file.h"
#include "messages.h"

namespace genosieve {

namespace {

// A name's place: the folder that holds it (device and inode, whatever path leads there)
// and its last component.
using Place = std::tuple<dev_t, ino_t, std::string>;

Place PlaceOf(const WorkingFolder& folder, std::string_view name) {
  const std::size_t slash = name.rfind('/');
  const std::string parent =
      slash == std::string_view::npos ? "." : std::string(name.substr(0, slash + 1));
  struct stat status {};
  // CheckOutputName has seen the folder exist.
  if (::fstatat(folder.fd, parent.c_str(), &status, 0) != 0) {
    ThrowIoErrorFromErrno(errno, PathInFolder(folder, name), messages::kOutputFileLead,
                          messages::CannotCheckName());
  }
  return {status.st_dev, status.st_ino,
          std::string(slash == std::string_view::npos ? name : name.substr(slash + 1))};
}

}  // namespace

std::vector<RunOutput> RunOutputs(const RunSettings& settings, int32_t populations, int32_t loci,
                                  int32_t iterations) {
  const std::string& r = settings.resultName;
  std::vector<RunOutput> outputs = {
      {r, "results file"},
      {"Clones_" + r, "clone report"},
      {"Clonemembers_" + r, "clone member list"},
      {"Withoutrepeats_" + r, "clone-free data file"},
  };
  if (settings.createPValueFiles) {
    outputs.push_back({OverallPValueFileName(r), "p-value file of the overall test"});
    if (settings.perLocusAnalysis) {
      for (int32_t k = 1; k <= loci; ++k) {
        outputs.push_back({LocusPValueFileName(r, k), FillMessage("p-value file of locus {}", k)});
      }
    }
    if (settings.perPopulationAnalysis) {
      for (int32_t k = 1; k <= populations; ++k) {
        outputs.push_back(
            {PopulationPValueFileName(r, k), FillMessage("p-value file of population {}", k)});
      }
    }
  }
  outputs.push_back({SummaryFileName(r), "summary table"});
  outputs.push_back({ClonalityFileName(r), "clonality table"});
  outputs.push_back({PsexFileName(r), "psex table"});
  if (settings.writeFisValues) {
    outputs.push_back({FisValuesFileName(r), "table of randomized Fis values"});
  }
  if (settings.drawFigures) {
    for (const std::string& name :
         FigureFileNames(r, settings.perLocusAnalysis, settings.perPopulationAnalysis)) {
      outputs.push_back({name, "figure"});
    }
  }
  outputs.push_back({kObservedFileName, "intermediate genotype file"});
  if (iterations >= 1) outputs.push_back({kRandomizedFileName, "intermediate genotype file"});
  return outputs;
}

void CheckRunOutputs(const WorkingFolder& folder, const std::string& dataPath,
                     const std::string& resultName, const std::vector<RunOutput>& outputs) {
  // Every folder the outputs go to holds a lock file while the Run works there.
  std::vector<RunOutput> locks = {{std::string(kLockFileName), "lock file"}};
  for (const RunOutput& output : outputs) {
    const std::size_t slash = output.name.rfind('/');
    if (slash != std::string::npos) {
      locks.push_back({output.name.substr(0, slash + 1) + std::string(kLockFileName), "lock file"});
    }
  }
  std::map<Place, const RunOutput*> seen;
  for (const RunOutput& output : outputs) CheckOutputName(folder, output.name);
  for (const RunOutput& lock : locks) seen.emplace(PlaceOf(folder, lock.name), &lock);
  for (const RunOutput& output : outputs) {
    const auto [at, added] = seen.emplace(PlaceOf(folder, output.name), &output);
    if (!added) {
      const RunOutput& other = *at->second;
      throw RunError(
          Located({"Result name", resultName, 0, 0, {}},
                  messages::OutputsCoincide(other.role, other.name, output.role, output.name)));
    }
    if (IsSameFile(folder, output.name, dataPath)) {
      throw RunError(Located({"Data file", dataPath, 0, 0, {}},
                             messages::DataFileIsOutput(output.role, output.name)));
    }
  }
}

}  // namespace genosieve
