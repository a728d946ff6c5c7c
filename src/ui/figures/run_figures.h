#pragma once

// The figures of a Run, made from its finished tests: for the overall test the
// distribution of its randomized Fis and its running P-value, and one panel per kind of
// single test that ran. Each figure is written as SVG and as PNG.

#include <QByteArray>
#include <functional>
#include <string>
#include <vector>

#include "analysis/clonality.h"
#include "analysis/test_outcome.h"
#include "fis_figures.h"

namespace genosieve {

// What the figures need of a Run's tests; the single tests' randomized values are
// reduced to their range as the tests finish.
struct RunFigureData {
  bool hasOverall = false;
  std::vector<double> randomized;  // the overall test's, in iteration order
  std::vector<double> runningPValues;
  double observed = 0;
  double pLower = 1;
  double pUpper = 1;
  int iterations = 0;
  std::vector<FisRange> loci;
  std::vector<FisRange> populations;
  std::vector<CloneSizeSeries> cloneSizes;  // one per population, for the Pareto plot
};

void AddToFigures(RunFigureData& data, const TestOutcome& outcome);

// The clone sizes of the Run's populations (RunView::ClonalityFound).
void AddClonalityToFigures(RunFigureData& data, const ClonalityResults& results);

struct FigureFile {
  std::string name;
  QByteArray bytes;
};

// "Fis_distribution_", "Running_pvalue_", "Locus_fis_" and "Population_fis_" + the
// result name's stem + ".svg" and ".png", for the tests that finished, and
// "Clone_sizes_" + stem once the clone sizes are known. `stopRequested`
// is asked before each file is drawn; once it answers true, the files drawn until then
// are returned, each complete.
std::vector<FigureFile> RunFigureFiles(const RunFigureData& data, const std::string& resultName,
                                       const std::function<bool()>& stopRequested = {});

}  // namespace genosieve
