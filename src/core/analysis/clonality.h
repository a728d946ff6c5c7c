#pragma once

// Are the repeats clones? The clonal richness and diversity of each population with the
// Fis of its ramets and of its genets ("Clonality_" + stem + ".tsv"), and pgen and psex of
// every repeated multilocus genotype ("Psex_" + stem + ".tsv"): TSV in UTF-8 with one
// header row and CR LF line ends, numbers with a point whatever the locale, in their
// shortest exact form, as the summary table; an empty cell where a value is undefined.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/clonal_diversity.h"
#include "data/clones.h"
#include "data/genotype_probability.h"
#include "data/genotype_table.h"
#include "io/working_folder.h"

namespace genosieve {

// A psex below this says that the copies of a genotype are one genet.
inline constexpr double kPsexAlpha = 0.05;

// One row of the clonality table.
struct ClonalityRow {
  int32_t population = 0;  // 1-based; 0 for the row of all populations side by side
  std::string name;        // the population's name, or "all"
  ClonalDiversity diversity;
  // Weir & Cockerham's Fis of the population's individuals and of one copy of each of its
  // genotypes, with the estimator for one sample; for the row of all populations, with
  // the estimator of the Run's overall test. None where the estimator is undefined.
  std::optional<double> fisRamets;
  std::optional<double> fisGenets;
};

enum class PsexVerdict {
  kUndefined,               // psex undefined
  kOneGenet,                // psex < kPsexAlpha
  kPossiblyDistinctGenets,  // psex >= kPsexAlpha
};

// One row of the psex table.
struct PsexRow {
  std::string name;  // the population's name
  GenotypeProbability probability;
  PsexVerdict verdict = PsexVerdict::kUndefined;
};

// One population's clone sizes on the Pareto plot.
struct CloneSizeSeries {
  int32_t population = 0;
  std::string name;
  ParetoFit fit;
};

// What a Run finds about its clones besides the clone files: the tables' rows (each
// population, then all of them) and the Pareto fit of each population.
struct ClonalityResults {
  std::vector<ClonalityRow> rows;
  std::vector<PsexRow> psex;
  std::vector<CloneSizeSeries> cloneSizes;
};

// `overallFis`, when known, is the overall test's observed Fis, the row of all
// populations' `fisRamets`, which is then not worked out again.
ClonalityResults DescribeClonality(const DataFile& data, const PopulationIndex& index,
                                   const CloneDetection& clones, const CloneSummary& summary,
                                   std::optional<double> overallFis = std::nullopt);

// The same before the overall test's observed Fis is known, for GiveOverallFis to
// complete: the row of all populations' `fisRamets` is left to it.
ClonalityResults DescribeClonalityWithoutOverallFis(const DataFile& data,
                                                    const PopulationIndex& index,
                                                    const CloneDetection& clones,
                                                    const CloneSummary& summary);
void GiveOverallFis(ClonalityResults& results, double overallFis);

// "Clonality_" + stem + ".tsv" and "Psex_" + stem + ".tsv".
std::string ClonalityFileName(const std::string& resultName);
std::string PsexFileName(const std::string& resultName);

// The tables' header rows and the text of each cell of a row, as the files hold them
// (the window shows the same texts).
std::vector<std::string> ClonalityHeader();
std::vector<std::string> ClonalityCells(const ClonalityRow& row);
std::vector<std::string> PsexHeader();
std::vector<std::string> PsexCells(const PsexRow& row);

// "one genet", "possibly distinct genets", or empty.
std::string VerdictText(PsexVerdict verdict);

// A probability given by its natural logarithm, to 12 significant digits (fewer far below
// the range of a double, where the logarithm holds fewer), trailing zeros dropped, with a
// point: "0.25", "0.000123", "4.70871238406e-13", "1.7e-589"; "0" for -infinity, empty
// for none.
std::string FormatLogProbability(std::optional<double> logValue);

// Writes both tables, each whole or not at all; a failure is the Run's I/O error.
void WriteClonalityFiles(const WorkingFolder& folder, const std::string& resultName,
                         const ClonalityResults& results);

// The number of repeated genotypes of population k (1-based) whose psex is at least
// kPsexAlpha, and the number whose psex is defined.
struct PossiblyDistinct {
  int32_t possiblyDistinct = 0;
  int32_t repeated = 0;
};
PossiblyDistinct CountPossiblyDistinct(const ClonalityResults& results, int32_t population);

}  // namespace genosieve
