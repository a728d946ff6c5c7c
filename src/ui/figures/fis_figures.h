#pragma once

// The figures of the randomization tests, drawn with Qt Charts from plain values so that
// the command line and the window draw the same ones. Each function returns a new chart
// that the caller owns; figure_rendering.h turns a chart into SVG, PNG or PDF bytes.

#include <QChart>
#include <QString>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace genosieve {

// One bar of a histogram: the values in [low, high), the last bar also holding its
// upper edge.
struct HistogramBin {
  double low = 0;
  double high = 0;
  int count = 0;
};

// Equal-width bins over the values and `alsoCovered` (the observed value, so that its
// line falls inside the drawn range): round(sqrt(N)) bins, from 5 to 50.
std::vector<HistogramBin> HistogramBins(const std::vector<double>& values, double alsoCovered);

// The randomized values as a histogram, the observed one as a vertical line, both
// P-values in the caption.
std::unique_ptr<QChart> FisDistributionChart(const std::vector<double>& randomized, double observed,
                                             double pLower, double pUpper);

// The running P-value against the iteration number (iteration i at x = i), with the
// 0.05 level as a dashed line.
std::unique_ptr<QChart> RunningPValueChart(const std::vector<double>& runningPValues);

// One test of a panel of tests of one kind: its subject, observed Fis, the central 95 %
// of its randomized values (NaN when it made no iteration) and its lower-tail P-value.
struct FisRange {
  std::string label;
  double observed = 0;
  double low = 0;
  double high = 0;
  double pLower = 1;
};

// Up to this many tests a panel names each test on its axis; more names could not be read.
inline constexpr size_t kNamedTests = 24;
// The bars of the randomized ranges a panel of more tests draws at most.
inline constexpr size_t kRangeColumns = 200;

// The observed Fis of each test with the range of its randomized values; `subject` names
// the kind ("Locus", "Population"). Up to kNamedTests tests, one category per test, named
// (as plain text) on the axis. Beyond, the tests' numbers along the axis in the order of
// the data file, each test's observed Fis as a dot (red when P(lower) <= 0.05) and the
// ranges as at most kRangeColumns bars, each over as many consecutive tests: drawing time
// and file size grow no faster than the number of tests.
std::unique_ptr<QChart> FisRangeChart(const std::vector<FisRange>& tests, const QString& subject,
                                      int iterations);

}  // namespace genosieve
