#pragma once

// The Pareto plot of the clone sizes: for each population, ln of the number of genets
// with at least x ramets against ln x, with its least-squares line (the slope is -beta of
// the clonality table), one colour per population.

#include <QChart>
#include <memory>
#include <vector>

#include "analysis/clonality.h"

namespace genosieve {

// Drawn by RunFigureFiles (run_figures.h) as "Clone_sizes_" + the result name's stem.
std::unique_ptr<QChart> CloneSizeChart(const std::vector<CloneSizeSeries>& populations);

}  // namespace genosieve
