#include "run_figures.h"

#include <QChart>
#include <memory>
#include <utility>

#include "analysis/outcome_files.h"
#include "clone_size_figure.h"
#include "figure_rendering.h"

namespace genosieve {

void AddToFigures(RunFigureData& data, const TestOutcome& outcome) {
  if (outcome.kind == RandomizationKind::kOverall) {
    data.hasOverall = true;
    data.randomized.assign(outcome.randomizedFis.begin(), outcome.randomizedFis.end());
    data.runningPValues = RunningPValues(outcome);
    data.observed = static_cast<double>(outcome.observed);
    data.pLower = static_cast<double>(outcome.pLower);
    data.pUpper = static_cast<double>(outcome.pUpper);
    data.iterations = outcome.iterations;
    return;
  }
  const RandomizedRange range = CentralRange(outcome.randomizedFis);
  const FisRange test{outcome.name, static_cast<double>(outcome.observed), range.low, range.high,
                      static_cast<double>(outcome.pLower)};
  (outcome.kind == RandomizationKind::kPerLocus ? data.loci : data.populations).push_back(test);
}

void AddClonalityToFigures(RunFigureData& data, const ClonalityResults& results) {
  data.cloneSizes = results.cloneSizes;
}

namespace {

// The figure files in the making: each chart, made only when its files are wanted, becomes
// SVG then PNG unless a stop was requested before.
struct FigureDrawing {
  const std::string& resultName;
  const std::function<bool()>& stopRequested;
  std::vector<FigureFile> files;
  bool stopped = false;

  bool Stopped() {
    if (!stopped && stopRequested) stopped = stopRequested();
    return stopped;
  }

  void Add(const std::string& prefix, const std::function<std::unique_ptr<QChart>()>& makeChart) {
    if (Stopped()) return;
    const std::string stem = prefix + ResultStem(resultName);
    const std::unique_ptr<QChart> chart = makeChart();
    files.push_back({stem + ".svg", ChartSvg(*chart, QString::fromStdString(stem))});
    if (Stopped()) return;
    files.push_back({stem + ".png", ChartPng(*chart)});
  }
};

}  // namespace

std::vector<FigureFile> RunFigureFiles(const RunFigureData& data, const std::string& resultName,
                                       const std::function<bool()>& stopRequested) {
  FigureDrawing drawing{resultName, stopRequested, {}};
  if (data.hasOverall) {
    drawing.Add("Fis_distribution_", [&] {
      return FisDistributionChart(data.randomized, data.observed, data.pLower, data.pUpper);
    });
    drawing.Add("Running_pvalue_", [&] { return RunningPValueChart(data.runningPValues); });
  }
  if (!data.loci.empty()) {
    drawing.Add("Locus_fis_",
                [&] { return FisRangeChart(data.loci, QStringLiteral("Locus"), data.iterations); });
  }
  if (!data.populations.empty()) {
    drawing.Add("Population_fis_", [&] {
      return FisRangeChart(data.populations, QStringLiteral("Population"), data.iterations);
    });
  }
  if (!data.cloneSizes.empty()) {
    drawing.Add("Clone_sizes_", [&] { return CloneSizeChart(data.cloneSizes); });
  }
  return std::move(drawing.files);
}

}  // namespace genosieve
