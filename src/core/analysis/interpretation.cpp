#include "analysis/interpretation.h"

#include <algorithm>

#include "reports/double_text.h"

namespace genosieve {

namespace {

// Four significant digits, with a point whatever the locale: enough to read at a glance;
// the tables hold every digit.
std::string Brief(Extended value) { return GeneralDoubleText(static_cast<double>(value), 4); }

std::string CountLine(const char* subjects, const std::vector<TestOutcome>& outcomes,
                      RandomizationKind kind) {
  std::vector<double> pValues;
  for (const TestOutcome& outcome : outcomes) {
    if (outcome.kind == kind) pValues.push_back(static_cast<double>(outcome.pLower));
  }
  if (pValues.empty()) return "";
  const auto raw = std::count_if(pValues.begin(), pValues.end(),
                                 [](double p) { return p <= kSignificanceLevel; });
  return std::string(subjects) + ": " + std::to_string(raw) + " of " +
         std::to_string(pValues.size()) + " with p_lower <= 0.05 (" +
         std::to_string(HolmRejections(pValues, kSignificanceLevel)) + " after Holm correction)";
}

}  // namespace

int32_t HolmRejections(std::vector<double> pValues, double alpha) {
  std::sort(pValues.begin(), pValues.end());
  const size_t m = pValues.size();
  int32_t rejected = 0;
  for (size_t i = 0; i < m; ++i) {
    if (!(pValues[i] <= alpha / static_cast<double>(m - i))) break;
    ++rejected;
  }
  return rejected;
}

std::vector<bool> HolmRejected(const std::vector<double>& pValues, double alpha) {
  std::vector<bool> rejected(pValues.size(), false);
  const int32_t count = HolmRejections(pValues, alpha);
  if (count == 0) return rejected;
  std::vector<double> sorted = pValues;
  std::sort(sorted.begin(), sorted.end());
  const double largest = sorted[static_cast<size_t>(count) - 1];
  for (size_t i = 0; i < pValues.size(); ++i) rejected[i] = pValues[i] <= largest;
  return rejected;
}

std::vector<std::string> InterpretationLines(const std::vector<TestOutcome>& outcomes) {
  std::vector<std::string> lines;
  for (const TestOutcome& outcome : outcomes) {
    if (outcome.kind != RandomizationKind::kOverall) continue;
    lines.push_back("overall: observed Fis " + Brief(outcome.observed) + ", expected " +
                    Brief(outcome.expected) + ", p_lower " + Brief(outcome.pLower) + ", p_upper " +
                    Brief(outcome.pUpper) + " (" + std::to_string(outcome.iterations) +
                    " iterations)");
  }
  for (const std::string& line :
       {CountLine("loci", outcomes, RandomizationKind::kPerLocus),
        CountLine("populations", outcomes, RandomizationKind::kPerPopulation)}) {
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> ClonalityLines(const ClonalityResults& results) {
  std::vector<std::string> lines;
  for (const ClonalityRow& row : results.rows) {
    if (row.population == 0) continue;
    std::string line = "clones: ";
    line.append(row.name).append(": R ");
    line.append(row.diversity.richness ? Brief(*row.diversity.richness) : "undefined (one ramet)");
    const PossiblyDistinct count = CountPossiblyDistinct(results, row.population);
    if (count.repeated == 0) {
      line.append(", no repeated MLG");
    } else {
      line.append(", ").append(std::to_string(count.possiblyDistinct)).append(" of ");
      line.append(std::to_string(count.repeated)).append(" repeated MLGs with psex >= 0.05");
    }
    lines.push_back(line);
  }
  return lines;
}

}  // namespace genosieve
