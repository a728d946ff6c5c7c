#include "run_figures.h"

#include <QChart>
#include <memory>

#include "analysis/outcome_files.h"
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
  const RandomizedRange range = outcome.centralRange;
  const FisRange test{outcome.name, static_cast<double>(outcome.observed), range.low, range.high,
                      static_cast<double>(outcome.pLower)};
  (outcome.kind == RandomizationKind::kPerLocus ? data.loci : data.populations).push_back(test);
}

namespace {

void AddFigure(std::vector<FigureFile>& files, const std::string& prefix,
               const std::string& resultName, const std::unique_ptr<QChart>& chart) {
  const std::string stem = prefix + ResultStem(resultName);
  const QString title = QString::fromStdString(stem);
  files.push_back({stem + ".svg", ChartSvg(*chart, title)});
  files.push_back({stem + ".png", ChartPng(*chart)});
}

}  // namespace

std::vector<FigureFile> RunFigureFiles(const RunFigureData& data, const std::string& resultName) {
  std::vector<FigureFile> files;
  if (data.hasOverall) {
    AddFigure(files, "Fis_distribution_", resultName,
              FisDistributionChart(data.randomized, data.observed, data.pLower, data.pUpper));
    AddFigure(files, "Running_pvalue_", resultName, RunningPValueChart(data.runningPValues));
  }
  if (!data.loci.empty()) {
    AddFigure(files, "Locus_fis_", resultName,
              FisRangeChart(data.loci, QStringLiteral("Locus"), data.iterations));
  }
  if (!data.populations.empty()) {
    AddFigure(files, "Population_fis_", resultName,
              FisRangeChart(data.populations, QStringLiteral("Population"), data.iterations));
  }
  return files;
}

}  // namespace genosieve
