#pragma once

// The Pareto plot of the clone sizes: for each population, ln of the number of genets
// with at least x ramets against ln x, with its least-squares line (the slope is -beta of
// the clonality table), one colour per population.

#include <QChart>
#include <memory>
#include <string>
#include <vector>

#include "analysis/clonality.h"
#include "run_figures.h"

namespace genosieve {

std::unique_ptr<QChart> CloneSizeChart(const std::vector<CloneSizeSeries>& populations);

// "Clone_sizes_" + the result name's stem + ".svg" and ".png"; none without populations.
std::vector<FigureFile> CloneSizeFigureFiles(const std::vector<CloneSizeSeries>& populations,
                                             const std::string& resultName);

}  // namespace genosieve
